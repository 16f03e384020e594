// The live view's CPU per frame on a real display, measured in one run.
//
// The benchmark starts its own X server (Xvfb, 1920 x 1080 x 24) and the
// device simulator (devicesim, 25 frames per second). Then, per round and for
// each view in turn:
//  (a) decode alone: TurboJPEG decodes the simulator's frames of the view's
//      size into a bottom-up blue-green-red picture, one every 40 ms, for as
//      long as the program's window lasts; CPU of this thread per frame;
//  (b) the program: kestrune, started afresh on the X server with a program
//      folder whose Setting.ini names the simulator and the view's
//      resolution. The benchmark types the password and Enter into the
//      login dialog and, for full screen, clicks the title bar's full-screen
//      button, through the X server's test extension, as an operator would.
//      After a warm-up it reads the CPU time (utime + stime of
//      /proc/PID/stat) of the program and of the X server, and the run time
//      and time slices of each of their threads (/proc/PID/task/TID/
//      schedstat), at the start and the end of a steady window; then it
//      closes the program with a termination signal, which the program takes
//      as its Close button.
// CPU per frame is the window's CPU time over the frames the simulator sends
// in it (25 a second). The views: the doubled window (640 x 228 fields shown
// 640 x 456), the plain window (320 x 228) and full screen (640 x 228 fields
// over 1920 x 1080).
//
// In the first round, after each view's window, the X requests the program
// sends are recorded for a few seconds (the server's RECORD extension) and
// tallied per frame by kind, with the rectangle of every picture put: what
// reaches the X server per frame, and whether through shared memory.
//
// Options: --seconds=N steady window (60), --warmup=N seconds (5),
// --rounds=N (6), --only=<views> (letters d, p, f: doubled, plain, full
// screen), --trace-seconds=N (3; 0: no request trace), --program=PATH (the
// kestrune to measure; the build's own by default), --baseline-program=PATH
// (another kestrune, e.g. an earlier build's, measured beside it: in each
// round and view both run against the same decode-alone figure, in turns
// first, and the table has a row for each). A program is run with the BMP
// and res folders beside it, as a build leaves them.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "bench/paced_decode.h"
#include "liveview/skin/skin_tables.h"
#include "tools/devicesim/live_stream.h"
#include "tools/streamgen/device_jpeg.h"

// Xlib last: its macros (None, Status, Bool, True, False) would clash with
// names in the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kFramesPerSecond = 25;
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
// The simulator's frame cycle: the same frames are decoded alone.
constexpr std::size_t kCycleFrames = 50;
// The title bar's full-screen button.
constexpr std::uint16_t kFullScreenButtonId = 8201;
// The simulator's user, whom the program logs in as.
constexpr const char* kUser = "tresk";
constexpr const char* kPassword = "tresk";
// Waits for the program's windows; generous, for a loaded machine.
constexpr auto kWindowWait = 60s;

struct Options {
    int seconds = 60;
    int warmup = 5;
    int rounds = 6;
    int traceSeconds = 3;
    std::string only = "dpf";
    std::string program = KESTRUNE_BENCH_PROGRAM;
    std::string baselineProgram;  // empty: none
};

struct View {
    char letter;
    const char* name;
    int resolution;  // "Image Resolution" in Setting.ini
    bool fullScreen;
    bool baseline = false;  // the baseline program in this view
};
constexpr std::array<View, 3> kViews{{
    {'d', "doubled window", 0, false},
    {'p', "plain window", 1, false},
    {'f', "full screen", 0, true},
}};

// The simulator's picture for a view (a recorder of the default product, NTSC).
std::pair<int, int> PictureSize(const View& view) {
    return devicesim::LiveStream::PictureSize(devicesim::DeviceProfile{}, view.resolution);
}

std::string ViewLabel(const View& view) {
    const auto [width, height] = PictureSize(view);
    char text[96];
    if (view.fullScreen) {
        std::snprintf(text, sizeof text, "%s (%d x %d over %d x %d)", view.name, width, height,
                      kScreenWidth, kScreenHeight);
    } else if (width >= 640) {
        std::snprintf(text, sizeof text, "%s (%d x %d shown %d x %d)", view.name, width, height,
                      width, height * 2);
    } else {
        std::snprintf(text, sizeof text, "%s (%d x %d)", view.name, width, height);
    }
    return text;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// ---- child processes ----------------------------------------------------------

// A program the benchmark started, with its output appended to a log file.
// Stopped (a termination signal, then a kill) and reaped when it goes.
class Child {
public:
    // `passFd` (when >= 0) becomes the child's descriptor 3.
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const fs::path& log, int passFd = -1) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (passFd >= 0)
            posix_spawn_file_actions_adddup2(&actions, passFd, 3);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        if (posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { Stop(5s); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return m_pid; }
    bool Running() {
        if (m_pid <= 0)
            return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        return true;
    }
    // Asks the program to end, waits up to `grace`, then kills it. True when
    // it ended by itself.
    bool Stop(std::chrono::milliseconds grace) {
        if (!Running())
            return true;
        ::kill(m_pid, SIGTERM);
        const auto deadline = Clock::now() + grace;
        while (Clock::now() < deadline) {
            if (!Running())
                return true;
            std::this_thread::sleep_for(10ms);
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        return false;
    }

private:
    pid_t m_pid = -1;
};

// This process's environment with `set` ("NAME=value") in place of what it
// had for those names.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& set) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry = *e;
        const std::string_view name = entry.substr(0, entry.find('='));
        const bool replaced = std::any_of(set.begin(), set.end(), [&](const std::string& s) {
            return std::string_view(s).substr(0, s.find('=')) == name;
        });
        if (!replaced)
            env.emplace_back(entry);
    }
    env.insert(env.end(), set.begin(), set.end());
    return env;
}

