#include "platform/scanner.h"

#include <cctype>
#include <limits>

namespace platform {

void Scanner::skipWhitespace() {
  while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
}

bool Scanner::scanInt(std::int32_t* out) {
  const std::size_t start = pos_;
  skipWhitespace();
  std::size_t p = pos_;
  bool negative = false;
  if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) negative = text_[p++] == '-';
  if (p >= text_.size() || !std::isdigit(static_cast<unsigned char>(text_[p]))) {
    pos_ = start;
    return false;
  }
  // Accumulate in 64 bits and stop growing once past the 32-bit range, so
  // any number of digits saturates instead of overflowing.
  constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t value = 0;
  while (p < text_.size() && std::isdigit(static_cast<unsigned char>(text_[p]))) {
    if (value <= limit) value = value * 10 + (text_[p] - '0');
    ++p;
  }
  pos_ = p;
  if (negative) {
    value = -value;
    if (value < std::numeric_limits<std::int32_t>::min()) value = std::numeric_limits<std::int32_t>::min();
  } else if (value > std::numeric_limits<std::int32_t>::max()) {
    value = std::numeric_limits<std::int32_t>::max();
  }
  if (out) *out = static_cast<std::int32_t>(value);
  return true;
}

bool Scanner::scanString(std::string_view s) {
  const std::size_t start = pos_;
  skipWhitespace();
  if (text_.compare(pos_, s.size(), s) == 0 && pos_ + s.size() <= text_.size()) {
    pos_ += s.size();
    return true;
  }
  pos_ = start;
  return false;
}

bool Scanner::isAtEnd() const {
  for (std::size_t p = pos_; p < text_.size(); ++p)
    if (!std::isspace(static_cast<unsigned char>(text_[p]))) return false;
  return true;
}

}  // namespace platform
