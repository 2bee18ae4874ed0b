// The command-line checker over the process's argument list: supplies the
// accessors of ParamCheckerCore and keeps the validated arguments, in the
// form in which they are handed on to the child installers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ParamCheckerCore.h"

namespace naib {

class ParamChecker : public ParamCheckerCore {
 public:
  // `processArguments` is the whole argument list, program path at index 0
  // (platform::processArguments()). Keeps copies of the arguments from index
  // 1 on, in order, without those that begin with "-psn" (the process serial
  // number some launchers add).
  explicit ParamChecker(const std::vector<std::string>& processArguments);
  ~ParamChecker() override = default;

  std::uint32_t GetOrigArgCount() const override;
  const char* GetOrigUtf8Arg(std::uint32_t index) const override;
  // Creates paramArray on the first call, then appends a copy of the text.
  void PutValidatedUtf8Arg(const char* utf8Arg, bool isValue) override;
  void PutRuntimeInstallerUtf8Path(const char* utf8Path) override;

  // The validated arguments in the order they were appended; none when
  // nothing was validated (callers treat none as an empty list). The
  // reference lives as long as the checker.
  const std::optional<std::vector<std::string>>& ParamArray() const { return paramArray; }

 private:
  std::vector<std::string> origArgs;
  std::optional<std::vector<std::string>> paramArray;
  // Kept for the core's accessor; no step of the install flow reads it.
  std::optional<std::string> runtimeInstallerPath;
};

}  // namespace naib
