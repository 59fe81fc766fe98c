// vyr-updater: the VYR firmware updater in a window.
#include "MainLoopTimers.h"
#include "MainWindow.h"
#include "QtLanguage.h"
#include "QtUI.h"
#include "Shell/Launch/Catalogue.h"
#include "Shell/Launch/Launch.h"
#include "Shell/Localization.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>

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
       "running, 7 MIDI devices cannot be reached, 64 usage error.\n")};

} // namespace

int main(int argc, char** argv) {
    initLocalization();
    SLaunchOptions options;
    // --help and --version need no display; Qt's own options (-platform ...) are taken
    // away by QApplication before the rest is parsed.
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-h" || argument == "--help" || argument == "--version") {
            return parseLaunchOptions(argc, argv, kProgram, {}, options).value_or(kExitUsage);
        }
    }
    QApplication application(argc, argv);
    QTranslator qtTexts;
    installQtLanguage(qtTexts);
    CMainWindow window;
    // Started from a menu, nobody reads stderr: a usage error is told in a window.
    std::string usage;
    if (const std::optional<int> early =
            parseLaunchOptions(argc, argv, kProgram, {}, options, &usage)) {
        QMessageBox::critical(nullptr, window.windowTitle(), QString::fromStdString(usage));
        return *early;
    }
    CLaunch launch(kProgram.name, options);
    std::string refusal;
    if (const ELaunchRefusal refused = launch.prepare(refusal); refused != ELaunchRefusal::kNone) {
        QMessageBox::critical(nullptr, window.windowTitle(), QString::fromStdString(refusal));
        return exitStatus(refused);
    }
    window.show();
    CQtUI ui(window);
    const CMainLoopTimers timers;
    int status = kExitUnexpected;
    // The workflow runs on the main thread inside Qt's loop, its prompts as nested loops.
    QTimer::singleShot(0, [&] {
        status = exitStatus(launch.run(ui), false);
        if (const std::string report = launch.report(); !report.empty()) {
            ui.runModal({"report", report, {"OK"}, false});
        }
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
