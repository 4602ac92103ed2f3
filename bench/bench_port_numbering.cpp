// What finding and numbering the ports costs, which every selection and every look at the
// port box's list pays: the scan of sysfs and /dev/serial with 16 serial devices (a fake tree
// in a temporary folder) and on this machine's own sysfs, the numbering, and --list-ports'
// table, and the look at /proc for consoles' gettys and ports' holders. Then the lock dance of
// an open: taking and removing the UUCP lock alone, and a whole open and close of a
// pseudo-terminal (the UUCP lock, the look at /proc, the flock and TIOCEXCL) with and without
// a lock folder it can write; and the open of a numbered port, which finds its number first,
// as the opener does it and with the holders' look the numbering of the port box pays.
// Opens no device but pseudo-terminals. Usage: bench_port_numbering [runs, default 2000]

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "bench_support.h"
#include "device_sinks.h"
#include "fake_serial_tree.h"
#include "port_listing.h"
#include "port_numbering.h"
#include "pty_pair.h"
#include "system_device.h"
#include "system_port_scan.h"
#include "tty_users.h"
#include "uucp_lock.h"

namespace {

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Median and worst time of one call, in microseconds, and the median CPU time: on a machine
// that others load, the wall time is mostly waiting for a core.
void time(const char* label, int runs, const std::function<void()>& call) {
    std::vector<double> us, cpu;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuSeconds();
        call();
        cpu.push_back((cpuSeconds() - cpuStart) * 1e6);
        us.push_back(bench::secondsSince(start) * 1e6);
    }
    std::sort(us.begin(), us.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-58s median %8.1f us   worst %8.1f us   cpu %8.1f us\n", label, us[us.size() / 2],
                us.back(), cpu[cpu.size() / 2]);
}

// Two native UARTs and fourteen USB adapters, each in a socket of its own.
bool addSixteenDevices(FakeSerialTree& tree) {
    bool added =
        tree.add("ttyS0; type=4") && tree.add("ttyS1; type=4") && tree.add("ttyS2; type=0");
    for (int n = 0; n < 14; ++n)
        added = added && tree.add(QString("ttyUSB%1; usb=FTDI|FT232R USB UART|A10K%2; "
                                          "by-path=pci-0000:00:14.0-usb-0:%3:1.0-port0")
                                      .arg(n)
                                      .arg(n)
                                      .arg(14 - n));
    return added;
}

// The number of the device whose node is `path`, or 0.
int numberOf(const PortNumbering& numbering, const QString& path) {
    for (int port = PortNumbers::kFirst; port <= PortNumbers::kLast; ++port)
        if (numbering.reach(port).device == path)
            return port;
    return 0;
}

// The open of a numbered port with 16 devices: the fake tree's ttyUSB0 made a link to a
// pseudo-terminal, so that it opens, and this machine's process table looked at.
void timeNumberedOpen(int runs, FakeSerialTree& tree, const PtyPair& pty,
                      const SystemFolders& withLock) {
    const QString node = tree.folders().dev + QStringLiteral("/ttyUSB0");
    if (!QFile::remove(node) || !QFile::link(pty.slavePath(), node)) {
        std::fprintf(stderr, "could not link the pseudo-terminal into the fake tree\n");
        return;
    }
    SystemFolders folders = tree.folders();
    folders.lock = withLock.lock;
    folders.proc = SystemFolders{}.proc;
    const auto ports = std::make_shared<SystemSerialPorts>(folders);
    MappedDeviceOpener opener(PortMap{}, ports);
    const short port = static_cast<short>(numberOf(opener.numbering(), node));
    NullSink sink;
    time("open and close of a numbered port (the opener)", runs,
         [&] { opener.open(port, {}, sink); });
    time("the same after a scan naming holders (as it was)", runs, [&] {
        ports->open(*std::get_if<QString>(&*opener.numbering().reach(port).target), {}, sink);
    });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;

    FakeSerialTree tree;
    if (!tree.ok() || !addSixteenDevices(tree)) {
        std::fprintf(stderr, "could not make the fake tree\n");
        return 1;
    }
    const MappedDeviceOpener sixteen(PortMap{},
                                     std::make_shared<SystemSerialPorts>(tree.folders()));
    std::printf("Finding and numbering ports, %d runs each\n", runs);
    time("scan of 16 devices (fake tree)", runs, [&] { SystemPortScan(tree.folders()).devices(); });
    time("scan and numbering of 16 devices (a selection)", runs, [&] { sixteen.numbering(); });
    time("describe 1-16 (the port box's tooltips)", runs, [&] { sixteen.describe(1, 16); });
    time("--list-ports table of 16 devices", runs, [&] { listSerialPorts(sixteen); });
    const MappedDeviceOpener here(PortMap{}, std::make_shared<SystemSerialPorts>());
    std::printf("this machine: %zu serial devices\n", SystemPortScan().devices().size());
    time("scan and numbering on this machine's sysfs", runs, [&] { here.numbering(); });
    time("--list-ports on this machine", runs, [&] { listSerialPorts(here); });
    time("this machine's /proc: controlling terminals", runs,
         [&] { TtyUsers("/proc", TtyUsers::ControllingTerminalsOnly); });
    time("this machine's /proc: controlling terminals and open ttys", runs,
         [&] { TtyUsers("/proc", TtyUsers::OpenFilesToo); });

    std::printf("\nThe lock dance, %d runs each\n", runs);
    QTemporaryDir locks;
    SystemFolders withLock;
    withLock.lock = locks.path();
    time("UUCP lock taken and removed (temporary folder)", runs,
         [&] { UucpLock("pts/999", withLock, "/dev/pts/999"); });
    PtyPair pty;
    NullSink sink;
    SystemFolders withoutLock;
    withoutLock.lock = locks.filePath("no-such-folder");
    time("open and close of a pseudo-terminal, with all three locks", runs,
         [&] { openSystemDevice(pty.slavePath(), {}, sink, withLock); });
    time("open and close of a pseudo-terminal, no lock folder", runs,
         [&] { openSystemDevice(pty.slavePath(), {}, sink, withoutLock); });
    timeNumberedOpen(runs, tree, pty, withLock);
    return 0;
}
