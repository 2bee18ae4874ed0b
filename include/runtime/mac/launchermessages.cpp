#include "embeddedmessages.h"
#include "embeddedmessages_texts.h"

#define VANTOR_RECORD(code, langid, ns) \
  { code, langid, embeddedtext::ns::m0, embeddedtext::ns::m2 }

// Same codes, identifiers and order as allMessages (one list for both).
const LauncherMessageRecord launcherMessages[kLanguageRecordCount] = {
    VANTOR_LANGUAGE_RECORDS(VANTOR_RECORD)
};
