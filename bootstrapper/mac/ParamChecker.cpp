#include "ParamChecker.h"

namespace naib {

ParamChecker::ParamChecker(const std::vector<std::string>& processArguments) {
  for (std::size_t i = 1; i < processArguments.size(); ++i)
    if (processArguments[i].rfind("-psn", 0) != 0) origArgs.push_back(processArguments[i]);
}

std::uint32_t ParamChecker::GetOrigArgCount() const {
  return static_cast<std::uint32_t>(origArgs.size());
}

const char* ParamChecker::GetOrigUtf8Arg(std::uint32_t index) const {
  return index < origArgs.size() ? origArgs[index].c_str() : nullptr;
}

void ParamChecker::PutValidatedUtf8Arg(const char* utf8Arg, bool /*isValue*/) {
  if (!paramArray) paramArray.emplace();
  paramArray->emplace_back(utf8Arg ? utf8Arg : "");
}

void ParamChecker::PutRuntimeInstallerUtf8Path(const char* utf8Path) {
  runtimeInstallerPath = utf8Path ? std::optional<std::string>(utf8Path) : std::nullopt;
}

}  // namespace naib