// A TCP port on 127.0.0.1 that nothing listens on now.
std::uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

bool Accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// ---- CPU time from /proc ------------------------------------------------------

struct ThreadTime {
    std::string name;
    std::uint64_t runNs = 0;   // time on a processor
    std::uint64_t slices = 0;  // times it was put on a processor
};

struct ProcessSample {
    Clock::time_point at;
    std::uint64_t ticks = 0;  // utime + stime, in clock ticks
    std::map<pid_t, ThreadTime> threads;
    double rssMb = 0;
};

std::string ReadLine(const fs::path& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// utime + stime of a /proc stat line (after the name in parentheses, which
// may itself hold spaces and parentheses).
std::optional<std::uint64_t> StatTicks(const std::string& stat) {
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    std::uint64_t utime = 0, stime = 0;
    // The fields after the name start with the third (state); utime and
    // stime are the 14th and 15th.
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14)
            utime = std::strtoull(field.c_str(), nullptr, 10);
        if (n == 15)
            stime = std::strtoull(field.c_str(), nullptr, 10);
    }
    return utime + stime;
}

std::optional<ProcessSample> SampleProcess(pid_t pid) {
    const fs::path proc = fs::path("/proc") / std::to_string(pid);
    ProcessSample sample;
    sample.at = Clock::now();
    const auto ticks = StatTicks(ReadLine(proc / "stat"));
    if (!ticks)
        return std::nullopt;
    sample.ticks = *ticks;
    std::error_code error;
    for (const auto& task : fs::directory_iterator(proc / "task", error)) {
        ThreadTime t;
        t.name = ReadLine(task.path() / "comm");
        std::istringstream schedstat(ReadLine(task.path() / "schedstat"));
        std::uint64_t waitNs = 0;
        if (!(schedstat >> t.runNs >> waitNs >> t.slices))
            continue;
        sample.threads[static_cast<pid_t>(std::stol(task.path().filename().string()))] = t;
    }
    std::ifstream status(proc / "status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:"))
            sample.rssMb = std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return sample;
}

// Per thread name over a window: CPU ms and time slices per frame. A thread
// that started in the window counts from zero; one that ended in it is in
// the process's figure only.
struct ThreadFigure {
    double msPerFrame = 0;
    double slicesPerFrame = 0;
};
std::map<std::string, ThreadFigure> ThreadFigures(const ProcessSample& start,
                                                  const ProcessSample& end, double frames,
                                                  const std::string& mainName) {
    std::map<std::string, ThreadFigure> figures;
    for (const auto& [tid, t] : end.threads) {
        ThreadTime before;
        if (const auto found = start.threads.find(tid); found != start.threads.end())
            before = found->second;
        // The main thread carries the program's name.
        std::string name = t.name == mainName ? "main" : t.name;
        ThreadFigure& f = figures[name];
        f.msPerFrame += static_cast<double>(t.runNs - before.runNs) / 1e6 / frames;
        f.slicesPerFrame += static_cast<double>(t.slices - before.slices) / frames;
    }
    return figures;
}

// ---- the X server -------------------------------------------------------------

int IgnoreXError(Display*, XErrorEvent*) {
    // A window may go between listing it and asking for its attributes.
    return 0;
}

struct ShownWindow {
    Window id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// One connection to the X server: the program's top-level windows, and key
// presses and clicks through the test extension.
class XConnection {
public:
    explicit XConnection(const std::string& display) : m_display(XOpenDisplay(display.c_str())) {}
    ~XConnection() {
        if (m_display != nullptr)
            XCloseDisplay(m_display);
    }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    Display* get() const { return m_display; }
    bool HasExtension(const char* name) const {
        int major = 0, event = 0, error = 0;
        return XQueryExtension(m_display, name, &major, &event, &error) != 0;
    }

