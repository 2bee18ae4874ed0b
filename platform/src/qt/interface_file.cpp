#include "platform/interface_file.h"

#include <algorithm>

#include "platform/application.h"

namespace platform {
namespace {

std::map<std::string, InterfaceLoader>& registry() {
  // Function-local: registrations run from static initialisers of other
  // translation units, in no defined order relative to this one.
  static std::map<std::string, InterfaceLoader> loaders;
  return loaders;
}

template <typename T>
T* find(const std::map<std::string, T*>& outlets, const std::string& name) {
  auto it = outlets.find(name);
  return it == outlets.end() ? nullptr : it->second;
}

template <typename T>
void addAll(std::map<std::string, T*>& into, const std::map<std::string, T*>& from) {
  for (const auto& [name, outlet] : from) into.emplace(name, outlet);  // existing names win
}

}  // namespace

InterfaceFile::~InterfaceFile() {
  // Reverse order of adoption: controllers adopted after the widgets they
  // drive go first, the widget tree of a form (adopted first) last.
  while (!owned_.empty()) owned_.pop_back();
}

Window* InterfaceFile::windowNamed(const std::string& n) const { return find(windows_, n); }
Button* InterfaceFile::button(const std::string& n) const { return find(buttons_, n); }
TextField* InterfaceFile::textField(const std::string& n) const { return find(textFields_, n); }
TextView* InterfaceFile::textView(const std::string& n) const { return find(textViews_, n); }
ProgressIndicator* InterfaceFile::progressIndicator(const std::string& n) const {
  return find(progressIndicators_, n);
}

std::vector<std::string> InterfaceFile::outletNames() const {
  std::vector<std::string> names;
  for (const auto& [n, _] : windows_) names.push_back(n);
  for (const auto& [n, _] : buttons_) names.push_back(n);
  for (const auto& [n, _] : textFields_) names.push_back(n);
  for (const auto& [n, _] : textViews_) names.push_back(n);
  for (const auto& [n, _] : progressIndicators_) names.push_back(n);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

InterfaceFile* InterfaceFile::merge(std::unique_ptr<InterfaceFile> other) {
  addAll(windows_, other->windows_);
  addAll(buttons_, other->buttons_);
  addAll(textFields_, other->textFields_);
  addAll(textViews_, other->textViews_);
  addAll(progressIndicators_, other->progressIndicators_);
  if (!topWindow_) topWindow_ = other->topWindow_;
  if (!delegate_) delegate_ = other->delegate_;
  return adopt(std::move(other));
}

void InterfaceFile::addOutlet(const std::string& n, Window* w) { windows_[n] = w; }
void InterfaceFile::addOutlet(const std::string& n, Button* b) { buttons_[n] = b; }
void InterfaceFile::addOutlet(const std::string& n, TextField* f) { textFields_[n] = f; }
void InterfaceFile::addOutlet(const std::string& n, TextView* v) { textViews_[n] = v; }
void InterfaceFile::addOutlet(const std::string& n, ProgressIndicator* p) { progressIndicators_[n] = p; }

bool registerInterfaceFile(const std::string& name, InterfaceLoader loader) {
  registry()[name] = std::move(loader);
  return true;
}

bool hasInterfaceFile(const std::string& name) { return registry().count(name) != 0; }

std::unique_ptr<InterfaceFile> loadInterfaceFile(const std::string& name) {
  auto it = registry().find(name);
  if (it == registry().end()) return nullptr;
  Application::sharedApplication();
  // Copy: a loader may load (and so look up) other interface files.
  InterfaceLoader loader = it->second;
  std::unique_ptr<InterfaceFile> file = loader();
  if (!file) file = std::make_unique<InterfaceFile>();
  file->setName(name);
  return file;
}

}  // namespace platform
