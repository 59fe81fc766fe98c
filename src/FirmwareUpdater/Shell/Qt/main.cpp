// vyr-updater: the VYR firmware updater in a window.
#include "LaunchWindow.h"
#include "MainWindow.h"
#include "QtLanguage.h"
#include "QtUI.h"
#include "Shell/Launch/Catalogue.h"
#include "Shell/Launch/Launch.h"
#include "Shell/Launch/StopRule.h"
#include "Shell/Localization.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#ifndef VYR_VERSION
#define VYR_VERSION "unknown"
#endif

namespace {

constexpr SProgram kProgram = {
    "vyr-updater", VYR_VERSION,
    N_("Puts new firmware on a VYR device, in a window: waits for its heartbeat, asks you to\n"
       "switch it to update mode, checks that it fell silent, then plays the firmware image to\n"
       "it. A transfer that fails or is interrupted is resumed at the next run.\n"),
    N_("exit status: 0 complete, 1 communication error during the transfer, 2 cancelled or the\n"
       "window closed, 3 unexpected error, 5 firmware image refused, 6 another update is\n"
       "running or the status file cannot be locked, 7 MIDI devices cannot be reached,\n"
       "64 usage error, 69 no display to show the window on, 130 stopped during the transfer\n"
       "(confirmed, or a second SIGTERM).\n")};

constexpr int kExitNoDisplay = 69;
constexpr const char* kDesktopFile = "org.vyr.firmware-updater";

// Whether a Wayland compositor listens where WAYLAND_DISPLAY says.
bool waylandReachable() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (name == nullptr || *name == '\0' || (name[0] != '/' && runtime == nullptr)) {
        return false;
    }
    const std::string path = name[0] == '/' ? name : std::string(runtime) + "/" + name;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool reached =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return reached;
}

// Qt aborts when it cannot reach the display it is told to use; say it in one line instead.
// X and Wayland are checked here; other platforms (offscreen, vnc) are Qt's to judge.
std::string displayProblem(int argc, char** argv) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* display = std::getenv("DISPLAY");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0) {
            platform = argv[i + 1];
        } else if (std::strcmp(argv[i], "-display") == 0) {
            display = argv[i + 1];
        }
    }
    const bool wayland = platform != nullptr && std::strncmp(platform, "wayland", 7) == 0;
    if (wayland || platform == nullptr) {
        if (waylandReachable()) {
            return {};
        }
        if (wayland) {
            return _("cannot reach the Wayland display (WAYLAND_DISPLAY); run vyr-update in a "
                     "terminal instead");
        }
    } else if (std::strncmp(platform, "xcb", 3) != 0) {
        return {};
    }
    if (display == nullptr || *display == '\0') {
        return std::getenv("WAYLAND_DISPLAY") != nullptr
                   ? _("no display to show the window on (WAYLAND_DISPLAY reaches no compositor "
                       "and DISPLAY is not set); run vyr-update in a terminal instead")
                   : _("no display to show the window on (DISPLAY is not set); run vyr-update "
                       "in a terminal instead");
    }
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const bool reached = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reached ? std::string()
                   : std::string(_("cannot reach the display")) + " " + display + "; " +
                         _("run vyr-update in a terminal instead");
}

// Why the update cannot begin, on stderr and, since nobody reads stderr of a program started
// from a menu, in a box: the ending's sentence first, then the line the terminal gets.
void tellWhyNot(const CMainWindow& inWindow, const SEnding& inEnding,
                const std::string& inProblem) {
    std::fprintf(stderr, "vyr-updater: %s\n", inProblem.c_str());
    QString sentence = QString::fromUtf8(_(inEnding.sentence));
    // The reason below may speak of the file's inside: say first what a user can do.
    if (inEnding.ending == EEnding::kImageRefused) {
        sentence += " " + QString::fromUtf8(_("Check that the file below is a firmware image for "
                                              "VYR, whole and readable; if in doubt, download it "
                                              "again."));
    }
    // The line as it is: it may begin with a file's name, which no capital may change.
    QMessageBox box(QMessageBox::Critical, inWindow.windowTitle(), {}, QMessageBox::Ok);
    setPlainTexts(box, sentence, QString::fromStdString(inProblem));
    widen(box);
    // A stop request backs out of it, as of every question.
    QSocketNotifier stops(CStopRule::wakeDescriptor(), QSocketNotifier::Read);
    QObject::connect(&stops, &QSocketNotifier::activated, &box, &QMessageBox::reject);
    box.exec();
}

