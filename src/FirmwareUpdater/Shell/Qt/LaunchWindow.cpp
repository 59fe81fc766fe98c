#include "LaunchWindow.h"

#include "Shell/Localization.h"

#include <QFileInfo>
#include <QLocale>

void describeLaunch(CMainWindow& ioWindow, const CLaunch& inLaunch) {
    const SImageFacts& image = inLaunch.imageFacts();
    const double seconds = static_cast<double>(image.durationMs) / 1000;
    const QLocale locale;
    ioWindow.showImage(
        QString::fromUtf8(_("%1: %2, %3 messages, about %4 s"))
            .arg(QFileInfo(QString::fromStdString(inLaunch.imagePath())).fileName(),
                 locale.formattedDataSize(static_cast<qint64>(inLaunch.firmwareImage().size())),
                 locale.toString(static_cast<qulonglong>(image.messages)))
            .arg(static_cast<int>(seconds + 0.999)),
        seconds);
    ioWindow.onStep([&ioWindow] {
        const std::optional<SEndpointText> device = CLaunch::foundDevice();
        if (!device) {
            ioWindow.showDevice(QString::fromUtf8(_("not found yet")));
            return;
        }
        // The model, unless the port's name already says it.
        const bool named = device->name.rfind(device->model, 0) == 0;
        QString text =
            QString::fromStdString(named ? device->name : device->model + " " + device->name) +
            " (" + QString::fromStdString(device->address) + ")";
        // A resumed run checks no heartbeat: the device is in update mode already.
        if (ioWindow.reached(1)) {
            text += ", " + QString::fromUtf8(_("heartbeat seen"));
        }
        ioWindow.showDevice(text);
    });
}

void showLaunchResult(CMainWindow& ioWindow, const SEnding& inEnding, const CLaunch& inLaunch,
                      std::function<void()> inTryAgain) {
    const bool completed = inEnding.ending == EEnding::kComplete;
    QString result = QString::fromUtf8(_(inEnding.sentence));
    // Once the transfer began the device waits in update mode for the rest of it; the
    // communication error's sentence says so already.
    if (!completed && inLaunch.transferBegan() && inEnding.ending != EEnding::kCommunicationError) {
        result += " " + QString::fromUtf8(_("VYR stays in update mode; run the updater again "
                                            "to resume the update."));
    }
    if (!completed && inTryAgain) {
        result += "\n" + QString::fromUtf8(_("Try again goes on from the update-mode step, or "
                                             "from the start if nothing was sent."));
    }
    if (const std::string report = inLaunch.report(); !report.empty()) {
        result += "\n\n" + QString::fromStdString(report);
    }
    ioWindow.showResult(result, completed, completed ? nullptr : std::move(inTryAgain));
}
