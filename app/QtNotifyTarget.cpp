#include "app/QtNotifyTarget.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>

namespace kestrel {
namespace {

const QEvent::Type NotificationEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// One notification on its way; the block is freed with the event if it is never delivered.
class NotificationEvent : public QEvent {
 public:
  explicit NotificationEvent(Notification notification)
      : QEvent(NotificationEventType), notification(std::move(notification)) {}

  Notification notification;
};

// Qt guards its event queue with a lock that a race detector cannot see inside Qt's libraries.
// The counter shows it the hand-over: the posting thread releases each complete event, and this
// thread acquires before it touches one, delivered or deleted undelivered.
class Receiver : public QObject {
 public:
  explicit Receiver(std::function<void(NotificationEvent&)> deliver) : deliver_(std::move(deliver)) {}
  ~Receiver() override { published_.load(std::memory_order_acquire); }

  void Publish() { published_.fetch_add(1, std::memory_order_release); }

  bool event(QEvent* e) override {
    published_.load(std::memory_order_acquire);
    if (e->type() != NotificationEventType) return QObject::event(e);
    deliver_(static_cast<NotificationEvent&>(*e));
    return true;
  }

 private:
  std::function<void(NotificationEvent&)> deliver_;
  std::atomic<std::uint64_t> published_{0};
};

class QtNotifyTarget : public NotifyTarget {
 public:
  QtNotifyTarget() : receiver_([this](NotificationEvent& e) { Deliver(std::move(e.notification)); }) {}

  bool Post(Notification notification) override {
    // Posted events to one receiver are delivered in the order they were posted; Qt takes
    // ownership of the event and drops it unseen if the receiver goes first.
    auto* event = new NotificationEvent(std::move(notification));
    receiver_.Publish();
    QCoreApplication::postEvent(&receiver_, event);
    return true;
  }

 private:
  Receiver receiver_;
};

}  // namespace

std::unique_ptr<NotifyTarget> MakeQtNotifyTarget() { return std::make_unique<QtNotifyTarget>(); }

}  // namespace kestrel
