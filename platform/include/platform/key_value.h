// Key-value coding with observers, the mechanism behind bindings: a class
// exposes a property under a key with a setter and a getter; setValue(key, v)
// runs the setter and then tells every observer of that key the new value.
// Calling the class's own setter directly changes the value silently, so an
// observed property must be changed through setValue to reach its observers.
//
// Main thread only; no locks.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/value.h"

namespace platform {

class KeyValueObservable {
 public:
  // Called after the setter has run, with the key and the value the getter
  // returns at that moment.
  using Observer = std::function<void(const std::string& key, const Value& value)>;
  using ObserverToken = std::uint64_t;

  KeyValueObservable() = default;
  virtual ~KeyValueObservable() = default;
  KeyValueObservable(const KeyValueObservable&) = delete;
  KeyValueObservable& operator=(const KeyValueObservable&) = delete;

  // Runs the setter exposed for `key` with `value`, then calls the observers
  // of `key` in the order they registered. Returns false and calls nothing
  // when the class exposes no such key.
  bool setValue(const std::string& key, const Value& value);

  // The getter's value for `key`; none for a key that is not exposed.
  Value valueForKey(const std::string& key) const;

  // Registers `observer` for `key` (the key need not be exposed yet). With
  // `initial` the observer is also called once at once with the current
  // value. Returns a token for removeObserver. Observers may register and
  // remove observers (themselves included) while being called.
  ObserverToken addObserver(const std::string& key, Observer observer, bool initial = false);

  // Removes the registration of `token`; an unknown token is ignored.
  void removeObserver(ObserverToken token);

 protected:
  // Makes `key` settable and readable through the calls above. A second call
  // for the same key replaces the first.
  void exposeKey(const std::string& key, std::function<void(const Value&)> setter,
                 std::function<Value()> getter);

 private:
  struct Accessors {
    std::function<void(const Value&)> setter;
    std::function<Value()> getter;
  };
  struct Registration {
    ObserverToken token;
    std::string key;
    std::shared_ptr<Observer> observer;
    std::shared_ptr<bool> alive;
  };
  std::map<std::string, Accessors> keys_;
  std::vector<Registration> observers_;
  ObserverToken nextToken_ = 1;
};

// The number held by `value`: a real, an integer or a boolean; 0.0 otherwise.
double doubleFromValue(const Value& value);

}  // namespace platform
