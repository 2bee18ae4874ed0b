// The scanner the version reader relies on: white space skipped before each
// token, 32-bit saturation, and failed scans that leave the position alone.
#include "platform/scanner.h"

#include <gtest/gtest.h>

#include <climits>

namespace platform {
namespace {

TEST(Scanner, Integers) {
  struct {
    const char* text;
    bool ok;
    std::int32_t value;
    std::size_t location;  // after the scan
  } cases[] = {
      {"42", true, 42, 2},
      {"  \t\n42x", true, 42, 6},
      {"+7", true, 7, 2},
      {"-7", true, -7, 2},
      {"007", true, 7, 3},
      {"2147483647", true, INT32_MAX, 10},
      {"2147483648", true, INT32_MAX, 10},
      {"-2147483648", true, INT32_MIN, 11},
      {"-2147483649", true, INT32_MIN, 11},
      {"123456789012345678901234567890", true, INT32_MAX, 30},  // every digit consumed
      {"-123456789012345678901234567890", true, INT32_MIN, 31},
      {"", false, 0, 0},
      {"   ", false, 0, 0},
      {"x1", false, 0, 0},
      {"-", false, 0, 0},
      {"+ 1", false, 0, 0},
      {"--1", false, 0, 0},
      {" .5", false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Scanner s(c.text);
    std::int32_t v = -99;
    EXPECT_EQ(s.scanInt(&v), c.ok);
    EXPECT_EQ(v, c.ok ? c.value : -99);
    EXPECT_EQ(s.scanLocation(), c.location);
  }
}

TEST(Scanner, StringsAndEnd) {
  Scanner s(" 3 .\t1 ");
  std::int32_t a = 0, b = 0;
  EXPECT_FALSE(s.scanString(","));
  EXPECT_EQ(s.scanLocation(), 0u);
  EXPECT_TRUE(s.scanInt(&a));
  EXPECT_FALSE(s.isAtEnd());
  EXPECT_FALSE(s.scanString(".."));
  EXPECT_EQ(s.scanLocation(), 2u);
  EXPECT_TRUE(s.scanString("."));
  EXPECT_TRUE(s.scanInt(&b));
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 1);
  EXPECT_TRUE(s.isAtEnd());
  EXPECT_FALSE(s.scanString("."));
  EXPECT_FALSE(s.scanInt(&a));
  EXPECT_EQ(a, 3);

  Scanner shortText("ab");
  EXPECT_FALSE(shortText.scanString("abc"));
  EXPECT_TRUE(shortText.scanString("ab"));
  EXPECT_TRUE(Scanner("").isAtEnd());
}

}  // namespace
}  // namespace platform
