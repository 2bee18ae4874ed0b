// The notification center and the when-idle queue on a real Qt event loop.
#include "platform/notification.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

namespace platform {
namespace {

QCoreApplication& app() {
  static int argc = 1;
  static char name[] = "notification_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication instance(argc, argv);
  return instance;
}

// Runs the event loop until the queue is empty and no zero timer is left,
// or a second has passed.
void runLoopUntilIdle() {
  QElapsedTimer clock;
  clock.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  } while (NotificationQueue::defaultQueue().pendingCount() > 0 && clock.elapsed() < 1000);
  // One more turn for notifications that observers queued during delivery.
  QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Runs `callback` from inside the event loop, as the system's code runs.
void runInLoop(std::function<void()> callback) {
  QTimer::singleShot(0, &app(), std::move(callback));
  runLoopUntilIdle();
  runLoopUntilIdle();
}

class Notifications : public ::testing::Test {
 protected:
  void SetUp() override { app(); }
  void TearDown() override {
    for (const void* o : {observerA, observerB, observerC})
      NotificationCenter::defaultCenter().removeObserver(o);
    runLoopUntilIdle();
  }
  int a = 0, b = 0, c = 0;
  const void* observerA = &a;
  const void* observerB = &b;
  const void* observerC = &c;
  int senderOne = 1, senderTwo = 2;
};

TEST_F(Notifications, WhenIdleArrivesAfterThePostingCallbackReturned) {
  std::vector<std::string> events;
  NotificationCenter::defaultCenter().addObserver(observerA, "InstallerDownloadDone", nullptr,
                                                  [&](const Notification& n) {
                                                    events.push_back("delivered");
                                                    EXPECT_EQ(n.object, &senderOne);
                                                    ASSERT_NE(n.get<bool>("DownloaderKeySuccess"), nullptr);
                                                    EXPECT_TRUE(*n.get<bool>("DownloaderKeySuccess"));
                                                  });
  runInLoop([&] {
    NotificationQueue::defaultQueue().enqueueNotification(
        {"InstallerDownloadDone", &senderOne, {{"DownloaderKeySuccess", true}}},
        PostingStyle::WhenIdle);
    events.push_back("queued");
    // Still inside the callback: nothing may have arrived yet.
    EXPECT_EQ(NotificationQueue::defaultQueue().pendingCount(), 1u);
    events.push_back("callback returns");
  });
  EXPECT_EQ(events, (std::vector<std::string>{"queued", "callback returns", "delivered"}));
  EXPECT_EQ(NotificationQueue::defaultQueue().pendingCount(), 0u);
}

TEST_F(Notifications, NowPostsAtOnce) {
  NotificationCenter::defaultCenter().addObserver(observerA, "X", nullptr,
                                                  [&](const Notification&) { ++a; });
  NotificationQueue::defaultQueue().enqueueNotification({"X", nullptr, {}}, PostingStyle::Now);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(NotificationQueue::defaultQueue().pendingCount(), 0u);
}

TEST_F(Notifications, CoalescingOnNameAndSender) {
  std::vector<std::string> seen;
  auto record = [&](const Notification& n) {
    const std::string* v = n.get<std::string>("v");
    seen.push_back(n.name + "/" + (n.object == &senderOne ? "1" : "2") + "/" + (v ? *v : "?"));
  };
  NotificationCenter::defaultCenter().addObserver(observerA, "A", nullptr, record);
  NotificationCenter::defaultCenter().addObserver(observerA, "B", nullptr, record);
  runInLoop([&] {
    auto& q = NotificationQueue::defaultQueue();
    q.enqueueNotification({"A", &senderOne, {{"v", std::string("first")}}}, PostingStyle::WhenIdle);
    q.enqueueNotification({"A", &senderTwo, {{"v", std::string("other sender")}}},
                          PostingStyle::WhenIdle);
    q.enqueueNotification({"B", &senderOne, {{"v", std::string("other name")}}},
                          PostingStyle::WhenIdle);
    q.enqueueNotification({"A", &senderOne, {{"v", std::string("second")}}}, PostingStyle::ASAP);
    EXPECT_EQ(q.pendingCount(), 3u);
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"A/2/other sender", "B/1/other name", "A/1/second"}));
}

TEST_F(Notifications, SenderFiltering) {
  auto& center = NotificationCenter::defaultCenter();
  center.addObserver(observerA, "Done", &senderOne, [&](const Notification&) { ++a; });
  center.addObserver(observerB, "Done", nullptr, [&](const Notification&) { ++b; });
  center.addObserver(observerC, "Other", &senderOne, [&](const Notification&) { ++c; });
  center.post({"Done", &senderOne, {}});
  center.post({"Done", &senderTwo, {}});
  center.post({"Done", nullptr, {}});
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 3);
  EXPECT_EQ(c, 0);
}

