// The compiled-in message tables of both programs.
//
// allMessages: the bootstrapper's catalogue, 17 language records of eleven
// texts each (message identifiers 0 to 10). launcherMessages: the launcher's
// own table with the two texts its alert needs, in the same languages and the
// same order, so both programs choose the same record for the same
// preferences. Record 16 of each is the English fallback with the code "".
//
// Texts are zero-terminated wchar_t arrays (UTF-32, one code point per unit,
// little-endian on this platform); none is null; records may share texts. All
// of it is constant data with static storage: nothing to own or free.
//
// The bootstrapper links the target "embeddedmessages" (allMessages), the
// launcher "launchermessages" (launcherMessages only); both get the language
// choice of LanguageChoice.h.
#pragma once

#include <cstdint>

inline constexpr int kMessageCount = 11;         // message identifiers 0 to 10
inline constexpr int kLanguageRecordCount = 17;  // 16 languages and the fallback
inline constexpr int kFallbackLanguageIndex = 16;

// Message identifiers.
enum EmbeddedMessageId : int {
  kMsgRuntimeNotFound = 0,
  kMsgSomethingWentWrong = 1,
  kMsgOK = 2,
  kMsgCancel = 3,
  kMsgPleaseWait = 4,
  kMsgDownloadFailed = 5,
  kMsgValidationFailed = 6,
  kMsgVerifyingDownload = 7,
  kMsgUpdateNotAvailable = 8,  // carries the link to the system requirements
  kMsgWindowTitlePrefix = 9,
  kMsgUpdateNotAllowed = 10,
};

// One language of the catalogue. Every field is pointer-sized.
struct EmbeddedMessageRecord {
  const char* languageCode;          // compared with the preferred languages; "" in the fallback
  std::uintptr_t windowsLanguageId;  // LANGID of the language; 0 in the fallback; read by nothing
  const wchar_t* messages[kMessageCount];
};

extern const EmbeddedMessageRecord allMessages[kLanguageRecordCount];

// One language of the launcher's table.
struct LauncherMessageRecord {
  const char* languageCode;
  std::uintptr_t windowsLanguageId;
  const wchar_t* missingRuntimeMessage;  // message 0 of the catalogue
  const wchar_t* okText;                 // message 2 of the catalogue
};

extern const LauncherMessageRecord launcherMessages[kLanguageRecordCount];
