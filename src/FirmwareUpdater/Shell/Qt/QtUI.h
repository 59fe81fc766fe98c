// The update workflow's front-end in a window (Qt Widgets).
//
// Every prompt is a modal message box whose buttons give 1000 and 1001. abortModal may come
// from the poll thread: it is queued to this long-lived object on the main thread, which
// ends the open box with -1001, or the next one if none is open yet. Once the user has
// closed the main window, every prompt backs out with its last button at once, so the
// workflow ends and saves its status on the way.
#pragma once

#include "MainWindow.h"
#include "Shell/UserInterface.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>

class CQtUI final : public QObject, public CFrontEnd {
  public:
    explicit CQtUI(CMainWindow& inWindow);

    int runModal(const SAlert& inAlert) override;
    void abortModal() override;
    int showError(const std::string& inMessage, int inCode) override;
    CProgressDisplay& showProgressView() override;
    void showNotice(const std::string& inText) override;

    /// The message box open now, if any (for tests and the screenshot script).
    QMessageBox* openBox() const { return mBox; }

  private:
    int ask(const SAlert& inAlert, QMessageBox::Icon inIcon, const QString& inDetail);
    void backOut();

    CMainWindow& mWindow;
    QPointer<QMessageBox> mBox;
    bool mAbortPending = false;
    bool mClosed = false;
};
