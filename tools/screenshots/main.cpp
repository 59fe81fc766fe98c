// vyr-screenshots OUTDIR NAME-PREFIX [failing]: runs the windowed update against the
// simulated device on the X display it is given (Xvfb in scripts/screenshots) and takes a
// picture of the whole screen with `import -window root` at each prompt, mid-transfer, at
// "Complete" (with "failing": at the error of a device that refuses the 200th message) and of
// the result, clicking the first button of each prompt as a user would. Pictures:
// OUTDIR/PREFIX-<step>.png.
#include "LaunchWindow.h"
#include "MainWindow.h"
#include "QtLanguage.h"
#include "QtUI.h"
#include "Shell/Launch/Catalogue.h"
#include "Shell/Launch/Launch.h"
#include "Shell/Localization.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

namespace {

bool shoot(const std::string& inPath) {
    const std::string command = "import -window root '" + inPath + "'";
    return std::system(command.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const bool failing = argc == 4 && std::strcmp(argv[3], "failing") == 0;
    if (argc != 3 && !failing) {
        std::fprintf(stderr, "usage: vyr-screenshots OUTDIR NAME-PREFIX [failing]\n");
        return 2;
    }
    initLocalization();
    QTranslator qtTexts;
    installQtLanguage(qtTexts);
    const std::string prefix = std::string(argv[1]) + "/" + argv[2] + "-";
    // A fresh folder: a status left by another run would skip the wait being pictured.
    std::string folder =
        (std::filesystem::temp_directory_path() / "vyr-screenshots-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        std::fprintf(stderr, "vyr-screenshots: cannot create a folder in %s: %s\n",
                     std::filesystem::temp_directory_path().c_str(), std::strerror(errno));
        return 1;
    }
    const std::filesystem::path prefs = std::filesystem::path(folder) / "status.plist";
    SLaunchOptions options;
    options.simulate = true;
    options.prefsPath = prefs.string();
    options.simulation.device.refuseSendsFrom = failing ? 200 : 0;
    CLaunch launch("vyr-screenshots", options);
    std::string refusal;
    if (launch.prepare(refusal) != ELaunchRefusal::kNone) {
        std::fprintf(stderr, "vyr-screenshots: %s\n", refusal.c_str());
        std::filesystem::remove_all(folder);
        return 1;
    }
    CMainWindow window;
    describeLaunch(window, launch);
    window.show();
    CQtUI ui(window);

    // Each prompt, by its English key, gets one picture, then its first button.
    const std::map<std::string, std::string> steps = {{_("Waiting..."), "1-waiting"},
                                                      {_("Ready"), "2-ready"},
                                                      {_(kUpdateModePrompt), "3-update-mode"},
                                                      {_("Complete"), "5-complete"},
                                                      {_("Communication error."), "5-error"}};
    std::map<std::string, int> ticks; // the watcher's ticks each prompt has been open
    int failures = 0;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        QMessageBox* box = ui.openBox();
        if (box == nullptr) {
            return;
        }
        const std::string text = box->text().section('\n', 0, 0).toStdString();
        const auto step = steps.find(text);
        // One tick to appear and be painted, the picture on the next, and only one.
        if (step == steps.end() || ++ticks[text] != 2) {
            return;
        }
        failures += shoot(prefix + step->second + ".png") ? 0 : 1;
        if (step->second == "1-waiting") {
            return; // ends by itself when the device answers
        }
        if (step->second == "3-update-mode") {
            // The silence check takes a second, the sample image ten.
            QTimer::singleShot(6000, [&] { failures += shoot(prefix + "4-progress.png") ? 0 : 1; });
        }
        QTest::keyClick(box, Qt::Key_Return);
    });
    watcher.start(300);

    const SEnding& ending = launch.ending(launch.run(ui), false);
    showLaunchResult(window, ending, launch, failing ? [] {} : std::function<void()>());
    QTimer::singleShot(500, [&] {
        failures += shoot(prefix + "6-result.png") ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    std::filesystem::remove_all(folder);
    const int expected = failing ? kExitTransferFailed : kExitComplete;
    return ending.exitStatus == expected && failures == 0 ? 0 : 1;
}
