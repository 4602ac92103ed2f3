#include "notification_order.h"

void NotificationOrder::deliver(Notification notification) {
    held_.push_back(std::move(notification));
    if (!holding())
        runHeld();
}

// One at a time from the front: a handler that waits and then lets events run takes the
// rest of the queue with it, as a nested event pump would.
void NotificationOrder::runHeld() {
    while (!held_.empty()) {
        Notification next = std::move(held_.front());
        held_.pop_front();
        next();
    }
}
