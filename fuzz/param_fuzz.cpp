// libFuzzer target: arbitrary bytes as the bootstrapper's command line, split
// at NUL bytes into the arguments after the program path, through the
// checker the program uses (ParamChecker over ParamCheckerCore). Besides not
// crashing, every answer must keep the checker's contract: the exit code
// fits the result, and an accepted command line forwards only known options,
// "-location" always followed by its value, and never "-allowDownload".
#include <unistd.h>
#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ParamChecker.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The checker answers on standard output (usage line, version); millions
  // of those lines would only slow the run down.
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) dup2(null, STDOUT_FILENO);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::vector<std::string> argv{"/Applications/Install Sample.app/Contents/MacOS/bootstrapper"};
  if (size > 0) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    for (std::size_t start = 0;;) {
      const std::size_t nul = input.find('\0', start);
      argv.emplace_back(input.substr(start, nul == std::string_view::npos ? nul : nul - start));
      if (nul == std::string_view::npos) break;
      start = nul + 1;
    }
  }

  naib::ParamChecker checker(argv);
  // What the checker received: the arguments without program path and
  // without those beginning with "-psn".
  std::vector<std::string> received;
  for (std::size_t i = 1; i < argv.size(); ++i)
    if (argv[i].rfind("-psn", 0) != 0) received.push_back(argv[i]);
  check(checker.GetOrigArgCount() == received.size());

  bool allowDownload = true, silent = true;
  naib::NAIBErrorCode exitCode = naib::Success;
  const bool goOn = checker.CheckParams(allowDownload, silent, exitCode);

  if (!goOn) {
    // Ends now: "-version" alone answered, or the usage line printed.
    const bool version = received.size() == 1 && received[0] == "-version";
    check(exitCode == (version ? naib::Success : naib::InvalidParameters));
    return 0;
  }
  check(exitCode == naib::Success);
  if (received.empty()) {
    check(allowDownload && !silent);
    return 0;
  }
  if (silent) check(received.size() >= 2 && received[0] == "-silent");

  static const std::set<std::string> forwarded{"-silent", "-eulaAccepted", "-desktopShortcut",
                                               "-programMenu", "-location"};
  const auto& validated = checker.ParamArray();
  const std::vector<std::string> none;
  const std::vector<std::string>& args = validated ? *validated : none;
  for (std::size_t i = 0; i < args.size(); ++i) {
    check(forwarded.count(args[i]) == 1);
    if (args[i] == "-location") {
      check(i + 1 < args.size());
      ++i;  // the value, taken as it stands
    }
  }
  // Everything that was forwarded was received; "-allowDownload" sets the
  // flag and is dropped.
  check(args.size() <= received.size());
  bool sawAllow = false;
  for (std::size_t i = 0; i < received.size(); ++i) {
    if (received[i] == "-location") ++i;
    else if (received[i] == "-allowDownload") sawAllow = true;
  }
  check(allowDownload == sawAllow);
  return 0;
}
