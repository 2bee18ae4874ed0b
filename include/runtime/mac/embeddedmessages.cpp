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
    VANTOR_RECORD("de", 0x407, de),
    VANTOR_RECORD("en", 0x409, en),
    VANTOR_RECORD("es", 0xc0a, es),
    VANTOR_RECORD("fr", 0x40c, fr),
    VANTOR_RECORD("it", 0x410, it),
    VANTOR_RECORD("ja", 0x411, ja),
    VANTOR_RECORD("ko", 0x412, ko),
    VANTOR_RECORD("pt", 0x416, pt),
    VANTOR_RECORD("ru", 0x419, ru),
    VANTOR_RECORD("zh-Hans", 0x804, zh_hans),
    VANTOR_RECORD("zh-Hant", 0x404, zh_hant),
    VANTOR_RECORD("cs", 0x405, cs),
    VANTOR_RECORD("nl", 0x413, nl),
    VANTOR_RECORD("pl", 0x415, pl),
    VANTOR_RECORD("sv", 0x41d, sv),
    VANTOR_RECORD("tr", 0x41f, tr),
    VANTOR_RECORD("", 0, en),  // fallback: the English texts
};
