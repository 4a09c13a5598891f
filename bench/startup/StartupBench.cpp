// Start-up time as a podcaster sees it: from exec to the main window mapped on a virtual X server
// (Xvfb, no window manager), for a bare Qt window with one label and for Airlark with an empty data
// folder and with a full one (50 templates with artwork, 10 accounts with their passwords),
// started alternately. Each window is closed as a user would (WM_DELETE_WINDOW) before the next
// start, so Airlark never finds a stale single-instance socket. Prints medians and the ratios.
#include "store/Account.h"
#include "store/Artwork.h"
#include "store/DataDirectory.h"
#include "store/Database.h"
#include "store/ID3Template.h"
#include "store/PodcastHost.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

extern char** environ;

using namespace airlark;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Templates = 50;
constexpr int Accounts = 10;

// A cover of the usual size (1400 px square, JPEG), different for each template.
QByteArray coverImage(int index)
{
    QImage image(1400, 1400, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((index * 37) % 360, 160, 200));
    QPainter painter(&image);
    for (int band = 0; band < 40; ++band)
        painter.fillRect(band * 35, (band * index * 13) % 1400, 35, 300,
                         QColor::fromHsv((band * 29) % 360, 200, 120));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

// Fills the data folder named by XDG_DATA_HOME (the store computes it once per process).
bool fillStore()
{
    std::optional<Database> database = Database::open();
    std::optional<Artwork> artwork = Artwork::open();
    if (!database || database->createTables() || !artwork)
        return false;
    for (int i = 0; i < Templates; ++i) {
        const std::optional<QUrl> cover = artwork->keep(coverImage(i), QStringLiteral("jpg"));
        ID3TemplateQueryBuilder builder(*database, QStringLiteral("Show %1").arg(i + 1));
        builder.tags.title = QStringLiteral("Episode");
        builder.tags.artist = QStringLiteral("Host %1").arg(i + 1);
        builder.tags.album = QStringLiteral("Show %1").arg(i + 1);
        if (cover)
            builder.artworkURL = cover->toString();
        if (!cover || !builder.insert())
            return false;
    }
    const QString libsyn = storedText(PodcastHost::Libsyn);
    for (int i = 0; i < Accounts; ++i) {
        const auto id =
            Account::insert(*database, QStringLiteral("show%1").arg(i + 1), libsyn,
                            LibsynAccountFeedType::Libsyn, QStringLiteral("host%1@example.com").arg(i));
        if (!id.hasValue() || Account::savePassword(libsyn, id.value(), QStringLiteral("secret")))
            return false;
    }
    return true;
}

struct Display
{
    pid_t server = -1;
    std::string name;
};

// Starts Xvfb on a free display number (it writes the number it chose to a pipe).
Display startXvfb()
{
    Display display;
    int fds[2];
    if (::pipe(fds) != 0)
        return display;
    display.server = ::fork();
    if (display.server == 0) {
        ::close(fds[0]);
        ::dup2(fds[1], 3);
        ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                 "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    // Read up to the line's end: the server fails if the pipe closes before it has written it all.
    std::string number;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (!number.empty())
        display.name = ":" + number;
    return display;
}

class Screen
{
public:
    explicit Screen(const std::string& display) : connection_(xcb_connect(display.c_str(), nullptr))
    {
        if (xcb_connection_has_error(connection_))
            return;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        protocols_ = atom("WM_PROTOCOLS");
        deleteWindow_ = atom("WM_DELETE_WINDOW");
    }
    ~Screen() { xcb_disconnect(connection_); }

    bool usable() const { return xcb_connection_has_error(connection_) == 0 && root_ != 0; }

    // Waits until a top-level window is mapped, at most `timeout`; the window, or 0.
    xcb_window_t waitForMap(Clock::duration timeout)
    {
        const Clock::time_point end = Clock::now() + timeout;
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                xcb_window_t mapped = 0;
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                    if (!map->override_redirect)
                        mapped = map->window;
                }
                std::free(event);
                if (mapped)
                    return mapped;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0 || xcb_connection_has_error(connection_))
                return 0;
            pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
            ::poll(&descriptor, 1, static_cast<int>(left));
        }
    }

    // Asks the window to close, as the close button does.
    void close(xcb_window_t window)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = protocols_;
        message.data.data32[0] = deleteWindow_;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(connection_);
    }

    void discardEvents()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_))
            std::free(event);
    }

