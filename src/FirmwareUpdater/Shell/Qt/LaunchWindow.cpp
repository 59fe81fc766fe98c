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
    ioWindow.onStep([&ioWindow](int inStep) {
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
        if (inStep >= 1) {
            text += ", " + QString::fromUtf8(_("heartbeat seen"));
        }
        ioWindow.showDevice(text);
    });
}

QString launchResult(const SEnding& inEnding, const CLaunch& inLaunch) {
    QString result = QString::fromUtf8(_(inEnding.sentence));
    if (const std::string report = inLaunch.report(); !report.empty()) {
        result += "\n\n" + QString::fromStdString(report);
    }
    return result;
}
