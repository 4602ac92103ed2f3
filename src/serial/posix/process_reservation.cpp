#include "process_reservation.h"

#include <sys/stat.h>

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

ProcessReservation::ProcessReservation(const QString& path) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return;
    if (!HeldDevices::reserve(st.st_rdev))
        throw inUse(path);
    device_ = st.st_rdev;
}

ProcessReservation::~ProcessReservation() {
    if (device_)
        HeldDevices::release(*device_);
}
