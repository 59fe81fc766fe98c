#include "MainWindow.h"

#include "Shell/Localization.h"

#include <QCloseEvent>
#include <QVBoxLayout>

CMainWindow::CMainWindow()
    : mNotice(new QLabel(this)), mMessage(new QLabel(this)), mBar(new QProgressBar(this)) {
    setWindowTitle(QString::fromUtf8(_("VYR Firmware Updater")));
    auto* layout = new QVBoxLayout(this);
    mNotice->setWordWrap(true);
    layout->addWidget(mNotice);
    layout->addWidget(mMessage);
    layout->addWidget(mBar);
    mBar->setRange(0, 100);
    mBar->setValue(0);
    mMessage->hide();
    mBar->hide();
    setMinimumWidth(420);
}

void CMainWindow::showProgressView() {
    mMessage->show();
    mBar->show();
    show();
    raise();
    activateWindow();
}

void CMainWindow::showNotice(const QString& inText) {
    mNotice->setText(inText);
}

void CMainWindow::setMessage(const std::string& inText) {
    mMessage->setText(QString::fromStdString(inText));
}

// The transfer blocks the main thread; setValue repaints at once, so the bar moves without
// the event loop turning (which would run timers inside the transfer).
void CMainWindow::setProgress(int inCurrent, int inMaximum) {
    mBar->setMaximum(inMaximum);
    mBar->setValue(inCurrent);
}

void CMainWindow::hideWindow() {
    hide();
}

void CMainWindow::closeEvent(QCloseEvent* inEvent) {
    if (mOnClose) {
        mOnClose();
    }
    inEvent->accept();
}