    // The top-level windows of process `pid` shown now (Qt names the
    // process of each of its windows); another client of the server, if
    // any, is left out.
    std::vector<ShownWindow> Shown(pid_t pid) const {
        std::vector<ShownWindow> shown;
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children,
                       &count) == 0) {
            return shown;
        }
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(m_display, children[i], &a) != 0 &&
                a.map_state == IsViewable && WindowPid(children[i]) == pid) {
                shown.push_back({children[i], a.x, a.y, a.width, a.height});
            }
        }
        if (children != nullptr)
            XFree(children);
        return shown;
    }

    std::optional<ShownWindow> Find(pid_t pid, Window id) const {
        for (const ShownWindow& w : Shown(pid)) {
            if (w.id == id)
                return w;
        }
        return std::nullopt;
    }

    // Keys pressed and released in turn in `window`, with the pointer over
    // it and the input focus on it.
    void Type(const ShownWindow& window, const std::vector<KeySym>& keys) {
        XTestFakeMotionEvent(m_display, -1, window.x + window.width / 2,
                             window.y + window.height / 2, 0);
        XSetInputFocus(m_display, window.id, RevertToPointerRoot, CurrentTime);
        for (const KeySym key : keys) {
            const KeyCode code = XKeysymToKeycode(m_display, key);
            XTestFakeKeyEvent(m_display, code, True, 0);
            XTestFakeKeyEvent(m_display, code, False, 0);
        }
        XSync(m_display, False);
    }

    // A left click at a point of the screen.
    void Click(int x, int y) {
        XTestFakeMotionEvent(m_display, -1, x, y, 0);
        XTestFakeButtonEvent(m_display, 1, True, 0);
        XTestFakeButtonEvent(m_display, 1, False, 0);
        XSync(m_display, False);
    }

private:
    // The _NET_WM_PID of a window; -1 when it has none.
    pid_t WindowPid(Window window) const {
        const Atom property = XInternAtom(m_display, "_NET_WM_PID", False);
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        pid_t pid = -1;
        if (XGetWindowProperty(m_display, window, property, 0, 1, False, XA_CARDINAL, &type,
                               &format, &items, &after, &data) == Success &&
            type == XA_CARDINAL && format == 32 && items == 1 && data != nullptr) {
            // Xlib hands 32-bit items over as longs.
            pid = static_cast<pid_t>(*reinterpret_cast<const long*>(data));
        }
        if (data != nullptr)
            XFree(data);
        return pid;
    }

    Display* m_display;
};

// Xvfb on a display number it chooses itself.
class XServer {
public:
    XServer(const fs::path& log) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        // Above the descriptors a child gets, so that handing it over as
        // descriptor 3 leaves it open in the child.
        const int writeEnd = ::fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
        ::close(fds[1]);
        char size[32];
        std::snprintf(size, sizeof size, "%dx%dx24", kScreenWidth, kScreenHeight);
        m_child = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0", size,
                                     "-nolisten", "tcp"},
            EnvironmentWith({}), log, writeEnd);
        ::close(writeEnd);
        // Xvfb writes its display number when it is ready for clients.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (::poll(&p, 1, 20'000) > 0) {
            char c = 0;
            if (::read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        ::close(fds[0]);
        if (!number.empty())
            m_display = ":" + number;
    }
    const std::string& display() const { return m_display; }
    pid_t pid() const { return m_child ? m_child->pid() : -1; }

private:
    std::unique_ptr<Child> m_child;
    std::string m_display;
};

// ---- the X requests of the program --------------------------------------------

// The requests of one client, recorded by the server's RECORD extension for
// a while: counted by kind, and for every picture put or copied, its size
// and place.
class RequestTally {
public:
    struct Kind {
        std::uint64_t count = 0;
        std::uint64_t pixels = 0;
    };

    // Records the client that owns `resource` for `length`.
    static std::optional<RequestTally> Record(const std::string& display, XID resource,
                                              std::chrono::milliseconds length) {
        XConnection control(display), data(display);
        if (control.get() == nullptr || data.get() == nullptr || !control.HasExtension("RECORD"))
            return std::nullopt;
        RequestTally tally(control.get());
        XRecordRange* range = XRecordAllocRange();
        if (range == nullptr)
            return std::nullopt;
        range->core_requests.first = 1;
        range->core_requests.last = 127;
        range->ext_requests.ext_major.first = 128;
        range->ext_requests.ext_major.last = 255;
        range->ext_requests.ext_minor.first = 0;
        range->ext_requests.ext_minor.last = 0xFFFF;
        XRecordClientSpec client = resource;
        const XRecordContext context =
            XRecordCreateContext(control.get(), 0, &client, 1, &range, 1);
        XFree(range);
        if (context == 0)
            return std::nullopt;
        XSync(control.get(), False);
        if (XRecordEnableContextAsync(data.get(), context, &RequestTally::Take,
                                      reinterpret_cast<XPointer>(&tally)) == 0) {
            XRecordFreeContext(control.get(), context);
            return std::nullopt;
        }
        const auto start = Clock::now();
        while (Clock::now() - start < length) {
            pollfd p{ConnectionNumber(data.get()), POLLIN, 0};
            ::poll(&p, 1, 10);
            XRecordProcessReplies(data.get());
        }
        tally.m_seconds = Seconds(Clock::now() - start);
        XRecordDisableContext(control.get(), context);
        XSync(control.get(), False);
        for (int n = 0; n < 100 && !tally.m_ended; ++n) {
            pollfd p{ConnectionNumber(data.get()), POLLIN, 0};
            ::poll(&p, 1, 10);
            XRecordProcessReplies(data.get());
        }
        XRecordFreeContext(control.get(), context);
        XSync(control.get(), False);
        return tally;
    }

