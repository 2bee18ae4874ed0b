// What the launcher's end-to-end tests share: where the built pieces are, an
// installed app bundle around the launcher, and the alert text expected for a
// record of the launcher's message table.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "FixtureTree.h"
#include "embeddedmessages.h"

namespace launchertest {

inline std::string launcherPath() { return LAUNCHER_PATH; }
inline std::string alertLibraryPath() { return LAUNCHER_ALERT_PATH; }
inline std::string alertLibraryName() {
  const std::string path = alertLibraryPath();
  return path.substr(path.rfind('/') + 1);
}
inline std::string variant(const std::string& name) {
  return std::string(SAMPLE_VARIANT_DIR) + "/libsample_runtime_" + name + ".so";
}
inline std::string notALibrary() { return std::string(SAMPLE_VARIANT_DIR) + "/not-a-library.so"; }
inline std::string sampleRuntime() { return SAMPLE_RUNTIME_PATH; }

// "<applicationsDir>/Sample.app" with the launcher as Contents/MacOS/Sample
// and its alert part beside it, as the Application Installer lays it out.
inline std::string installSampleApp(const std::string& applicationsDir) {
  harness::AppBundleOptions options;
  options.executableName = "Sample";
  const std::string app = harness::makeAppBundle(applicationsDir, "Sample.app", launcherPath(), options);
  harness::copyPath(alertLibraryPath(), app + "/Contents/MacOS/" + alertLibraryName());
  return app;
}

// UTF-8 of a zero-terminated UTF-32 text, written here so the expectation
// does not lean on the launcher's own conversion.
inline std::string utf8(const wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) {
    const auto c = static_cast<char32_t>(*text);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The console stand-in's text for the launcher's alert in record `index`:
// the title, the informative text and the one button in brackets.
inline std::string alertText(int index) {
  const LauncherMessageRecord& record = launcherMessages[index];
  std::string text = utf8(record.missingRuntimeMessage);
  if (text.empty() || text.back() != '\n') text += '\n';
  return "Brenmoor Vantor\n" + text + "[" + utf8(record.okText) + "]\n";
}

// The NEEDED entries of an ELF file's dynamic section.
inline std::vector<std::string> neededLibraries(const std::string& path) {
  std::vector<std::string> out;
  const std::string command = "objdump -p '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char name[512];
    if (std::sscanf(line, " NEEDED %511s", name) == 1) out.push_back(name);
  }
  pclose(pipe);
  return out;
}

}  // namespace launchertest