private:
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t value = reply ? reply->atom : 0;
        std::free(reply);
        return value;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    xcb_atom_t protocols_ = 0;
    xcb_atom_t deleteWindow_ = 0;
};

struct Program
{
    const char* label;
    const char* path;
    QByteArray dataHome;
    std::vector<double> milliseconds;
};

// Starts `program` on `display`, times it to its window's map and closes it again; the time in
// milliseconds, or a negative value when no window came.
double timeStart(Program& program, const std::string& display, Screen& screen)
{
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        if (variable.rfind("DISPLAY=", 0) != 0 && variable.rfind("XDG_DATA_HOME=", 0) != 0 &&
            variable.rfind("QT_QPA_PLATFORM=", 0) != 0 && variable.rfind("WAYLAND_DISPLAY=", 0) != 0)
            variables.push_back(variable);
    }
    variables.push_back("DISPLAY=" + display);
    variables.push_back("QT_QPA_PLATFORM=xcb");
    variables.push_back("XDG_DATA_HOME=" + program.dataHome.toStdString());
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(program.path), nullptr};

    screen.discardEvents();
    const Clock::time_point start = Clock::now();
    pid_t child = -1;
    const int spawned = posix_spawn(&child, program.path, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    const xcb_window_t window = screen.waitForMap(std::chrono::seconds(20));
    const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (window)
        screen.close(window);
    int status = 0;
    const Clock::time_point end = Clock::now() + std::chrono::seconds(10);
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() > end) {
            std::fprintf(stderr, "%s did not close; killed\n", program.label);
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        ::usleep(2000);
    }
    return window ? elapsed : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char* argv[])
{
    const QByteArray session = qgetenv("AIRLARK_TEST_SESSION");
    if (session.isEmpty()) {
        std::fprintf(stderr, "Run inside a private session: scripts/with-test-session.sh %s\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    const QByteArray emptyHome = session + "/bench-empty";
    const QByteArray fullHome = session + "/bench-full";
    QDir().mkpath(QString::fromLocal8Bit(emptyHome));
    QDir().mkpath(QString::fromLocal8Bit(fullHome));
    qputenv("XDG_DATA_HOME", fullHome);
    QCoreApplication application(argc, argv);
    if (!fillStore()) {
        std::fprintf(stderr, "Could not fill the store in %s\n", fullHome.constData());
        return 1;
    }

    const Display display = startXvfb();
    if (display.name.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    int status = 0;
    {
        Screen screen(display.name);
        std::vector<Program> programs{{"bare Qt window", BARE_WINDOW_PROGRAM, emptyHome, {}},
                                      {"Airlark, empty data folder", AIRLARK_PROGRAM, emptyHome, {}},
                                      {"Airlark, 50 templates, 10 accounts", AIRLARK_PROGRAM, fullHome, {}}};
        // Another build of Airlark (an earlier commit, say) runs in the same rounds, for a fair comparison.
        if (argc > 2) {
            programs.push_back({"other build, empty data folder", argv[2], emptyHome, {}});
            programs.push_back({"other build, 50 templates, 10 accounts", argv[2], fullHome, {}});
        }
        // One unmeasured start each fills the page cache and Qt's caches.
        for (Program& program : programs)
            if (!screen.usable() || timeStart(program, display.name, screen) < 0) {
                std::fprintf(stderr, "%s showed no window\n", program.label);
                status = 1;
            }
        for (int round = 0; status == 0 && round < rounds; ++round) {
            for (Program& program : programs) {
                const double milliseconds = timeStart(program, display.name, screen);
                if (milliseconds < 0) {
                    std::fprintf(stderr, "%s showed no window\n", program.label);
                    status = 1;
                    break;
                }
                program.milliseconds.push_back(milliseconds);
            }
        }
        if (status == 0) {
            std::printf("From exec to the main window mapped, median of %d alternating rounds:\n", rounds);
            const double bare = median(programs.front().milliseconds);
            for (const Program& program : programs) {
                const double value = median(program.milliseconds);
                std::printf("  %-36s %7.1f ms  (best %6.1f ms)  %.2fx the bare window\n", program.label,
                            value,
                            *std::min_element(program.milliseconds.begin(), program.milliseconds.end()),
                            value / bare);
            }
        }
    }
    ::kill(display.server, SIGTERM);
    ::waitpid(display.server, nullptr, 0);
    return status;
}