    double seconds() const { return m_seconds; }
    const std::map<std::string, Kind>& kinds() const { return m_kinds; }
    const std::map<std::string, std::uint64_t>& pictures() const { return m_pictures; }

private:
    explicit RequestTally(Display* display) {
        int count = 0;
        char** names = XListExtensions(display, &count);
        for (int i = 0; i < count; ++i) {
            int major = 0, event = 0, error = 0;
            if (XQueryExtension(display, names[i], &major, &event, &error) != 0)
                m_extensions[major] = names[i];
        }
        if (names != nullptr)
            XFreeExtensionList(names);
    }

    static void Take(XPointer closure, XRecordInterceptData* data) {
        auto& tally = *reinterpret_cast<RequestTally*>(closure);
        if (data->category == XRecordEndOfData)
            tally.m_ended = true;
        if (data->category == XRecordFromClient && !data->client_swapped)
            tally.Request(data->data, std::size_t{data->data_len} * 4);
        XRecordFreeData(data);
    }

    static std::uint16_t U16(const unsigned char* at) {
        std::uint16_t value = 0;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    static std::int16_t I16(const unsigned char* at) {
        std::int16_t value = 0;
        std::memcpy(&value, at, sizeof value);
        return value;
    }

    void Picture(const std::string& kind, int width, int height, int x, int y) {
        m_kinds[kind].pixels +=
            static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
        char text[96];
        std::snprintf(text, sizeof text, "%s %d x %d at %d,%d", kind.c_str(), width, height, x, y);
        ++m_pictures[text];
    }

    void Request(const unsigned char* bytes, std::size_t length) {
        // The request's body follows its header; a big request (length 0)
        // has four more bytes of length first.
        const std::size_t header = length >= 4 && U16(bytes + 2) == 0 ? 8 : 4;
        if (length < header)
            return;
        const int major = bytes[0];
        const unsigned char* body = bytes + header;
        const std::size_t bodyBytes = length - header;
        std::string kind;
        if (major < 128) {
            static const std::map<int, const char*> kCore{
                {2, "ChangeWindowAttributes"},
                {12, "ConfigureWindow"},
                {18, "ChangeProperty"},
                {43, "GetInputFocus"},
                {53, "CreatePixmap"},
                {54, "FreePixmap"},
                {55, "CreateGC"},
                {56, "ChangeGC"},
                {59, "SetClipRectangles"},
                {60, "FreeGC"},
                {62, "CopyArea"},
                {70, "PolyFillRectangle"},
                {72, "PutImage"},
            };
            const auto found = kCore.find(major);
            kind = found != kCore.end() ? found->second : "core " + std::to_string(major);
            if (major == 72 && bodyBytes >= 16) {
                Picture(kind, U16(body + 8), U16(body + 10), I16(body + 12), I16(body + 14));
            } else if (major == 62 && bodyBytes >= 24) {
                Picture(kind, U16(body + 20), U16(body + 22), I16(body + 16), I16(body + 18));
            }
        } else {
            const auto found = m_extensions.find(major);
            const std::string extension =
                found != m_extensions.end() ? found->second : "extension " + std::to_string(major);
            const int minor = bytes[1];
            static const std::map<int, const char*> kShm{
                {1, "Attach"},       {2, "Detach"},   {3, "PutImage"},
                {5, "CreatePixmap"}, {6, "AttachFd"}, {7, "CreateSegment"},
            };
            const auto shm = kShm.find(minor);
            kind =
                extension + " " +
                (extension == "MIT-SHM" && shm != kShm.end() ? shm->second : std::to_string(minor));
            if (extension == "MIT-SHM" && minor == 3 && bodyBytes >= 28) {
                Picture(kind, U16(body + 16), U16(body + 18), I16(body + 20), I16(body + 22));
            }
        }
        ++m_kinds[kind].count;
    }

    std::map<int, std::string> m_extensions;
    std::map<std::string, Kind> m_kinds;
    std::map<std::string, std::uint64_t> m_pictures;
    double m_seconds = 0;
    bool m_ended = false;
};

// ---- the program in a view ----------------------------------------------------

// Where the title bar's full-screen button of a window of this size has its
// centre (relative to the window), from the layout table the window uses;
// none when no layout has that size or layouts of that size disagree.
std::optional<std::pair<int, int>> FullScreenButton(int width, int height) {
    const auto index =
        static_cast<int>(std::find(kTitleBarIds.begin(), kTitleBarIds.end(), kFullScreenButtonId) -
                         kTitleBarIds.begin());
    std::optional<std::pair<int, int>> centre;
    for (const ViewLayoutRow& v : ViewLayoutTable) {
        bool sized = false;
        for (const int at : {kVlWindowLeft, kVlPanelWindowLeft}) {
            sized = sized || (v[at + 2] - v[at] == width && v[at + 3] - v[at + 1] == height);
        }
        if (!sized)
            continue;
        const std::pair<int, int> here{
            v[kVlTitleX] + index * (v[kVlTitleWidth] + v[kVlTitleGap]) + v[kVlTitleWidth] / 2,
            v[kVlTitleY] + v[kVlTitleHeight] / 2};
        if (centre && *centre != here)
            return std::nullopt;
        centre = here;
    }
    return centre;
}

template <typename Found>
auto WaitFor(Found found, std::chrono::milliseconds limit) -> decltype(found()) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (auto result = found())
            return result;
        if (Clock::now() > deadline)
            return {};
        std::this_thread::sleep_for(5ms);
    }
}

