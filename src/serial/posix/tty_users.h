#pragma once

#include <sys/types.h>

#include <QString>
#include <map>
#include <vector>

// A process that uses a tty, as /proc tells it.
struct TtyUser {
    pid_t pid = 0;
    QString program;  // its command name: "picocom", "agetty"
};

// Who uses which tty, from one pass over the process table below `procRoot`: the processes
// that have it open (their /proc/PID/fd, where readable) and those that have it as their
// controlling terminal (a getty, a login shell). This process is left out. Nothing is
// opened but /proc's own files.
class TtyUsers {
public:
    enum Look { OpenFilesToo, ControllingTerminalsOnly };
    TtyUsers(const QString& procRoot, Look look);

    const std::vector<TtyUser>& holding(dev_t device) const { return find(open_, device); }
    const std::vector<TtyUser>& controlledBy(dev_t device) const {
        return find(controlling_, device);
    }

    // The command name of a running process, or empty.
    static QString programOf(pid_t pid, const QString& procRoot);

private:
    using ByDevice = std::map<dev_t, std::vector<TtyUser>>;
    static const std::vector<TtyUser>& find(const ByDevice& users, dev_t device);
    void readOpenFiles(const QString& processFolder, const TtyUser& user);

    ByDevice open_;
    ByDevice controlling_;
};

// "picocom, PID 4242" for each user, joined by "; ".
QString describeUsers(const std::vector<TtyUser>& users);

// For a service known to grab new serial adapters (ModemManager, brltty): what it is and how
// to keep it off `devicePath`; empty for any other program.
QString serviceAdvice(const QString& program, const QString& devicePath);
