#include "platform/locale.h"

#include <gtest/gtest.h>

namespace {

TEST(CanonicalLocaleIdentifier, CaseAndSeparatorsPerSubtag) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"de-ch", "de-CH"},
      {"de_CH", "de-CH"},
      {"EN", "en"},
      {"en", "en"},
      {"zh-hans-cn", "zh-Hans-CN"},
      {"ZH_HANT_tw", "zh-Hant-TW"},
      {"zh-Hans", "zh-Hans"},
      {"sr-latn-rs", "sr-Latn-RS"},
      {"es-419", "es-419"},
      {"pt_BR.UTF-8", "pt-BR"},
      {"ca_ES@valencia", "ca-ES"},
      {"de--CH", "de-CH"},
      {"-de", "de"},
      {"", ""},
      // A 4-letter subtag is a script only right after the language; later
      // it is a variant, and a 2-letter subtag after a variant is not a region.
      {"de-CH-1996", "de-CH-1996"},
      {"en-US-POSIX", "en-US-posix"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::canonicalLocaleIdentifierFromString(c.in), c.out) << c.in;
}

}  // namespace
