// The sample runtime's Application Installer: the program inside
// "Versions/1.0/Brenmoor Vantor Application Installer.app" that the
// bootstrapper starts with the validated options and the package directory.
//
//   <exe> [-silent] [-eulaAccepted] [-location <dir>] [-desktopShortcut]
//         [-programMenu] <package directory>
//
// What it does, in order:
//  1. Records how it was started: the working directory and every argument,
//     on standard output and in a record file (the path in the environment
//     variable VANTOR_APP_INSTALLER_RECORD, else
//     "<user's temporary directory>vantor-app-installer.txt"), so a test or a
//     demo can see exactly what the bootstrapper handed over. The file is
//     replaced on every run. Line breaks and backslashes inside an argument
//     are written as \n and \\ so that each argument stays on one line.
//  2. When the bundle's Resources hold a file "exit-status" with a number
//     other than 0, ends with that status without installing: a fixture's
//     way of playing an installer that fails.
//  3. Installs the package as "<Name>.app" (Name: the package folder's name)
//     into the "-location" folder, else ~/Applications: the launcher that
//     the framework carries (Resources/launcher/, the skeleton of a Contents
//     folder with MacOS/launcher) becomes the main executable, the package's contents become the app's Resources, and the
//     Info.plist is the package's own "Info.plist" when it has one, with
//     CFBundleExecutable (and a missing CFBundleName) set. An app of that
//     name already there is replaced, as an update would.
//  4. Exits 0, or 1 when the installation failed, 2 for a command line it
//     does not understand.
// "-silent", "-eulaAccepted", "-desktopShortcut" and "-programMenu" are
// accepted and only recorded: this sample shows no dialogs and makes no
// shortcuts.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/bundle.h"
#include "platform/paths.h"
#include "platform/value.h"

namespace fs = std::filesystem;

