#include "FixtureTree.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace harness {

namespace {

void ensureParent(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  if (parent.empty()) return;
  std::error_code ec;
  fs::create_directories(parent, ec);
  if (ec) throw std::runtime_error("cannot create " + parent.string() + ": " + ec.message());
}

void removeAnything(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  if (ec) throw std::runtime_error("cannot remove " + path + ": " + ec.message());
}

void makeLink(const std::string& target, const std::string& link) {
  removeAnything(link);
  std::error_code ec;
  fs::create_symlink(target, link, ec);
  if (ec) throw std::runtime_error("cannot link " + link + ": " + ec.message());
}

std::string escapeXml(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string base64(const platform::Data& data) {
  static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    const unsigned v = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
    out += table[(v >> 18) & 63];
    out += table[(v >> 12) & 63];
    out += table[(v >> 6) & 63];
    out += table[v & 63];
  }
  if (i + 1 == data.size()) {
    const unsigned v = data[i] << 16;
    out += table[(v >> 18) & 63];
    out += table[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == data.size()) {
    const unsigned v = (data[i] << 16) | (data[i + 1] << 8);
    out += table[(v >> 18) & 63];
    out += table[(v >> 12) & 63];
    out += table[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

void writeValue(std::ostringstream& o, const platform::Value& v, int depth);

void writeDict(std::ostringstream& o, const platform::Dictionary& d, int depth) {
  const std::string pad(static_cast<std::size_t>(depth), '\t');
  if (d.empty()) {
    o << pad << "<dict/>\n";
    return;
  }
  o << pad << "<dict>\n";
  for (const auto& [k, v] : d) {
    o << pad << "\t<key>" << escapeXml(k) << "</key>\n";
    writeValue(o, v, depth + 1);
  }
  o << pad << "</dict>\n";
}

void writeValue(std::ostringstream& o, const platform::Value& v, int depth) {
  const std::string pad(static_cast<std::size_t>(depth), '\t');
  if (const bool* b = v.asBool()) {
    o << pad << (*b ? "<true/>" : "<false/>") << "\n";
  } else if (const std::int64_t* i = v.asInteger()) {
    o << pad << "<integer>" << *i << "</integer>\n";
  } else if (const double* r = v.asReal()) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", *r);
    o << pad << "<real>" << buf << "</real>\n";
  } else if (const std::string* s = v.asString()) {
    o << pad << "<string>" << escapeXml(*s) << "</string>\n";
  } else if (const platform::Data* d = v.asData()) {
    o << pad << "<data>" << base64(*d) << "</data>\n";
  } else if (const platform::Array* a = v.asArray()) {
    if (a->empty()) {
      o << pad << "<array/>\n";
      return;
    }
    o << pad << "<array>\n";
    for (const auto& e : *a) writeValue(o, e, depth + 1);
    o << pad << "</array>\n";
  } else if (const platform::Dictionary* d = v.asDictionary()) {
    writeDict(o, *d, depth);
  } else {
    // A property list has no null; an empty string is the nearest thing.
    o << pad << "<string></string>\n";
  }
}

}  // namespace

void writeFile(const std::string& path, const std::string& content, mode_t mode) {
  ensureParent(path);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out << content;
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
  }
  if (chmod(path.c_str(), mode) != 0) throw std::runtime_error("cannot chmod " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void copyPath(const std::string& from, const std::string& to) {
  ensureParent(to);
  removeAnything(to);
  std::error_code ec;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (ec) throw std::runtime_error("cannot copy " + from + " to " + to + ": " + ec.message());
}

std::string plistXml(const platform::Dictionary& dict) {
  std::ostringstream o;
  o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
       "<plist version=\"1.0\">\n";
  writeDict(o, dict, 0);
  o << "</plist>\n";
  return o.str();
}

void writePlist(const std::string& path, const platform::Dictionary& dict) {
  writeFile(path, plistXml(dict));
}

std::string installFramework(const std::string& libraryDir, const std::string& bundleVersion,
                             const FrameworkOptions& options) {
  const std::string fw = libraryDir + "/Frameworks/" + kFrameworkName;
  removeAnything(fw);
  if (options.plainFile) {
    writeFile(fw, "not a bundle\n");
    return fw;
  }
  const std::string versionDir = fw + "/Versions/1.0";
  std::string resources;
  if (options.layout == FrameworkOptions::Layout::Versioned) {
    resources = versionDir + "/Resources";
    fs::create_directories(resources);
    makeLink("1.0", fw + "/Versions/Current");
    makeLink("Versions/Current/Resources", fw + "/Resources");
  } else {
    resources = fw + "/Resources";
    fs::create_directories(resources);
    fs::create_directories(versionDir);
  }

  platform::Dictionary info = {
      {"CFBundleIdentifier", "com.brenmoor.vantor"},
      {"CFBundleName", "Brenmoor Vantor"},
      {"CFBundlePackageType", "FMWK"},
      {"CFBundleInfoDictionaryVersion", "6.0"},
  };
  if (options.bundleVersionKey) info["CFBundleVersion"] = bundleVersion;

  if (!options.runtimeExecutable.empty()) {
    copyPath(options.runtimeExecutable, versionDir + "/" + kRuntimeExecutableName);
    info["CFBundleExecutable"] = kRuntimeExecutableName;
    if (options.layout == FrameworkOptions::Layout::Versioned)
      makeLink(std::string("Versions/Current/") + kRuntimeExecutableName,
               fw + "/" + kRuntimeExecutableName);
  }
  if (!options.appInstaller.empty()) {
    AppBundleOptions app;
    app.executableName = kAppInstallerExecutableName;
    app.info["CFBundleIdentifier"] = "com.brenmoor.vantor.appinstaller";
    app.info["CFBundleVersion"] = bundleVersion;
    makeAppBundle(versionDir, kAppInstallerBundleName, options.appInstaller, app);
  }
  for (const auto& [k, v] : options.extraInfo) info[k] = v;
  if (options.infoPlist) writePlist(resources + "/Info.plist", info);
  return fw;
}

void removeFramework(const std::string& libraryDir) {
  removeAnything(libraryDir + "/Frameworks/" + kFrameworkName);
}

std::string makeAppBundle(const std::string& parentDir, const std::string& bundleName,
                          const std::string& executable, const AppBundleOptions& options) {
  const std::string bundle = parentDir + "/" + bundleName;
  removeAnything(bundle);
  std::string name = bundleName;
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".app") == 0) name.resize(name.size() - 4);
  const std::string exeName = options.executableName.empty() ? name : options.executableName;

  fs::create_directories(bundle + "/Contents/MacOS");
  fs::create_directories(bundle + "/Contents/Resources");
  copyPath(executable, bundle + "/Contents/MacOS/" + exeName);

  std::string identifier = "test.vantor.";
  for (char c : name) identifier += (std::isalnum(static_cast<unsigned char>(c)) ? c : '-');
  platform::Dictionary info = {
      {"CFBundleExecutable", exeName},
      {"CFBundleName", name},
      {"CFBundleIdentifier", identifier},
      {"CFBundlePackageType", "APPL"},
      {"CFBundleVersion", "1.0"},
      {"CFBundleInfoDictionaryVersion", "6.0"},
  };
  for (const auto& [k, v] : options.info) info[k] = v;
  if (options.infoPlist) writePlist(bundle + "/Contents/Info.plist", info);
  for (const auto& [resName, source] : options.resources)
    copyPath(source, bundle + "/Contents/Resources/" + resName);
  return bundle;
}

}  // namespace harness
