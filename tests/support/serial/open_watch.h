#pragma once

#include <QString>

// Tells whether anything opened a file since the watch began (inotify IN_OPEN). A handle
// made with O_PATH, or stat(), is no opening.
class OpenWatch {
public:
    explicit OpenWatch(const QString& path);
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool ok() const { return fd_ >= 0; }
    // The openings seen since the last call.
    int openings();

private:
    int fd_ = -1;
};
