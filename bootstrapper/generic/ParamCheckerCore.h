// The command-line rules of the bootstrapper, free of any platform type: the
// arguments are reached only through the virtual accessors, as UTF-8 text,
// so the rules can run over any argument store.
//
// Options (exact, case-sensitive, whole-argument matches):
//   -version         only as the sole argument: prints the version, ends with 0
//   -silent          forwarded; in a list of two or more it must come first,
//                    once, and sets the silent flag
//   -eulaAccepted, -desktopShortcut, -programMenu   forwarded
//   -location <dir>  forwarded with its value, taken verbatim
//   -allowDownload   sets the allow-download flag; not forwarded
// Every rejected command line prints the usage line on standard output.
#pragma once

#include <cstdint>

#include "NAIBErrorCode.h"

namespace naib {

class ParamCheckerCore {
 public:
  virtual ~ParamCheckerCore() = default;

  // Number of received arguments (program path and "-psn" arguments already
  // left out by the derived class).
  virtual std::uint32_t GetOrigArgCount() const = 0;
  // The UTF-8 text of received argument `index` (< GetOrigArgCount()); the
  // text stays valid as long as the checker lives.
  virtual const char* GetOrigUtf8Arg(std::uint32_t index) const = 0;
  // Appends `utf8Arg` (copied) to the validated arguments. `isValue` is true
  // for an option's value, false for an option name.
  virtual void PutValidatedUtf8Arg(const char* utf8Arg, bool isValue) = 0;
  // Records `utf8Path` (copied) as the runtime installer's path.
  virtual void PutRuntimeInstallerUtf8Path(const char* utf8Path) = 0;

  // Checks the received arguments and fills the three results. Returns true
  // when the install flow goes on (exitCode is then Success); false when the
  // process is to end now with exitCode: Success after "-version" was
  // answered, InvalidParameters after the usage line was printed. The flags
  // hold what the walk had set when it stopped. Writes only to standard
  // output; logs nothing.
  bool CheckParams(bool& allowDownload, bool& silent, NAIBErrorCode& exitCode);

  // Writes install::sAllowDownloadFlagMsg and a newline to standard output.
  void PrintNeedsAllowDownloadFlag() const;
};

}  // namespace naib
