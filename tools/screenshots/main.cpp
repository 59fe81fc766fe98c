// vyr-screenshots OUTDIR NAME-PREFIX [failing]: runs the windowed update against the
// simulated device on the X display it is given (Xvfb in scripts/screenshots) and takes a
// picture of the whole screen with `import -window root` at each prompt, at the close
// question and mid-transfer, at "Complete" and of the result, answering each prompt as a user
// would. With "failing" the device refuses the 200th message: the error, the result, then
// Try again and the resumed run's update-mode prompt, which is cancelled.
// Pictures: OUTDIR/PREFIX-<step>.png.
#include "LaunchWindow.h"
#include "MainWindow.h"
#include "QtLanguage.h"
#include "QtUI.h"
#include "Shell/Launch/Catalogue.h"
#include "Shell/Launch/Launch.h"
#include "Shell/Localization.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

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

    // Each prompt, by its English key, gets one picture, then Return, as a user answers.
    const std::map<std::string, std::string> steps = {
        {_("Waiting..."), "1-waiting"},          {_("Ready"), "2-ready"},
        {_(kUpdateModePrompt), "3-update-mode"}, {_("Stop the update?"), "4-stop-question"},
        {_("Complete"), "5-complete"},           {_("Communication error."), "5-error"}};
    int failures = 0;
    const auto take = [&](const std::string& inStep) {
        failures += shoot(prefix + inStep + ".png") ? 0 : 1;
    };
    bool resumed = false;
    QPointer<QMessageBox> seen;
    int ticks = 0; // the watcher's ticks the open prompt has been open
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        QMessageBox* box = ui.openBox();
        if (box != seen) {
            seen = box;
            ticks = 0;
        }
        // One tick to appear and be painted, the picture on the next, and only one.
        if (box == nullptr || ++ticks != 2) {
            return;
        }
        const auto step = steps.find(box->text().section('\n', 0, 0).toStdString());
        if (step == steps.end()) {
            return;
        }
        if (resumed) {
            take("7-resumed");
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        // The failing run pictures only what differs: the error and what follows.
        if (!failing || step->second == "5-error") {
            take(step->second);
        }
        if (step->second == "1-waiting") {
            return; // ends by itself when the device answers
        }
        if (step->second == "3-update-mode" && !failing) {
            // The silence check takes a second, the sample image ten: the close button asks
            // at three, the bar is pictured at six.
            QTimer::singleShot(3000, &window, [&] { window.close(); });
            QTimer::singleShot(6000, [&] { take("4-progress"); });
        }
        QTest::keyClick(box, Qt::Key_Return);
    });
    watcher.start(300);

    std::vector<int> endings;
    std::function<void()> run = [&] {
        ui.attend();
        const SEnding& ending = launch.ending(launch.run(ui), false);
        endings.push_back(ending.exitStatus);
        const bool again = failing && !resumed;
        showLaunchResult(window, ending, launch, again ? run : std::function<void()>());
        QTimer::singleShot(500, [&, again] {
            if (!resumed) {
                take("6-result");
            }
            if (!again) {
                QApplication::quit();
                return;
            }
            resumed = true;
            for (QPushButton* button : window.findChildren<QPushButton*>()) {
                if (button->text() == QString::fromUtf8(_("Try again"))) {
                    button->click();
                }
            }
        });
    };
    QTimer::singleShot(0, run);
    QApplication::exec();
    std::filesystem::remove_all(folder);
    const std::vector<int> expected = failing
                                          ? std::vector<int>{kExitTransferFailed, kExitCancelled}
                                          : std::vector<int>{kExitComplete};
    return endings == expected && failures == 0 ? 0 : 1;
}
