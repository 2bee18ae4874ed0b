// The runtime search. The launcher compiles this file on its own, so it uses
// nothing beyond the search paths and the file manager.
#include "LibInstall.h"
#include "platform/file_manager.h"
#include "platform/paths.h"

namespace install {

std::optional<std::string> getRuntimeLocation() {
  // Local, network and system domains, in that order. A runtime only in the
  // user's own Library is not one the machine's installers put there, so it
  // does not count.
  const std::vector<std::string> libraries = platform::searchPathsForDirectoriesInDomains(
      platform::SearchPathDirectory::Library,
      platform::LocalDomainMask | platform::NetworkDomainMask | platform::SystemDomainMask, true);
  for (const auto& library : libraries) {
    const std::string candidate =
        platform::appendPathComponent(library, "Frameworks/Brenmoor Vantor.framework");
    // Existence is all that is asked here; the first hit wins even when it
    // later turns out not to be a readable bundle.
    if (platform::fileExistsAtPath(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace install