namespace {

constexpr char kRecordVariable[] = "VANTOR_APP_INSTALLER_RECORD";

std::string escapeLine(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

std::string currentDirectory() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return std::string("(unknown: ") + std::strerror(errno) + ")";
  return buffer;
}

std::string recordPath() {
  const char* chosen = std::getenv(kRecordVariable);
  if (chosen != nullptr && *chosen != '\0') return chosen;
  std::string tmp = platform::temporaryDirectory();
  if (tmp.empty()) tmp = platform::appendPathComponent(platform::homeDirectory(), "");
  return tmp + "vantor-app-installer.txt";
}

void record(const std::vector<std::string>& args) {
  std::ostringstream text;
  text << "Vantor Application Installer (sample)\n";
  text << "cwd: " << escapeLine(currentDirectory()) << "\n";
  text << "argc: " << args.size() << "\n";
  for (std::size_t i = 0; i < args.size(); ++i)
    text << "argument " << (i + 1) << ": " << escapeLine(args[i]) << "\n";
  std::cout << text.str() << std::flush;

  const std::string path = recordPath();
  std::ofstream out(path, std::ios::trunc);
  out << text.str();
  if (!out) std::cerr << "Vantor Application Installer: cannot write the record " << path << "\n";
}

// The status a fixture asks for, or 0.
int requestedExitStatus(const platform::Bundle& self) {
  std::ifstream in(platform::appendPathComponent(self.resourcePath(), "exit-status"));
  int status = 0;
  if (in >> status) return status;
  return 0;
}

struct Options {
  std::optional<std::string> location;
  std::string package;
};

std::optional<Options> parse(const std::vector<std::string>& args) {
  Options o;
  if (args.empty()) return std::nullopt;
  const std::size_t last = args.size() - 1;
  for (std::size_t i = 0; i < last; ++i) {
    const std::string& a = args[i];
    if (a == "-silent" || a == "-eulaAccepted" || a == "-desktopShortcut" || a == "-programMenu") continue;
    if (a == "-location" && i + 1 < last) {
      o.location = args[++i];
      continue;
    }
    return std::nullopt;
  }
  o.package = args[last];
  return o;
}

bool copyTree(const fs::path& from, const fs::path& to, std::error_code& ec) {
  fs::create_directories(to, ec);
  if (ec) return false;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  return !ec;
}

// Installs `package` as <destination>/<Name>.app. Returns the app's path, or
// none with the reason on standard error.
std::optional<std::string> install(const platform::Bundle& self, const std::string& package,
                                   const std::string& destination) {
  std::error_code ec;
  if (!fs::is_directory(package, ec)) {
    std::cerr << "Vantor Application Installer: no package directory at " << package << "\n";
    return std::nullopt;
  }
  const std::string name = platform::lastPathComponent(package);
  // The framework carries the launcher as the skeleton of an app's Contents
  // folder: MacOS/launcher and whatever the launcher needs beside it (the
  // part it loads to show its alert).
  const fs::path skeleton = platform::appendPathComponent(self.resourcePath(), "launcher");
  const fs::path launcher = skeleton / "MacOS" / "launcher";
  if (!fs::is_regular_file(launcher, ec)) {
    std::cerr << "Vantor Application Installer: the framework carries no launcher at " << launcher.string()
              << "\n";
    return std::nullopt;
  }

  fs::create_directories(destination, ec);
  if (ec) {
    std::cerr << "Vantor Application Installer: cannot create " << destination << ": " << ec.message() << "\n";
    return std::nullopt;
  }
  const fs::path app = fs::path(destination) / (name + ".app");
  // Assembled under a temporary name and moved into place, so an app that
  // was there stays usable until the new one is complete.
  const fs::path staging = fs::path(destination) / ("." + name + ".app.installing");
  fs::remove_all(staging, ec);
  const fs::path contents = staging / "Contents";
  const fs::path macos = contents / "MacOS";
  if (!copyTree(package, contents / "Resources", ec)) {
    std::cerr << "Vantor Application Installer: cannot copy the package: " << ec.message() << "\n";
    fs::remove_all(staging, ec);
    return std::nullopt;
  }
  // The launcher becomes the app's main executable under the app's name.
  fs::copy(skeleton, contents, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (!ec) fs::rename(macos / "launcher", macos / name, ec);
  if (ec) {
    std::cerr << "Vantor Application Installer: cannot copy the launcher: " << ec.message() << "\n";
    fs::remove_all(staging, ec);
    return std::nullopt;
  }

  // The package may describe its app with an Info.plist of its own; it then
  // sits in Resources too, where it does no harm.
  platform::Dictionary info =
      platform::readPropertyListDictionary(platform::appendPathComponent(package, "Info.plist"))
          .value_or(platform::Dictionary{});
  info["CFBundleExecutable"] = name;
  if (info.find("CFBundleName") == info.end()) info["CFBundleName"] = name;
  if (info.find("CFBundlePackageType") == info.end()) info["CFBundlePackageType"] = "APPL";
  if (!platform::writePropertyListXml(info, (contents / "Info.plist").string())) {
    std::cerr << "Vantor Application Installer: cannot write the Info.plist\n";
    fs::remove_all(staging, ec);
    return std::nullopt;
  }

  fs::remove_all(app, ec);
  fs::rename(staging, app, ec);
  if (ec) {
    std::cerr << "Vantor Application Installer: cannot move the app into place: " << ec.message() << "\n";
    fs::remove_all(staging, ec);
    return std::nullopt;
  }
  return app.string();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  record(args);

  const std::shared_ptr<platform::Bundle> self = platform::Bundle::mainBundle();
  if (const int status = requestedExitStatus(*self); status != 0) {
    std::cout << "Vantor Application Installer: ending with status " << status << " as the framework asks\n";
    return status;
  }

  const std::optional<Options> options = parse(args);
  if (!options) {
    std::cerr << "usage: " << (argc > 0 ? argv[0] : "installer")
              << " [-silent] [-eulaAccepted] [-location <dir>] [-desktopShortcut] [-programMenu] <package>\n";
    return 2;
  }
  const std::string destination =
      options->location ? *options->location
                        : platform::appendPathComponent(platform::homeDirectory(), "Applications");
  const std::optional<std::string> app = install(*self, options->package, destination);
  if (!app) return 1;
  std::cout << "Vantor Application Installer: installed " << *app << "\n";
  return 0;
}
