// Named notifications delivered on the main thread, and the when-idle queue.
//
// A notification has a name, a sender (any object, compared by address; may
// be null) and a user-info dictionary. Observers register for a name and,
// optionally, one sender. The queue holds notifications posted "when idle":
// they reach the observers from the Qt event loop after the callback that
// queued them has returned. A queued notification replaces an earlier queued
// one with the same name and sender (coalescing on name and sender).
//
// Main thread only; the queue needs a QCoreApplication (or QApplication) and
// a running event loop for delivery.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace platform {

// A string list that the sender keeps changing after posting: recipients see
// the live list, not a copy (the downloader's file list).
using SharedStringList = std::shared_ptr<std::vector<std::string>>;

using UserInfoValue = std::variant<bool, std::string, std::vector<std::string>, SharedStringList>;
using UserInfo = std::map<std::string, UserInfoValue>;

struct Notification {
  std::string name;
  const void* object = nullptr;  // the sender; not owned
  UserInfo userInfo;

  // The value under `key` when it holds a T, else null.
  template <typename T>
  const T* get(const std::string& key) const {
    auto it = userInfo.find(key);
    return it == userInfo.end() ? nullptr : std::get_if<T>(&it->second);
  }
};

class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;

  // The process's default center.
  static NotificationCenter& defaultCenter();

  // Calls `handler` for every notification named `name` whose sender is
  // `sender` (null: any sender). `observer` identifies the registration for
  // removeObserver; it is not owned and must outlive its registrations.
  void addObserver(const void* observer, const std::string& name, const void* sender,
                   Handler handler);

  // Removes every registration of `observer`. Safe to call from a handler,
  // also for the observer being called.
  void removeObserver(const void* observer);

  // Delivers `n` now, synchronously, to the matching observers in the order
  // they registered.
  void post(const Notification& n);

 private:
  struct Registration {
    const void* observer;
    std::string name;
    const void* sender;
    std::shared_ptr<Handler> handler;
    std::shared_ptr<bool> alive;
  };
  std::vector<Registration> registrations_;
};

enum class PostingStyle { WhenIdle = 1, ASAP = 2, Now = 3 };

class NotificationQueue {
 public:
  // The queue of the default center.
  static NotificationQueue& defaultQueue();

  // Queues `n` (Now posts at once). WhenIdle and ASAP are delivered from the
  // event loop after the current callback returns; an already queued
  // notification with the same name and sender is dropped in favour of `n`.
  void enqueueNotification(Notification n, PostingStyle style);

  // Number of notifications waiting (for tests).
  std::size_t pendingCount() const { return pending_.size(); }

 private:
  void scheduleDelivery();
  void deliver();
  std::vector<Notification> pending_;
  bool scheduled_ = false;
};

}  // namespace platform
