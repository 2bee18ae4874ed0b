// A text scanner with the platform scanner's behaviour: every scan first
// skips white space (blanks, tabs, line breaks); a failed scan leaves the
// position where it was before the scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class Scanner {
 public:
  explicit Scanner(std::string text) : text_(std::move(text)) {}

  // An optional sign and one or more decimal digits. A value beyond the
  // 32-bit range saturates at INT32_MAX or INT32_MIN (all digits are still
  // consumed). Returns false, with `out` untouched, when no digit follows.
  bool scanInt(std::int32_t* out);

  // The exact text `s`. Returns false when the text does not follow.
  bool scanString(std::string_view s);

  // True when only white space (or nothing) is left.
  bool isAtEnd() const;

  std::size_t scanLocation() const { return pos_; }

 private:
  void skipWhitespace();
  std::string text_;
  std::size_t pos_ = 0;
};

}  // namespace platform
