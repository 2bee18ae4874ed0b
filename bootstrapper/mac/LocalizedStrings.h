// The bootstrapper's user-facing texts, from the compiled-in catalogue
// (embeddedmessages.h) in the user's language.
#pragma once

#include <optional>
#include <string>

class LocalizedStrings {
 public:
  LocalizedStrings() = delete;  // no instances; one class operation

  // The text of message identifier `messageId` (0 to 10, see
  // EmbeddedMessageId) in the chosen language, as UTF-8. None for an
  // identifier outside 0 to 10. The first call of the process chooses the
  // language, whatever its identifier (also an invalid one), from the
  // standard user defaults; later calls keep that choice even when the
  // preferences change. Main thread only.
  static std::optional<std::string> getEmbeddedMessage(int messageId);
};

// The language index of this process: -1 until the first getEmbeddedMessage
// call, then 0 to 16 for the rest of the process.
int embeddedStringLocaleIndex();
