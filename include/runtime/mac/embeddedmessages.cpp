#include "embeddedmessages.h"

#include "embeddedmessages_texts.h"

#define VANTOR_RECORD(code, langid, ns)                                                        \
  {                                                                                             \
    code, langid, {                                                                             \
      embeddedtext::ns::m0, embeddedtext::ns::m1, embeddedtext::ns::m2, embeddedtext::ns::m3,   \
          embeddedtext::ns::m4, embeddedtext::ns::m5, embeddedtext::ns::m6, embeddedtext::ns::m7, \
          embeddedtext::ns::m8, embeddedtext::ns::m9, embeddedtext::ns::m10                     \
    }                                                                                           \
  }

// The position of a record is its language index; the order is fixed.
const EmbeddedMessageRecord allMessages[kLanguageRecordCount] = {
    VANTOR_LANGUAGE_RECORDS(VANTOR_RECORD)
};
