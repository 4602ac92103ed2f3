#include "process_reservation.h"

#include <mutex>
#include <set>

#include "open_errors.h"

namespace {

// The ttys this process holds, by device number.
class HeldDevices {
public:
    static bool reserve(dev_t device) {
        std::lock_guard lock(mutex());
        return held().insert(device).second;
    }
    static void release(dev_t device) {
        std::lock_guard lock(mutex());
        held().erase(device);
    }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::set<dev_t>& held() {
        static std::set<dev_t> devices;
        return devices;
    }
};

}  // namespace

ProcessReservation::ProcessReservation(dev_t device, const QString& path) : device_(device) {
    if (!HeldDevices::reserve(device))
        throw inUse(path);
}

ProcessReservation::~ProcessReservation() {
    HeldDevices::release(device_);
}
