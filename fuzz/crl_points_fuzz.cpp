// libFuzzer target: arbitrary text as the printed CRL distribution points of
// a chain, straight into the parser that turns it into download addresses.
// The input is split at NUL bytes into one printed text per certificate.
// Every address must come from a line of the input that reads "URI:" and the
// address (after leading blanks), and there can be no more addresses than
// lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "CrlDistributionPoints.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  std::vector<std::string> printed;
  std::size_t lines = 0;
  for (std::size_t start = 0;;) {
    const std::size_t nul = input.find('\0', start);
    printed.emplace_back(input.substr(start, nul == std::string_view::npos ? nul : nul - start));
    for (char c : printed.back()) lines += c == '\n';
    lines += 1;
    if (nul == std::string_view::npos) break;
    start = nul + 1;
  }

  const std::vector<std::string> addresses = crlAddressesFromPrintedPoints(printed);
  if (addresses.size() > lines) std::abort();
  for (const auto& address : addresses) {
    if (address.find('\n') != std::string::npos) std::abort();
    // "URI:" + address must stand as a whole line (after blanks) in some text.
    const std::string tail = "URI:" + address;
    bool found = false;
    for (const auto& text : printed) {
      for (std::size_t at = text.find(tail); at != std::string::npos && !found;
           at = text.find(tail, at + 1)) {
        const std::size_t lineStart = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
        const bool blanksBefore = text.find_first_not_of(' ', lineStart) == at;
        const std::size_t end = at + tail.size();
        found = blanksBefore && (end == text.size() || text[end] == '\n');
      }
      if (found) break;
    }
    if (!found) std::abort();
  }
  return 0;
}
