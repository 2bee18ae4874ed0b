// A failure as the platform's services report it: a domain naming the family
// of codes, a code within that domain, and a readable description.
#pragma once

#include <string>

namespace platform {

struct Error {
  std::string domain;
  int code = 0;
  std::string localizedDescription;

  bool operator==(const Error&) const = default;
};

}  // namespace platform
