// libFuzzer target: arbitrary bytes as the detached signature file. Reading,
// the signer checks and the verification over a fixed data file must never
// crash, leak or read out of bounds; whatever they make of the bytes, a
// refusal always comes with a recorded reason.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "SignatureVerification.h"

namespace {

struct Files {
  std::string dir, data, signature;
  Files() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vantor-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    dir = pattern;
    data = dir + "/installer";
    signature = dir + "/installer.p7";
    FILE* f = std::fopen(data.c_str(), "wb");
    if (!f) std::abort();
    std::fputs("runtime installer", f);
    std::fclose(f);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static Files files;
  FILE* f = std::fopen(files.signature.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(bytes, 1, size, f);
  std::fclose(f);

  SignatureVerification v;
  v.setDataPath(files.data);
  v.setSignaturePath(files.signature);
  ossl::Pkcs7Ptr p7 = v.readPkcs7();
  if (!p7) {
    if (v.errorString().empty()) std::abort();
    return 0;
  }
  if (!v.verifyDetachedSignature(p7.get()) && v.errorString().empty()) std::abort();
  return 0;
}
