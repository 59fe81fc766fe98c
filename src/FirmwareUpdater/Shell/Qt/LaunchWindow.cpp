#include "LaunchWindow.h"

#include "Common/FirmwareSchedule.h"
#include "Shell/Localization.h"

#include <QFileInfo>
#include <QLocale>

void describeLaunch(CMainWindow& ioWindow, const CLaunch& inLaunch) {
    const std::vector<std::uint8_t>& image = inLaunch.firmwareImage();
    CFirmwareSchedule schedule;
    schedule.buildFromImage(image.data(), static_cast<std::uint32_t>(image.size()));
    const double seconds =
        schedule.size() == 0 ? 0 : static_cast<double>(schedule.timeOf(schedule.size() - 1)) / 1000;
    const QLocale locale;
    ioWindow.showImage(QString::fromUtf8(_("%1: %2, %3 messages, about %4 s"))
                           .arg(QFileInfo(QString::fromStdString(inLaunch.imagePath())).fileName(),
                                locale.formattedDataSize(static_cast<qint64>(image.size())),
                                locale.toString(static_cast<qulonglong>(schedule.size())))
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

QString launchResult(ELaunchOutcome inOutcome, const CLaunch& inLaunch) {
    const char* text = N_("The update was cancelled.");
    switch (inOutcome) {
    case ELaunchOutcome::kCompleted:
        text = N_("The update is complete.");
        break;
    case ELaunchOutcome::kTransferFailed:
        text = N_("The transfer failed. VYR stays in update mode; run the updater again to "
                  "resume the update.");
        break;
    case ELaunchOutcome::kUnexpectedError:
        text = N_("An unexpected error ended the update.");
        break;
    case ELaunchOutcome::kCancelled:
        if (!inLaunch.transferBegan()) {
            text = N_("The update was cancelled; nothing was sent to VYR.");
        }
        break;
    }
    QString result = QString::fromUtf8(_(text));
    if (const std::string report = inLaunch.report(); !report.empty()) {
        result += "\n\n" + QString::fromStdString(report);
    }
    return result;
}
