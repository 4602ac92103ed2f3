// Starts one program under the X display and watches its top-level window from outside:
//
//   window_probe map  [--settle MS] [--pty LINK] -- PROGRAM ARGS...
//     time from the fork to the X server mapping the program's window, then, after MS
//     milliseconds (default 1000), the program's peak memory (VmHWM).
//   window_probe ping [--settle MS] [--seconds S] [--pty LINK] [--replies FILE] -- PROGRAM...
//     after MS milliseconds (default 2000), sends the window a window manager's _NET_WM_PING
//     every 20 to 50 ms for S seconds (default 10) and times each reply; reply times in ms
//     are appended to FILE, one a line.
//   --then CMD (either mode): once settled, runs CMD with /bin/sh and waits for it, before
//     measuring; CMD finds the window's id in $WINDOW (to start a cycle with xdotool, say).
//
// With --pty the probe opens a pseudo-terminal, links LINK to its device for the program to
// be given, and says whether the program holds it open when measured ("port=held").
// Prints one line of key=value figures. The probe waits for X events in poll() and sleeps
// between pings, so that it takes next to no processor time from the program it measures.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Options {
    std::string mode;
    int settleMs = -1;
    int seconds = 10;
    std::string ptyLink;
    std::string repliesPath;
    std::string thenCommand;
    std::vector<char*> command;  // ends with nullptr, for execvp
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    if (argc < 2)
        return std::nullopt;
    options.mode = argv[1];
    int i = 2;
    for (; i + 1 < argc && std::strcmp(argv[i], "--") != 0; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--settle")
            options.settleMs = std::atoi(value);
        else if (name == "--seconds")
            options.seconds = std::atoi(value);
        else if (name == "--pty")
            options.ptyLink = value;
        else if (name == "--replies")
            options.repliesPath = value;
        else if (name == "--then")
            options.thenCommand = value;
        else
            return std::nullopt;
    }
    if ((options.mode != "map" && options.mode != "ping") || i >= argc - 1)
        return std::nullopt;
    if (options.settleMs < 0)
        options.settleMs = options.mode == "map" ? 1000 : 2000;
    options.command.assign(argv + i + 1, argv + argc);
    options.command.push_back(nullptr);
    return options;
}