// The figures of one view in one round.
struct ViewRound {
    std::string error;  // empty: measured
    double decodeMs = 0;
    double programMs = 0;  // utime + stime per frame
    double serverMs = 0;
    std::map<std::string, ThreadFigure> programThreads;
    std::map<std::string, ThreadFigure> serverThreads;
    double loginDialogSeconds = 0;  // start to the login dialog shown
    double enterSeconds = 0;        // Enter to the main window shown
    double rssStartMb = 0;
    double rssEndMb = 0;
    std::optional<RequestTally> requests;
};

class Bench {
public:
    explicit Bench(const Options& options) : m_options(options) {
        m_folder =
            fs::temp_directory_path() / ("kestrune_display_bench." + std::to_string(::getpid()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "runtime");
        fs::permissions(m_folder / "runtime", fs::perms::owner_all);
        m_server = std::make_unique<XServer>(m_folder / "xvfb.log");
        if (!m_server->display().empty())
            m_x = std::make_unique<XConnection>(m_server->display());
        if (m_x && m_x->get() != nullptr)
            XSetErrorHandler(IgnoreXError);
        m_port = FreePort();
        m_simulator = std::make_unique<Child>(
            std::vector<std::string>{KESTRUNE_BENCH_DEVICESIM, "--port", std::to_string(m_port),
                                     "--fps", std::to_string(kFramesPerSecond), "--user", kUser,
                                     "--password", kPassword},
            EnvironmentWith({}), m_folder / "devicesim.log");
        WaitFor([&] { return Accepts(m_port); }, 10s);
    }
    ~Bench() {
        m_simulator.reset();
        m_x.reset();
        m_server.reset();
        // The logs of a failed run stay for a look.
        std::error_code ignored;
        if (m_failed)
            std::fprintf(stderr, "display_bench: logs kept in %s\n", m_folder.c_str());
        else
            fs::remove_all(m_folder, ignored);
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    std::string Ready() const {
        if (m_server->display().empty())
            return "Xvfb did not start (is the xvfb package installed?)";
        if (!m_x || m_x->get() == nullptr)
            return "no connection to the X server " + m_server->display();
        if (!m_x->HasExtension("XTEST"))
            return "the X server has no XTEST extension";
        if (!Accepts(m_port))
            return "devicesim does not answer on port " + std::to_string(m_port);
        return {};
    }
    const std::string& display() const { return m_server->display(); }
    bool ServerOffers(const char* extension) const { return m_x->HasExtension(extension); }

    // `decodeMs` > 0: the decode-alone figure of the same view measured just
    // before (for the other program); 0: measured now.
    ViewRound Run(const View& view, bool trace, double decodeMs = 0) {
        ViewRound round;
        const auto [width, height] = PictureSize(view);
        const auto& jpegs = Jpegs(width, height);
        round.decodeMs = decodeMs > 0
                             ? decodeMs
                             : bench::PacedDecodeCpuNs(
                                   jpegs, std::int64_t{m_options.seconds} * kFramesPerSecond) /
                                   1e6;
        round.error = RunProgram(view, trace, round);
        m_failed = m_failed || !round.error.empty();
        return round;
    }

private:
    const streamgen::DeviceJpegCycle& Jpegs(int width, int height) {
        auto& cycle = m_jpegs[{width, height}];
        if (!cycle)
            cycle = std::make_unique<streamgen::DeviceJpegCycle>(width, height, kCycleFrames);
        return *cycle;
    }

    const std::string& Program(const View& view) const {
        return view.baseline ? m_options.baselineProgram : m_options.program;
    }

    // A fresh program folder: the program's files, and a Setting.ini that
    // names the simulator and the view's resolution.
    fs::path ProgramFolder(const View& view) {
        const fs::path home = m_folder / (std::string("home-") + view.letter);
        fs::remove_all(home);
        fs::create_directories(home);
        fs::copy(KESTRUNE_BENCH_ASSETS, home, fs::copy_options::recursive);
        const fs::path built = fs::path(Program(view)).parent_path();
        for (const char* folder : {"BMP", "res"}) {
            if (fs::exists(built / folder))
                fs::copy(built / folder, home / folder, fs::copy_options::recursive);
        }
        std::ofstream settings(home / "Setting.ini", std::ios::binary);
        settings << "[Kestrune]\r\nServer Name=127.0.0.1\r\nServerPort=" << m_port
                 << "\r\nUsername=" << kUser << "\r\nImage Resolution=" << view.resolution
                 << "\r\n";
        return home;
    }

    std::string RunProgram(const View& view, bool trace, ViewRound& round) {
        const fs::path home = ProgramFolder(view);
        const std::vector<std::string> env = EnvironmentWith({
            "DISPLAY=" + m_server->display(),
            "QT_QPA_PLATFORM=xcb",
            "KESTRUNE_HOME=" + home.string(),
            "XDG_CONFIG_HOME=" + (m_folder / "config").string(),
            "XDG_RUNTIME_DIR=" + (m_folder / "runtime").string(),
        });
        const auto started = Clock::now();
        Child program({Program(view)}, env, m_folder / "kestrune.log");
        if (program.pid() <= 0)
            return "kestrune did not start";

        const auto dialog = WaitFor(
            [&]() -> std::optional<ShownWindow> {
                for (const ShownWindow& w : m_x->Shown(program.pid())) {
                    if (w.width >= 100 && w.height >= 100)
                        return w;
                }
                return std::nullopt;
            },
            kWindowWait);
        if (!dialog)
            return "no login dialog";
        const auto entered = Clock::now();
        round.loginDialogSeconds = Seconds(entered - started);
        // The user name comes from Setting.ini and has the focus; the
        // password is typed into the next field, and Enter logs in.
        std::vector<KeySym> keys{XK_Tab};
        for (const char c : std::string_view(kPassword))
            keys.push_back(XStringToKeysym(std::string(1, c).c_str()));
        keys.push_back(XK_Return);
        m_x->Type(*dialog, keys);
        const auto window = WaitFor(
            [&]() -> std::optional<ShownWindow> {
                const auto shown = m_x->Shown(program.pid());
                for (const ShownWindow& w : shown) {
                    if (w.id != dialog->id && w.width >= 100 && w.height >= 100)
                        return w;
                }
                return std::nullopt;
            },
            kWindowWait);
        if (!window)
            return "no main window after Enter in the login dialog";
        round.enterSeconds = Seconds(Clock::now() - entered);

        // The picture comes with the first frames; the window takes its
        // view's size with them.
        std::this_thread::sleep_for(std::chrono::seconds(m_options.warmup) / 2);
        if (view.fullScreen) {
            const auto now = m_x->Find(program.pid(), window->id);
            if (!now)
                return "the main window went";
            const auto button = FullScreenButton(now->width, now->height);
            if (!button)
                return "no full-screen button known for a " + std::to_string(now->width) + " x " +
                       std::to_string(now->height) + " window";
            m_x->Click(now->x + button->first, now->y + button->second);
            const bool full = WaitFor(
                [&] {
                    const auto w = m_x->Find(program.pid(), window->id);
                    return w && w->width == kScreenWidth && w->height == kScreenHeight;
                },
                kWindowWait);
            if (!full)
                return "the window did not go full screen";
        }
        std::this_thread::sleep_for(std::chrono::seconds(m_options.warmup) -
                                    std::chrono::seconds(m_options.warmup) / 2);

        const auto programStart = SampleProcess(program.pid());
        const auto serverStart = SampleProcess(m_server->pid());
        std::this_thread::sleep_for(std::chrono::seconds(m_options.seconds));
        const auto programEnd = SampleProcess(program.pid());
        const auto serverEnd = SampleProcess(m_server->pid());
        if (!programStart || !programEnd || !program.Running())
            return "kestrune ended during the window (see its log)";
        if (!serverStart || !serverEnd)
            return "Xvfb ended during the window";
        const double frames = Seconds(programEnd->at - programStart->at) * kFramesPerSecond;
        const double msPerTick = 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
        round.programMs =
            static_cast<double>(programEnd->ticks - programStart->ticks) * msPerTick / frames;
        round.serverMs =
            static_cast<double>(serverEnd->ticks - serverStart->ticks) * msPerTick / frames;
        round.programThreads = ThreadFigures(*programStart, *programEnd, frames, "kestrune");
        round.serverThreads = ThreadFigures(*serverStart, *serverEnd, frames, "Xvfb");
        round.rssStartMb = programStart->rssMb;
        round.rssEndMb = programEnd->rssMb;

        if (trace && m_options.traceSeconds > 0) {
            round.requests = RequestTally::Record(m_server->display(), window->id,
                                                  std::chrono::seconds(m_options.traceSeconds));
        }
        if (!program.Stop(10s))
            std::fprintf(stderr, "display_bench: kestrune did not end on its own; killed\n");
        return {};
    }

    Options m_options;
    fs::path m_folder;
    std::unique_ptr<XServer> m_server;
    std::unique_ptr<XConnection> m_x;
    std::uint16_t m_port = 0;
    std::unique_ptr<Child> m_simulator;
    std::map<std::pair<int, int>, std::unique_ptr<streamgen::DeviceJpegCycle>> m_jpegs;
    bool m_failed = false;
};

// ---- the table ----------------------------------------------------------------

std::array<double, 3> MinMedianMax(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2], values.back()};
}

