// libFuzzer target: arbitrary bytes as a message of the error dialog, split
// into the runs the dialog shows. Besides not crashing, the runs must give
// the message back: plain runs as they stand and each link written again as
// "<a href='" address "'>" text "</a>" concatenate to the input, byte for
// byte; and the console form of the dialog (each link as "text <address>")
// must be made of the same runs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Dialogs.h"
#include "ErrorDialogController.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string message(reinterpret_cast<const char*>(bytes), size);
  const platform::AttributedText runs = splitMessageIntoRuns(message);
  check(message.empty() == runs.empty());

  std::string rebuilt, console;
  bool previousPlain = false;
  for (const auto& run : runs) {
    if (run.link) {
      // A complete link ends at the first "'>" and then the first "</a>".
      check(run.link->find("'>") == std::string::npos);
      check(run.text.find("</a>") == std::string::npos);
      rebuilt += "<a href='" + *run.link + "'>" + run.text + "</a>";
      console += run.text + (run.text.empty() ? "<" : " <") + *run.link + ">";
      previousPlain = false;
    } else {
      // Plain runs never follow each other: text between links is one run.
      check(!previousPlain);
      rebuilt += run.text;
      console += run.text;
      previousPlain = true;
    }
  }
  check(rebuilt == message);
  check(dialogs::consoleTextOfDialogMessage(message) == console);
  return 0;
}
