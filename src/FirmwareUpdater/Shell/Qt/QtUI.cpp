#include "QtUI.h"

#include "Shell/Localization.h"
#include "Shell/VYRAppDelegate.h"

#include <QPushButton>

namespace {

// "OK" and "Cancel" are Qt's standard buttons, so Qt's own translation names them.
QPushButton* addButton(QMessageBox& ioBox, const std::string& inTitle, bool inBacksOut) {
    if (inTitle == "OK") {
        return ioBox.addButton(QMessageBox::Ok);
    }
    if (inTitle == "Cancel") {
        return ioBox.addButton(QMessageBox::Cancel);
    }
    return ioBox.addButton(QString::fromStdString(inTitle),
                           inBacksOut ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
}

} // namespace

CQtUI::CQtUI(CMainWindow& inWindow) : mWindow(inWindow) {
    mWindow.onClose([this] { backOut(); });
}

int CQtUI::runModal(const SAlert& inAlert) {
    return ask(inAlert,
               inAlert.buttons.size() > 1 ? QMessageBox::Question : QMessageBox::Information, {});
}

int CQtUI::ask(const SAlert& inAlert, QMessageBox::Icon inIcon, const QString& inDetail) {
    const int lastButton = kAlertFirstButtonReturn + static_cast<int>(inAlert.buttons.size()) - 1;
    if (mClosed) {
        return lastButton;
    }
    if (mAbortPending) {
        mAbortPending = false;
        return kModalResponseAbort;
    }
    QMessageBox box(inIcon, mWindow.windowTitle(), QString::fromStdString(inAlert.message),
                    QMessageBox::NoButton, mWindow.isVisible() ? &mWindow : nullptr);
    box.setInformativeText(inDetail);
    std::vector<QPushButton*> buttons;
    for (std::size_t i = 0; i < inAlert.buttons.size(); ++i) {
        buttons.push_back(
            addButton(box, inAlert.buttons[i], i + 1 == inAlert.buttons.size() && i > 0));
    }
    box.setDefaultButton(buttons.front());
    box.setEscapeButton(buttons.back());
    mBox = &box;
    const int code = box.exec();
    mBox = nullptr;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) {
            return kAlertFirstButtonReturn + static_cast<int>(i);
        }
    }
    // No button: ended by abortModal, or by the window's closing.
    return code == kModalResponseAbort ? kModalResponseAbort : lastButton;
}

void CQtUI::abortModal() {
    // Queued to this object, which lives as long as the workflow; the box may not exist yet
    // or any more, and only the main thread may touch it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (mBox != nullptr) {
                mBox->done(kModalResponseAbort);
            } else {
                mAbortPending = true;
            }
        },
        Qt::QueuedConnection);
}

int CQtUI::showError(const std::string& inMessage, int inCode) {
    QString detail = QString::fromUtf8(_("Error code %1")).arg(inCode);
    if (const char* advice = adviceAfterError(inCode)) {
        detail = QString::fromUtf8(advice) + "\n\n" + detail;
    }
    return ask({"error", inMessage, {"OK"}, false}, QMessageBox::Critical, detail);
}

CProgressDisplay& CQtUI::showProgressView() {
    mWindow.showProgressView();
    return mWindow;
}

void CQtUI::showNotice(const std::string& inText) {
    mWindow.showNotice(QString::fromStdString(inText));
}

void CQtUI::backOut() {
    mClosed = true;
    if (mBox != nullptr) {
        mBox->reject();
    }
}