std::string Spread(const std::vector<double>& values, const char* format = "%.2f") {
    if (values.empty())
        return "-";
    const auto m = MinMedianMax(values);
    std::string text;
    for (std::size_t i = 0; i < m.size(); ++i) {
        char part[32];
        std::snprintf(part, sizeof part, format, m[i]);
        text += (i > 0 ? " / " : "") + std::string(part);
    }
    return text;
}

// `first` in its order, then the other threads by name.
std::vector<std::string> ThreadOrder(const std::vector<std::map<std::string, ThreadFigure>>& all,
                                     std::vector<std::string> first) {
    std::vector<std::string> order = std::move(first);
    std::vector<std::string> rest;
    for (const auto& figures : all) {
        for (const auto& [name, f] : figures) {
            if (std::find(order.begin(), order.end(), name) == order.end() &&
                std::find(rest.begin(), rest.end(), name) == rest.end()) {
                rest.push_back(name);
            }
        }
    }
    std::sort(rest.begin(), rest.end());
    order.insert(order.end(), rest.begin(), rest.end());
    return order;
}

void PrintThreads(const char* title, const std::vector<const View*>& views,
                  const std::map<char, std::vector<ViewRound>>& rounds,
                  std::map<std::string, ThreadFigure> ViewRound::*member,
                  std::vector<std::string> first) {
    std::vector<std::map<std::string, ThreadFigure>> all;
    for (const View* view : views) {
        for (const ViewRound& r : rounds.at(view->letter)) all.push_back(r.*member);
    }
    std::printf("  %-22s", title);
    for (const View* view : views) std::printf(" %26s", view->name);
    std::printf("\n");
    // The median round of each view; a thread that takes no time in any
    // view is only named.
    const auto medians = [&](auto value) {
        std::vector<ThreadFigure> perView;
        for (const View* view : views) {
            std::vector<double> ms, slices;
            for (const ViewRound& r : rounds.at(view->letter)) {
                if (!r.error.empty())
                    continue;
                const ThreadFigure f = value(r.*member);
                ms.push_back(f.msPerFrame);
                slices.push_back(f.slicesPerFrame);
            }
            perView.push_back({MinMedianMax(ms)[1], MinMedianMax(slices)[1]});
        }
        return perView;
    };
    const auto row = [&](const std::string& label, const std::vector<ThreadFigure>& perView) {
        std::printf("    %-20s", label.c_str());
        for (const ThreadFigure& f : perView)
            std::printf("     %8.3f ms [%5.2f slices]", f.msPerFrame, f.slicesPerFrame);
        std::printf("\n");
    };
    std::string idle;
    for (const std::string& name : ThreadOrder(all, std::move(first))) {
        const auto perView = medians([&](const std::map<std::string, ThreadFigure>& figures) {
            const auto found = figures.find(name);
            return found != figures.end() ? found->second : ThreadFigure{};
        });
        if (std::all_of(perView.begin(), perView.end(), [](const ThreadFigure& f) {
                return f.msPerFrame < 0.0005 && f.slicesPerFrame < 0.005;
            })) {
            idle += (idle.empty() ? "" : ", ") + name;
        } else {
            row(name, perView);
        }
    }
    row("all threads", medians([](const std::map<std::string, ThreadFigure>& figures) {
            ThreadFigure sum;
            for (const auto& [name, f] : figures) {
                sum.msPerFrame += f.msPerFrame;
                sum.slicesPerFrame += f.slicesPerFrame;
            }
            return sum;
        }));
    if (!idle.empty())
        std::printf("    idle: %s\n", idle.c_str());
}

