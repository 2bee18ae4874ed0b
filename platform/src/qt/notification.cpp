#include "platform/notification.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>

namespace platform {

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter center;
  return center;
}

void NotificationCenter::addObserver(const void* observer, const std::string& name,
                                     const void* sender, Handler handler) {
  registrations_.push_back(Registration{observer, name, sender,
                                        std::make_shared<Handler>(std::move(handler)),
                                        std::make_shared<bool>(true)});
}

void NotificationCenter::removeObserver(const void* observer) {
  // Mark first: a post in progress holds copies of the registrations and must
  // not call an observer removed by an earlier handler of the same post.
  for (auto& r : registrations_)
    if (r.observer == observer) *r.alive = false;
  std::erase_if(registrations_, [observer](const Registration& r) { return r.observer == observer; });
}

void NotificationCenter::post(const Notification& n) {
  // Handlers may add or remove observers; work on a snapshot.
  std::vector<Registration> matching;
  for (const auto& r : registrations_)
    if (r.name == n.name && (r.sender == nullptr || r.sender == n.object)) matching.push_back(r);
  for (const auto& r : matching)
    if (*r.alive) (*r.handler)(n);
}

NotificationQueue& NotificationQueue::defaultQueue() {
  static NotificationQueue queue;
  return queue;
}

void NotificationQueue::enqueueNotification(Notification n, PostingStyle style) {
  if (style == PostingStyle::Now) {
    NotificationCenter::defaultCenter().post(n);
    return;
  }
  std::erase_if(pending_, [&n](const Notification& p) {
    return p.name == n.name && p.object == n.object;
  });
  pending_.push_back(std::move(n));
  scheduleDelivery();
}

void NotificationQueue::scheduleDelivery() {
  if (scheduled_) return;
  scheduled_ = true;
  // A zero timer fires once the event loop has handled what is pending, that
  // is after the callback that queued the notification has returned.
  QTimer::singleShot(0, QCoreApplication::instance(), [this] { deliver(); });
}

void NotificationQueue::deliver() {
  scheduled_ = false;
  // Notifications queued by the observers themselves wait for the next turn
  // of the loop, as they would on the platform.
  std::vector<Notification> batch;
  batch.swap(pending_);
  for (const auto& n : batch) NotificationCenter::defaultCenter().post(n);
}

}  // namespace platform
