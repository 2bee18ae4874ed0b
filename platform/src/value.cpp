#include "platform/value.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>

namespace platform {
namespace {

// libplist hands out malloc'ed strings and nodes that must go back through
// its own free functions; these holders make every early return safe.
struct PlistFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistHolder = std::unique_ptr<void, PlistFree>;

struct MallocFree {
  void operator()(void* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, MallocFree>;

Value fromNode(plist_t node);

Dictionary dictionaryFromNode(plist_t node) {
  Dictionary out;
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(node, &it);
  if (!it) return out;
  for (;;) {
    char* rawKey = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(node, it, &rawKey, &item);
    CString key(rawKey);
    if (!item) break;
    if (key) out.emplace(key.get(), fromNode(item));
  }
  std::free(it);
  return out;
}

Value fromNode(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value(b != 0);
    }
    case PLIST_UINT: {
      // libplist 2.2 keeps every integer as 64 unsigned bits; negative
      // integers of the file come back in two's complement.
      std::uint64_t u = 0;
      plist_get_uint_val(node, &u);
      return Value(static_cast<std::int64_t>(u));
    }
    case PLIST_UID: {
      std::uint64_t u = 0;
      plist_get_uid_val(node, &u);
      return Value(static_cast<std::int64_t>(u));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value(d);
    }
    case PLIST_DATE: {
      // No date kind in Value: seconds since 2001-01-01, the platform's
      // reference date, as libplist reports them.
      std::int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      return Value(static_cast<double>(sec) + usec / 1e6);
    }
    case PLIST_STRING: {
      char* raw = nullptr;
      plist_get_string_val(node, &raw);
      CString s(raw);
      return Value(std::string(s ? s.get() : ""));
    }
    case PLIST_KEY: {
      char* raw = nullptr;
      plist_get_key_val(node, &raw);
      CString s(raw);
      return Value(std::string(s ? s.get() : ""));
    }
    case PLIST_DATA: {
      char* raw = nullptr;
      std::uint64_t length = 0;
      plist_get_data_val(node, &raw, &length);
      CString d(raw);
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(d.get());
      return Value(bytes ? Data(bytes, bytes + length) : Data());
    }
    case PLIST_ARRAY: {
      Array out;
      const std::uint32_t n = plist_array_get_size(node);
      out.reserve(n);
      for (std::uint32_t i = 0; i < n; ++i) out.push_back(fromNode(plist_array_get_item(node, i)));
      return Value(std::move(out));
    }
    case PLIST_DICT:
      return Value(dictionaryFromNode(node));
    default:
      return Value();
  }
}

plist_t toNode(const Value& v) {
  struct Visitor {
    plist_t operator()(std::monostate) const { return nullptr; }
    plist_t operator()(bool b) const { return plist_new_bool(b ? 1 : 0); }
    // The XML writer prints the stored 64 bits as a signed number, so a
    // negative integer round-trips.
    plist_t operator()(std::int64_t i) const { return plist_new_uint(static_cast<std::uint64_t>(i)); }
    plist_t operator()(double d) const { return plist_new_real(d); }
    plist_t operator()(const std::string& s) const { return plist_new_string(s.c_str()); }
    plist_t operator()(const Data& d) const {
      return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
    }
    plist_t operator()(const Array& a) const {
      plist_t node = plist_new_array();
      for (const auto& item : a)
        if (plist_t child = toNode(item)) plist_array_append_item(node, child);
      return node;
    }
    plist_t operator()(const Dictionary& d) const {
      plist_t node = plist_new_dict();
      for (const auto& [key, item] : d)
        if (plist_t child = toNode(item)) plist_dict_set_item(node, key.c_str(), child);
      return node;
    }
  };
  return std::visit(Visitor{}, v.storage());
}

// The whole file, or none when it is not a readable regular file. POSIX
// calls rather than streams: a stream reading a folder throws.
std::optional<std::string> readRegularFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> bytes;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    bytes.emplace();
    char buffer[16384];
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) {
        bytes->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        bytes.reset();
        break;
      }
    }
  }
  close(fd);
  return bytes;
}

// A binary property list can carry keys and strings with a NUL character
// inside. libplist keeps them, but aborts the process (an assertion) as soon
// as such a key or string is asked for, so a crafted Info.plist would crash
// whoever reads it. Its XML form keeps the NUL bytes, which tells them apart
// without touching the strings themselves; such a file is refused as
// unreadable (no key of this system's can hold a NUL anyway).
bool holdsNulCharacter(plist_t root) {
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  if (!xml) return true;
  std::unique_ptr<char, void (*)(char*)> text(xml, plist_to_xml_free);
  return std::memchr(xml, '\0', length) != nullptr;
}

}  // namespace

std::optional<Dictionary> readPropertyListDictionary(const std::string& path) {
  const std::optional<std::string> bytes = readRegularFile(path);
  if (!bytes || bytes->empty() || bytes->size() > std::numeric_limits<std::uint32_t>::max())
    return std::nullopt;
  plist_t raw = nullptr;
  // plist_from_memory picks the binary or the XML reader from the header.
  plist_from_memory(bytes->data(), static_cast<std::uint32_t>(bytes->size()), &raw);
  PlistHolder root(raw);
  if (!root || plist_get_node_type(raw) != PLIST_DICT) return std::nullopt;
  if (holdsNulCharacter(raw)) return std::nullopt;
  return dictionaryFromNode(raw);
}

bool writePropertyListXml(const Dictionary& dict, const std::string& path) {
  PlistHolder root(toNode(Value(dict)));
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(static_cast<plist_t>(root.get()), &xml, &length);
  if (!xml) return false;
  std::unique_ptr<char, void (*)(char*)> text(xml, plist_to_xml_free);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(text.get(), length);
  out.close();
  return static_cast<bool>(out);
}

}  // namespace platform
