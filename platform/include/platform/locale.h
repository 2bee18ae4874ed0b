// Locale identifiers.
#pragma once

#include <string>

namespace platform {

// The canonical form of a locale identifier, in BCP 47 style: subtags joined
// by "-" ("_" is read as "-"), the language subtag in lower case, a 4-letter
// script subtag in title case, a 2-letter region subtag in upper case; other
// subtags (3-digit regions such as 419, variants, extensions) in lower case.
// A POSIX charset or modifier suffix (".UTF-8", "@euro") is dropped, and empty
// subtags ("de--CH") are skipped. Examples: de-ch gives de-CH, zh_hans_cn
// gives zh-Hans-CN, EN gives en, es-419 stays es-419. The empty string stays
// empty. No aliases are applied (iw stays iw): callers compare the result
// with their own codes, which the platform's own canonicaliser would not
// rewrite either.
std::string canonicalLocaleIdentifierFromString(const std::string& identifier);

}  // namespace platform
