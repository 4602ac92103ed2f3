#pragma once

#include <deque>
#include <functional>

// The order in which the tester's notifications run. A notification that arrives while a
// handler waits is held, behind those that came before it, until the waiting handler lets
// pending events run; one that arrives while nothing waits runs at once. The window itself
// goes on painting and answering the window system meanwhile: only our handlers wait.
class NotificationOrder {
public:
    using Notification = std::function<void()>;

    // Runs the notification now, after any still held, or holds it while a wait lasts.
    void deliver(Notification notification);

    // Runs `wait` with every notification that arrives meanwhile held.
    template <typename Wait>
    void holdDuring(Wait&& wait) {
        const Holding holding(holding_);
        wait();
    }

    // Runs the held notifications in the order they came, and those that come meanwhile.
    void runHeld();
    // Forgets the held notifications: the window is closing and answers nothing more.
    void dropHeld() { held_.clear(); }

    bool holding() const { return holding_ > 0; }

private:
    class Holding {
    public:
        explicit Holding(int& depth) : depth_(depth) { ++depth_; }
        ~Holding() { --depth_; }
        Holding(const Holding&) = delete;
        Holding& operator=(const Holding&) = delete;

    private:
        int& depth_;
    };

    std::deque<Notification> held_;
    int holding_ = 0;
};
