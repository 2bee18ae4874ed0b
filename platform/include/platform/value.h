// Property-list values: the dictionaries of Info.plist, Config.plist and
// SystemVersion.plist, and the user defaults. A Value is one of none, a
// boolean, an integer, a real, a string, raw data, an array or a dictionary.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

class Value;
using Array = std::vector<Value>;
using Dictionary = std::map<std::string, Value>;
using Data = std::vector<std::uint8_t>;

class Value {
 public:
  using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string, Data, Array,
                               Dictionary>;

  Value() = default;
  Value(bool b) : storage_(b) {}
  Value(int i) : storage_(std::int64_t{i}) {}
  Value(std::int64_t i) : storage_(i) {}
  Value(double d) : storage_(d) {}
  Value(const char* s) : storage_(std::string(s)) {}
  Value(std::string s) : storage_(std::move(s)) {}
  Value(Data d) : storage_(std::move(d)) {}
  Value(Array a) : storage_(std::move(a)) {}
  Value(Dictionary d) : storage_(std::move(d)) {}

  bool isNone() const { return std::holds_alternative<std::monostate>(storage_); }
  // Each accessor returns the held value of that kind, or null when the value
  // is of another kind. The pointer lives as long as this Value is unchanged.
  const bool* asBool() const { return std::get_if<bool>(&storage_); }
  const std::int64_t* asInteger() const { return std::get_if<std::int64_t>(&storage_); }
  const double* asReal() const { return std::get_if<double>(&storage_); }
  const std::string* asString() const { return std::get_if<std::string>(&storage_); }
  const Data* asData() const { return std::get_if<Data>(&storage_); }
  const Array* asArray() const { return std::get_if<Array>(&storage_); }
  const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&storage_); }

  const Storage& storage() const { return storage_; }
  bool operator==(const Value& other) const { return storage_ == other.storage_; }

 private:
  Storage storage_;
};

// Reads a property list file, XML or binary. Returns the top-level dictionary,
// or none when the file is missing, unreadable, not a property list, or its
// top level is not a dictionary.
std::optional<Dictionary> readPropertyListDictionary(const std::string& path);

// Writes `dict` as an XML property list to `path` (replacing it). Returns false
// when the file cannot be written. Used by the deployer tools and the tests.
bool writePropertyListXml(const Dictionary& dict, const std::string& path);

}  // namespace platform
