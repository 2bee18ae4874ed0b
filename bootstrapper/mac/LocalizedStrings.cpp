#include "LocalizedStrings.h"

#include "LanguageChoice.h"
#include "embeddedmessages.h"

namespace {
// The chosen language index; -1 until the first request. Main thread only,
// so no lock.
int embeddedStringLocale = -1;
}  // namespace

int embeddedStringLocaleIndex() { return embeddedStringLocale; }

std::optional<std::string> LocalizedStrings::getEmbeddedMessage(int messageId) {
  if (embeddedStringLocale == -1) embeddedStringLocale = GetFatalErrorMessageIndex(languageCodesOf(allMessages));
  // Unsigned comparison: negative identifiers are out of range too.
  if (static_cast<unsigned>(messageId) > static_cast<unsigned>(kMessageCount - 1)) return std::nullopt;
  return wchartoNSString(allMessages[embeddedStringLocale].messages[messageId]);
}
