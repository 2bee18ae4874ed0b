#include "ParamCheckerCore.h"

#include <cstdio>
#include <cstring>

#include "LibInstall.h"

namespace naib {
namespace {

constexpr const char* kVersion = "32.0.0.89";
constexpr const char* kUsage =
    "Available Options: -silent { -eulaAccepted ( -location <dir> ) -desktopShortcut "
    "-programMenu -allowDownload }";

// Standard output is the only channel of the command-line answers; flush at
// once so the line is out even if the process ends without unwinding stdio.
void printLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool is(const char* arg, const char* option) { return arg && std::strcmp(arg, option) == 0; }

}  // namespace

bool ParamCheckerCore::CheckParams(bool& allowDownload, bool& silent, NAIBErrorCode& exitCode) {
  allowDownload = false;
  silent = false;
  exitCode = InvalidParameters;

  const std::uint32_t n = GetOrigArgCount();
  if (n == 0) {
    // Opened from the Finder: no options, downloading allowed.
    allowDownload = true;
    exitCode = Success;
    return true;
  }

  if (n == 1) {
    const char* only = GetOrigUtf8Arg(0);
    if (is(only, "-version")) {
      printLine(kVersion);
      exitCode = Success;
      return false;
    }
    if (is(only, "-silent")) {
      // Accepted and forwarded, but alone it neither silences the progress
      // window nor allows downloading.
      PutValidatedUtf8Arg("-silent", false);
      exitCode = Success;
      return true;
    }
    printLine(kUsage);
    return false;
  }

  // Only the last "-silent" counts: if it is not the first argument, the
  // list is rejected, which also rejects a repeated "-silent".
  bool silentNotFirst = false;
  for (std::uint32_t i = 0; i < n; ++i) {
    const char* arg = GetOrigUtf8Arg(i);
    if (is(arg, "-silent")) {
      silentNotFirst = i != 0;
      PutValidatedUtf8Arg("-silent", false);
      silent = true;
    } else if (is(arg, "-eulaAccepted") || is(arg, "-desktopShortcut") ||
               is(arg, "-programMenu")) {
      PutValidatedUtf8Arg(arg, false);
    } else if (is(arg, "-location")) {
      if (++i == n) {
        printLine(kUsage);
        return false;
      }
      PutValidatedUtf8Arg("-location", false);
      // The value is taken as it stands, even when it looks like an option.
      PutValidatedUtf8Arg(GetOrigUtf8Arg(i), true);
    } else if (is(arg, "-allowDownload")) {
      allowDownload = true;
    } else {
      printLine(kUsage);
      return false;
    }
  }
  if (silentNotFirst) {
    printLine(kUsage);
    return false;
  }
  exitCode = Success;
  return true;
}

void ParamCheckerCore::PrintNeedsAllowDownloadFlag() const { printLine(install::sAllowDownloadFlagMsg); }

}  // namespace naib
