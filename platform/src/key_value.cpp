#include "platform/key_value.h"

#include <algorithm>

namespace platform {

bool KeyValueObservable::setValue(const std::string& key, const Value& value) {
  auto it = keys_.find(key);
  if (it == keys_.end()) return false;
  it->second.setter(value);
  const Value now = it->second.getter();
  // Observers may add or remove registrations while being told; work on a
  // snapshot and skip the ones removed by an earlier observer of this change.
  std::vector<Registration> snapshot;
  for (const auto& r : observers_)
    if (r.key == key) snapshot.push_back(r);
  for (const auto& r : snapshot)
    if (*r.alive) (*r.observer)(key, now);
  return true;
}

Value KeyValueObservable::valueForKey(const std::string& key) const {
  auto it = keys_.find(key);
  return it == keys_.end() ? Value() : it->second.getter();
}

KeyValueObservable::ObserverToken KeyValueObservable::addObserver(const std::string& key,
                                                                  Observer observer, bool initial) {
  const ObserverToken token = nextToken_++;
  auto shared = std::make_shared<Observer>(std::move(observer));
  observers_.push_back(Registration{token, key, shared, std::make_shared<bool>(true)});
  if (initial) (*shared)(key, valueForKey(key));
  return token;
}

void KeyValueObservable::removeObserver(ObserverToken token) {
  for (auto& r : observers_)
    if (r.token == token) *r.alive = false;
  std::erase_if(observers_, [token](const Registration& r) { return r.token == token; });
}

void KeyValueObservable::exposeKey(const std::string& key, std::function<void(const Value&)> setter,
                                   std::function<Value()> getter) {
  keys_[key] = Accessors{std::move(setter), std::move(getter)};
}

double doubleFromValue(const Value& value) {
  if (const double* d = value.asReal()) return *d;
  if (const std::int64_t* i = value.asInteger()) return static_cast<double>(*i);
  if (const bool* b = value.asBool()) return *b ? 1.0 : 0.0;
  return 0.0;
}

}  // namespace platform
