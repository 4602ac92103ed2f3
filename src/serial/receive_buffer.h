#pragma once

#include <QByteArray>
#include <mutex>

// The control's bounded receive buffer, filled by a device (possibly from a worker thread)
// and emptied by Input. Bytes that find it full are lost; the first loss of each episode
// is reported so that a flood of data raises one overflow event, not one per byte.
class ReceiveBuffer {
public:
    explicit ReceiveBuffer(int capacity) : capacity_(capacity) {}

    // Returns true when this append started an overflow episode.
    bool append(const QByteArray& bytes) {
        std::lock_guard lock(mutex_);
        const qsizetype room = capacity_ - data_.size();
        if (bytes.size() <= room) {
            data_.append(bytes);
            return false;
        }
        data_.append(bytes.first(room));
        const bool started = !overflowing_;
        overflowing_ = true;
        return started;
    }

    QByteArray take() {
        std::lock_guard lock(mutex_);
        QByteArray out;
        out.swap(data_);
        overflowing_ = false;
        return out;
    }

    qsizetype size() const {
        std::lock_guard lock(mutex_);
        return data_.size();
    }

private:
    mutable std::mutex mutex_;
    QByteArray data_;
    const int capacity_;
    bool overflowing_ = false;
};