// The probe's connection, listening on the root window for windows being mapped and for
// the ping replies, which clients send to the root window.
class XDisplay {
public:
    XDisplay() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_))
            return;
        fcntl(xcb_get_file_descriptor(connection_), F_SETFD, FD_CLOEXEC);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        // GTK sends ping replies to the root with the SubstructureNotify mask, Qt 6 with the
        // StructureNotify mask (both add SubstructureRedirect, which only a window manager
        // may select).
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        pidAtom_ = atom("_NET_WM_PID");
        protocolsAtom_ = atom("WM_PROTOCOLS");
        pingAtom_ = atom("_NET_WM_PING");
        xcb_flush(connection_);
    }
    ~XDisplay() { xcb_disconnect(connection_); }
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool connected() const { return xcb_connection_has_error(connection_) == 0; }

    // Waits up to `timeout` for the next event; nullptr if none came.
    std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> nextEvent(milliseconds timeout) {
        xcb_generic_event_t* event = xcb_poll_for_event(connection_);
        if (!event) {
            pollfd readable{xcb_get_file_descriptor(connection_), POLLIN, 0};
            if (poll(&readable, 1, static_cast<int>(timeout.count())) > 0)
                event = xcb_poll_for_event(connection_);
        }
        return {event, &std::free};
    }

    uint32_t windowPid(xcb_window_t window) {
        auto cookie = xcb_get_property(connection_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
        uint32_t pid = 0;
        if (reply && xcb_get_property_value_length(reply) == 4)
            std::memcpy(&pid, xcb_get_property_value(reply), sizeof pid);
        std::free(reply);
        return pid;
    }

    // What a window manager sends: the client echoes it to the root window unchanged.
    void sendPing(xcb_window_t window, uint32_t id) {
        xcb_client_message_event_t ping{};
        ping.response_type = XCB_CLIENT_MESSAGE;
        ping.format = 32;
        ping.window = window;
        ping.type = protocolsAtom_;
        ping.data.data32[0] = pingAtom_;
        ping.data.data32[1] = id;  // in the timestamp's place: clients echo it unread
        ping.data.data32[2] = window;
        xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&ping));
        xcb_flush(connection_);
    }

    // The id of a ping reply, or nothing for any other event.
    std::optional<uint32_t> pingReplyId(const xcb_generic_event_t& event) const {
        if ((event.response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return std::nullopt;
        const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (message.window != root_ || message.type != protocolsAtom_ ||
            message.data.data32[0] != pingAtom_)
            return std::nullopt;
        return message.data.data32[1];
    }

private:
    xcb_atom_t atom(const char* name) {
        auto cookie =
            xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
        xcb_atom_t result = XCB_ATOM_NONE;
        if (reply)
            result = reply->atom;
        std::free(reply);
        return result;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t pidAtom_ = XCB_ATOM_NONE;
    xcb_atom_t protocolsAtom_ = XCB_ATOM_NONE;
    xcb_atom_t pingAtom_ = XCB_ATOM_NONE;
};

// A pseudo-terminal for a program that wants a serial port: the probe holds the master side,
// and a link of a fixed name points at the other side, so one command line serves every run.
class PseudoTerminal {
public:
    explicit PseudoTerminal(std::string link) : link_(std::move(link)) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        device_ = ptsname(master_);
        std::filesystem::remove(link_);
        std::filesystem::create_symlink(device_, link_);
    }
    ~PseudoTerminal() {
        std::error_code ignored;
        std::filesystem::remove(link_, ignored);
        if (master_ >= 0)
            close(master_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ready() const { return !device_.empty(); }
    const std::string& device() const { return device_; }

private:
    std::string link_;
    int master_ = -1;
    std::string device_;
};

pid_t startProgram(std::vector<char*>& command) {
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);                       // so that stopping it also stops any helper it starts
        dup2(STDERR_FILENO, STDOUT_FILENO);  // the probe's own output stays its figures
        execvp(command[0], command.data());
        std::perror(command[0]);
        _exit(127);
    }
    return pid;
}

// Runs a shell command that acts on the program's window, and waits for it to end.
bool actOnWindow(const std::string& command, xcb_window_t window) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("WINDOW", std::to_string(window).c_str(), 1);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

bool running(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

void stopProgram(pid_t pid) {
    kill(-pid, SIGTERM);
    for (int i = 0; i < 40 && running(pid); ++i)
        usleep(50'000);
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Waits until a top-level window of the program is mapped; returns it and the time.
std::optional<std::pair<xcb_window_t, Clock::time_point>> waitForWindow(XDisplay& display,
                                                                        pid_t pid) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline && running(pid)) {
        const auto event = display.nextEvent(milliseconds(100));
        if (!event || (event->response_type & 0x7f) != XCB_MAP_NOTIFY)
            continue;
        const auto seen = Clock::now();
        const auto& mapped = reinterpret_cast<const xcb_map_notify_event_t&>(*event);
        if (!mapped.override_redirect &&
            display.windowPid(mapped.window) == static_cast<uint32_t>(pid))
            return std::make_pair(mapped.window, seen);
    }
    return std::nullopt;
}

// Lets time pass while reading (and dropping) the events that come meanwhile.
void idle(XDisplay& display, milliseconds duration) {
    const auto until = Clock::now() + duration;
    while (Clock::now() < until)
        display.nextEvent(std::chrono::duration_cast<milliseconds>(until - Clock::now()));
}

long statusKb(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

double cpuSeconds(pid_t pid) {
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));  // after the command name
    std::string skipped;
    for (int i = 3; i < 14; ++i)  // fields 14 and 15 are utime and stime
        fields >> skipped;
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool holdsFile(pid_t pid, const std::string& path) {
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
        if (std::filesystem::read_symlink(entry.path(), error) == path)
            return true;
    return false;
}

std::string portState(const PseudoTerminal* pty, pid_t pid) {
    if (!pty)
        return "none";
    return holdsFile(pid, pty->device()) ? "held" : "not-held";
}

double probeCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct PingResult {
    int sent = 0;
    std::vector<double> replyMs;
};

// Pings at random intervals of 20 to 50 ms, so that the pings do not fall in step with a
// timer of the program (a fixed 25 ms would hit the same phase of a 1 s timer every time).
PingResult pingWindow(XDisplay& display, xcb_window_t window, int seconds) {
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> intervalMs(20, 50);
    std::map<uint32_t, Clock::time_point> pending;
    PingResult result;
    const auto start = Clock::now();
    const auto stopSending = start + std::chrono::seconds(seconds);
    const auto stopWaiting = stopSending + milliseconds(1000);
    auto nextPing = start;
    while (Clock::now() < stopWaiting && (Clock::now() < stopSending || !pending.empty())) {
        if (Clock::now() >= nextPing && nextPing < stopSending) {
            const auto id = static_cast<uint32_t>(++result.sent);
            pending[id] = Clock::now();
            display.sendPing(window, id);
            nextPing = Clock::now() + milliseconds(intervalMs(random));
        }
        const auto wake = nextPing < stopSending ? nextPing : stopWaiting;
        const auto event = display.nextEvent(
            std::max(milliseconds(0), std::chrono::ceil<milliseconds>(wake - Clock::now())));
        const auto received = Clock::now();
        if (!event)
            continue;
        const auto id = display.pingReplyId(*event);
        if (id && pending.count(*id)) {
            result.replyMs.push_back(msBetween(pending[*id], received));
            pending.erase(*id);
        }
    }
    return result;
}

void appendReplies(const std::string& path, const std::vector<double>& replyMs) {
    if (path.empty())
        return;
    std::ofstream out(path, std::ios::app);
    for (double ms : replyMs)
        out << ms << '\n';
}

int measure(const Options& options, XDisplay& display, const PseudoTerminal* pty,
            std::vector<char*> command) {
    const auto start = Clock::now();
    const pid_t pid = startProgram(command);
    const auto window = waitForWindow(display, pid);
    if (!window) {
        std::fprintf(stderr, "window_probe: %s showed no window\n", command[0]);
        stopProgram(pid);
        return 1;
    }
    idle(display, milliseconds(options.settleMs));
    if (!options.thenCommand.empty() && !actOnWindow(options.thenCommand, window->first)) {
        std::fprintf(stderr, "window_probe: failed: %s\n", options.thenCommand.c_str());
        stopProgram(pid);
        return 1;
    }
    if (options.mode == "map") {
        std::printf("mapped_ms=%.1f hwm_kb=%ld port=%s\n", msBetween(start, window->second),
                    statusKb(pid, "VmHWM"), portState(pty, pid).c_str());
    } else {
        const double cpuBefore = cpuSeconds(pid);
        const double probeBefore = probeCpuMs();
        const PingResult pings = pingWindow(display, window->first, options.seconds);
        appendReplies(options.repliesPath, pings.replyMs);
        std::printf("pings=%d answered=%zu port=%s cpu_percent=%.1f probe_cpu_ms=%.0f\n",
                    pings.sent, pings.replyMs.size(), portState(pty, pid).c_str(),
                    (cpuSeconds(pid) - cpuBefore) * 100.0 / options.seconds,
                    probeCpuMs() - probeBefore);
    }
    stopProgram(pid);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: window_probe map|ping [--settle MS] [--seconds S] [--pty LINK] "
                     "[--replies FILE] [--then CMD] -- PROGRAM ARGS...\n");
        return 2;
    }
    XDisplay display;
    if (!display.connected()) {
        std::fprintf(stderr, "window_probe: cannot connect to the X display\n");
        return 1;
    }
    std::unique_ptr<PseudoTerminal> pty;
    if (!options->ptyLink.empty()) {
        pty = std::make_unique<PseudoTerminal>(options->ptyLink);
        if (!pty->ready()) {
            std::perror("window_probe: pseudo-terminal");
            return 1;
        }
    }
    return measure(*options, display, pty.get(), options->command);
}