// What ends the program before there is a window: --help and --version need no display, and
// without one a line says so (after a usage error, still the first thing to hear about).
std::optional<int> endsBeforeTheWindow(int argc, char** argv) {
    SLaunchOptions options;
    // Qt's own options (-platform ...) are taken away by QApplication before the rest is
    // parsed: until then only these are looked for.
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help" || argument == "--version") {
            return parseLaunchOptions(argc, argv, kProgram, {}, options).value_or(kExitUsage);
        }
    }
    if (const std::string problem = displayProblem(argc, argv); !problem.empty()) {
        if (const std::optional<int> early =
                parseLaunchOptions(argc, argv, kProgram, {}, options)) {
            return early;
        }
        std::fprintf(stderr, "vyr-updater: %s\n", problem.c_str());
        return kExitNoDisplay;
    }
    return std::nullopt;
}

// The line a stop that ends the transfer leaves on stderr; the window's own question is the
// warning.
void presentTheStop() {
    static const std::string stopped =
        std::string("vyr-updater: ") +
        _("stopped during the transfer; VYR stays in update mode, run the updater again to "
          "resume") +
        "\n";
    CStopRule::presentOnStandardError(nullptr, stopped.c_str());
}

// How the run ended, once it did: its report on stdout for scripts, and in the window until
// it is closed, with a way to try again; a window closed during the run ends the program.
int showTheEnd(CMainWindow& ioWindow, const CLaunch& inLaunch, const SLaunchResult& inResult,
               const CQtUI& inUI, std::function<void()> inTryAgain) {
    std::fputs(inResult.report.c_str(), stdout);
    std::fflush(stdout);
    if (inUI.stopRequested()) {
        QApplication::quit();
    } else {
        ioWindow.onClose({});
        showLaunchResult(ioWindow, *inResult.ending, inLaunch, std::move(inTryAgain));
        QApplication::setQuitOnLastWindowClosed(true);
    }
    return inResult.ending->exitStatus;
}

} // namespace

int main(int argc, char** argv) {
    CStopRule::install();
    initLocalization();
    presentTheStop();
    if (const std::optional<int> early = endsBeforeTheWindow(argc, argv)) {
        return *early;
    }
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(kDesktopFile);
    QApplication::setWindowIcon(
        QIcon::fromTheme(kDesktopFile, QIcon(":/icons/org.vyr.firmware-updater.svg")));
    QTranslator qtTexts;
    installQtLanguage(qtTexts);
    CMainWindow window;
    // Started from a menu, nobody reads stderr: a usage error is told in a window too.
    SLaunchOptions options;
    std::string usage;
    if (const std::optional<int> early =
            parseLaunchOptions(argc, argv, kProgram, {}, options, &usage)) {
        tellWhyNot(window, endingRow(EEnding::kUsageError), usage);
        return *early;
    }
    CLaunch launch(kProgram.name, options);
    std::string refusal;
    if (const ELaunchRefusal refused = launch.prepare(refusal); refused != ELaunchRefusal::kNone) {
        const SEnding& ending = endingRow(endingOf(refused));
        tellWhyNot(window, ending, refusal);
        return ending.exitStatus;
    }
    describeLaunch(window, launch);
    window.show();
    CQtUI ui(window);
    int status = kExitUnexpected;
    // The workflow runs on the main thread inside Qt's loop, its prompts as nested loops.
    std::function<void()> run = [&] {
        ui.attend();
        status = showTheEnd(window, launch, launch.runToTheEnd(ui), ui, run);
    };
    window.runWhenPlaced(run);
    QApplication::exec();
    return status;
}
