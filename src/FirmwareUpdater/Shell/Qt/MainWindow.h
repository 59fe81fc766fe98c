// The updater's main window: a notice line, and the progress view (the line "Now updating..."
// and a bar on a scale of 100) once the transfer begins. Closing it asks the workflow to
// back out, so the status is saved on the way out.
#pragma once

#include "Shell/UserInterface.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <functional>

class CMainWindow final : public QWidget, public CProgressDisplay {
  public:
    CMainWindow();

    /// Called when the user closes the window.
    void onClose(std::function<void()> inHandler) { mOnClose = std::move(inHandler); }
    /// Shows the progress view and brings the window to the front.
    void showProgressView();
    void showNotice(const QString& inText);

    void setMessage(const std::string& inText) override;
    void setProgress(int inCurrent, int inMaximum) override;
    void hideWindow() override;

    const QProgressBar& bar() const { return *mBar; }
    QString message() const { return mMessage->text(); }

  protected:
    void closeEvent(QCloseEvent* inEvent) override;

  private:
    QLabel* mNotice;
    QLabel* mMessage;
    QProgressBar* mBar;
    std::function<void()> mOnClose;
};