TEST_F(Notifications, ObserverRemovedDuringDelivery) {
  auto& center = NotificationCenter::defaultCenter();
  std::vector<std::string> order;
  // A removes B (registered after it) and itself; neither is called again,
  // and C, registered last, still is.
  center.addObserver(observerA, "Done", nullptr, [&](const Notification&) {
    order.push_back("a");
    center.removeObserver(observerB);
    center.removeObserver(observerA);
  });
  center.addObserver(observerB, "Done", nullptr, [&](const Notification&) { order.push_back("b"); });
  center.addObserver(observerC, "Done", nullptr, [&](const Notification&) { order.push_back("c"); });
  runInLoop([&] {
    NotificationQueue::defaultQueue().enqueueNotification({"Done", &senderOne, {}},
                                                          PostingStyle::WhenIdle);
    NotificationQueue::defaultQueue().enqueueNotification({"Done", &senderTwo, {}},
                                                          PostingStyle::WhenIdle);
  });
  EXPECT_EQ(order, (std::vector<std::string>{"a", "c", "c"}));
}

TEST_F(Notifications, QueuedFromAnObserverArrivesOnTheNextTurn) {
  auto& center = NotificationCenter::defaultCenter();
  std::vector<std::string> order;
  center.addObserver(observerA, "First", nullptr, [&](const Notification&) {
    order.push_back("first");
    NotificationQueue::defaultQueue().enqueueNotification({"Second", nullptr, {}},
                                                          PostingStyle::WhenIdle);
    order.push_back("first returns");
  });
  center.addObserver(observerA, "Second", nullptr,
                     [&](const Notification&) { order.push_back("second"); });
  runInLoop([&] {
    NotificationQueue::defaultQueue().enqueueNotification({"First", nullptr, {}},
                                                          PostingStyle::WhenIdle);
  });
  EXPECT_EQ(order, (std::vector<std::string>{"first", "first returns", "second"}));
}

TEST_F(Notifications, SharedLiveListsAreSeenLive) {
  auto files = std::make_shared<std::vector<std::string>>();
  files->push_back("/tmp/installer");
  SharedStringList received;
  NotificationCenter::defaultCenter().addObserver(observerA, "InstallerDownloadDone", nullptr,
                                                  [&](const Notification& n) {
                                                    const SharedStringList* list =
                                                        n.get<SharedStringList>("DownloaderKeyFiles");
                                                    ASSERT_NE(list, nullptr);
                                                    received = *list;
                                                  });
  runInLoop([&] {
    NotificationQueue::defaultQueue().enqueueNotification(
        {"InstallerDownloadDone", &senderOne, {{"DownloaderKeyFiles", files}}},
        PostingStyle::WhenIdle);
    // The sender keeps changing its list after queueing.
    files->push_back("/tmp/installer.p7");
  });
  ASSERT_NE(received, nullptr);
  EXPECT_EQ(received.get(), files.get());
  EXPECT_EQ(*received, (std::vector<std::string>{"/tmp/installer", "/tmp/installer.p7"}));
  files->push_back("/tmp/crl");
  EXPECT_EQ(received->size(), 3u);
  // A plain list under another key is a copy, not shared.
  EXPECT_EQ(Notification({"n", nullptr, {{"k", std::vector<std::string>{"x"}}}})
                .get<SharedStringList>("k"),
            nullptr);
}

}  // namespace
}  // namespace platform