void PrintTable(const Options& options, const std::string& display, bool shm,
                const std::vector<const View*>& views,
                const std::map<char, std::vector<ViewRound>>& rounds) {
    std::printf(
        "\nThe live view on an X server (Xvfb %d x %d x 24 on %s, MIT-SHM %s), devicesim at %d "
        "frames/s; %d rounds, each view's %d s window (after %d s of warm-up) right after %d s "
        "of decoding alone; min / median / max over the rounds, ratios within a round\n",
        kScreenWidth, kScreenHeight, display.c_str(), shm ? "offered" : "not offered",
        kFramesPerSecond, options.rounds, options.seconds, options.warmup, options.seconds);
    std::printf("  %-54s %-22s %-22s %-22s %-22s %-22s\n", "view", "decode alone ms/frame",
                "kestrune ms/frame", "kestrune / decode", "X server ms/frame", "X server / decode");
    for (const View* view : views) {
        std::vector<double> decode, program, ratio, server, serverRatio;
        int failed = 0;
        for (const ViewRound& r : rounds.at(view->letter)) {
            if (!r.error.empty()) {
                ++failed;
                continue;
            }
            decode.push_back(r.decodeMs);
            program.push_back(r.programMs);
            ratio.push_back(r.programMs / r.decodeMs);
            server.push_back(r.serverMs);
            serverRatio.push_back(r.serverMs / r.decodeMs);
        }
        std::printf("  %-54s %-22s %-22s %-22s %-22s %-22s", ViewLabel(*view).c_str(),
                    Spread(decode, "%.3f").c_str(), Spread(program, "%.3f").c_str(),
                    Spread(ratio).c_str(), Spread(server, "%.3f").c_str(),
                    Spread(serverRatio).c_str());
        if (failed > 0)
            std::printf("  (%d rounds failed)", failed);
        std::printf("\n");
    }

    std::printf(
        "\nPer thread, median round: CPU ms per frame (run time from schedstat) [times put on a "
        "processor per frame]\n");
    // The GUI thread, then the pipeline's threads in the frame's order.
    PrintThreads("kestrune", views, rounds, &ViewRound::programThreads,
                 {"main", "receive", "compose", "show", "kernelmsg"});
    PrintThreads("X server", views, rounds, &ViewRound::serverThreads, {"main"});

    std::printf("\nStart-up and memory, min / median / max\n");
    for (const View* view : views) {
        std::vector<double> dialog, enter, rssStart, rssEnd;
        for (const ViewRound& r : rounds.at(view->letter)) {
            if (!r.error.empty())
                continue;
            dialog.push_back(r.loginDialogSeconds);
            enter.push_back(r.enterSeconds);
            rssStart.push_back(r.rssStartMb);
            rssEnd.push_back(r.rssEndMb);
        }
        std::printf(
            "  %-26s login dialog after %s s; Enter to main window %s s; resident %s MB at the "
            "window's start, %s MB at its end\n",
            view->name, Spread(dialog).c_str(), Spread(enter).c_str(),
            Spread(rssStart, "%.1f").c_str(), Spread(rssEnd, "%.1f").c_str());
    }

    for (const View* view : views) {
        const auto& first = rounds.at(view->letter).front();
        if (!first.requests)
            continue;
        const RequestTally& t = *first.requests;
        const double frames = t.seconds() * kFramesPerSecond;
        std::printf("\nX requests from kestrune per frame, %s (first round, %.1f s recorded)\n",
                    view->name, t.seconds());
        for (const auto& [kind, k] : t.kinds()) {
            std::printf("  %-32s %7.2f", kind.c_str(), static_cast<double>(k.count) / frames);
            if (k.pixels > 0)
                std::printf("   %10.0f pixels", static_cast<double>(k.pixels) / frames);
            std::printf("\n");
        }
        for (const auto& [picture, count] : t.pictures()) {
            std::printf("    %-56s %7.2f per frame\n", picture.c_str(),
                        static_cast<double>(count) / frames);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto number = [&](std::string_view prefix, int least) {
            return std::max(least, std::atoi(argv[i] + prefix.size()));
        };
        if (arg.starts_with("--seconds=")) {
            options.seconds = number("--seconds=", 1);
        } else if (arg.starts_with("--warmup=")) {
            options.warmup = number("--warmup=", 2);
        } else if (arg.starts_with("--rounds=")) {
            options.rounds = number("--rounds=", 1);
        } else if (arg.starts_with("--trace-seconds=")) {
            options.traceSeconds = number("--trace-seconds=", 0);
        } else if (arg.starts_with("--only=")) {
            options.only = arg.substr(7);
        } else if (arg.starts_with("--program=")) {
            options.program = arg.substr(10);
        } else if (arg.starts_with("--baseline-program=")) {
            options.baselineProgram = arg.substr(19);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    for (const std::string& program : {options.program, options.baselineProgram}) {
        if (!program.empty() && ::access(program.c_str(), X_OK) != 0) {
            std::fprintf(stderr, "display_bench: %s is no program\n", program.c_str());
            return 1;
        }
    }
    // With a baseline, each view twice: the baseline's (an upper-case
    // letter) just before this build's.
    std::vector<View> chosen;
    chosen.reserve(kViews.size() * 2);
    std::vector<std::string> baselineNames;
    baselineNames.reserve(kViews.size());
    for (const View& view : kViews) {
        if (options.only.find(view.letter) == std::string::npos)
            continue;
        if (!options.baselineProgram.empty()) {
            View base = view;
            base.letter = static_cast<char>(view.letter - 'a' + 'A');
            base.name = baselineNames.emplace_back(std::string(view.name) + ", baseline").c_str();
            base.baseline = true;
            chosen.push_back(base);
        }
        chosen.push_back(view);
    }
    std::vector<const View*> views;
    for (const View& view : chosen) views.push_back(&view);
    if (views.empty()) {
        std::fprintf(stderr, "display_bench: --only names no view (d, p, f)\n");
        return 1;
    }

    Bench bench(options);
    if (const std::string problem = bench.Ready(); !problem.empty()) {
        std::fprintf(stderr, "display_bench: %s\n", problem.c_str());
        return 1;
    }
    std::map<char, std::vector<ViewRound>> rounds;
    for (int round = 0; round < options.rounds; ++round) {
        // The two programs of a view take turns at going first; the second
        // is measured against the first's decode-alone figure.
        std::vector<const View*> order = views;
        if (round % 2 == 1) {
            for (std::size_t i = 0; i + 1 < order.size(); ++i) {
                if (order[i]->baseline) {
                    std::swap(order[i], order[i + 1]);
                    ++i;
                }
            }
        }
        for (std::size_t i = 0; i < order.size(); ++i) {
            const View* view = order[i];
            double decodeMs = 0;
            if (i > 0 && order[i - 1]->resolution == view->resolution &&
                order[i - 1]->fullScreen == view->fullScreen &&
                order[i - 1]->baseline != view->baseline) {
                const auto& previous = rounds[order[i - 1]->letter].back();
                decodeMs = previous.decodeMs;
            }
            ViewRound r = bench.Run(*view, round == 0, decodeMs);
            if (r.error.empty()) {
                std::printf("round %d %-26s decode %.3f ms/frame, kestrune %.3f, X server %.3f\n",
                            round + 1, view->name, r.decodeMs, r.programMs, r.serverMs);
            } else {
                std::printf("round %d %-26s failed: %s\n", round + 1, view->name, r.error.c_str());
            }
            std::fflush(stdout);
            rounds[view->letter].push_back(std::move(r));
        }
    }
    PrintTable(options, bench.display(), bench.ServerOffers("MIT-SHM"), views, rounds);
    benchmark::Shutdown();
    return 0;
}
