#include "MainWindow.h"

#include "Shell/Localization.h"
#include "Shell/ProgressViewController.h"
#include "Shell/VYRAppDelegate.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int kTransferStep = 3;
constexpr int kCompleteStep = 4;
constexpr qint64 kProgressPaceMs = 1000;

struct SStep {
    const char* name;
    const char* promptKey; // the prompt that shows this step, or null
    const char* guidance;
};

const SStep kSteps[5] = {
    {N_("Connect"), "Waiting...",
     N_("Connect VYR to this computer and switch it on. The updater goes on by itself as soon "
        "as VYR answers.")},
    {N_("Ready"), "Ready", N_("VYR answers. Nothing has been sent to it yet.")},
    {N_("Update mode"), kUpdateModePrompt,
     N_("Switch VYR to update mode as its manual describes, then confirm. The updater checks "
        "that VYR has fallen silent before it sends anything.")},
    {N_("Transfer"), nullptr,
     N_("Do not disconnect VYR or switch it off until the update is complete.")},
    {N_("Complete"), "Complete", N_("The new firmware is on VYR.")},
};

// Every text of the window is shown as it is: a file or device name such as "<h1>x" is a
// name, never markup.
QLabel* plain(QWidget* inParent, const QString& inText = {}) {
    auto* label = new QLabel(inText, inParent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* wrapping(QWidget* inParent) {
    QLabel* label = plain(inParent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A screen reader reads the children in the order they were made; raising each widget in the
// order the layout shows them makes that order the visual one.
void inReadingOrder(QLayout& inLayout) {
    for (int i = 0; i < inLayout.count(); ++i) {
        QLayoutItem* item = inLayout.itemAt(i);
        if (item->widget() != nullptr) {
            item->widget()->raise();
        } else if (item->layout() != nullptr) {
            inReadingOrder(*item->layout());
        }
    }
}

} // namespace

CMainWindow::CMainWindow()
    : mDevice(wrapping(this)), mImage(wrapping(this)), mGuidance(wrapping(this)),
      mNotice(wrapping(this)), mWarning(wrapping(this)), mMessage(plain(this)),
      mBar(new QProgressBar(this)), mTimeLeft(plain(this)), mResult(wrapping(this)) {
    setWindowTitle(QString::fromUtf8(_("VYR Firmware Updater")));
    auto* layout = new QVBoxLayout(this);

    auto* facts = new QFormLayout;
    // Some styles keep a field at its hint's width; a long name would be cut there.
    facts->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    facts->addRow(plain(this, QString::fromUtf8(_("Device:"))), mDevice);
    facts->addRow(plain(this, QString::fromUtf8(_("Firmware:"))), mImage);
    layout->addLayout(facts);
    mDevice->setText(QString::fromUtf8(_("not found yet")));

    auto* steps = new QHBoxLayout;
    for (std::size_t i = 0; i < mSteps.size(); ++i) {
        mSteps[i] = plain(this);
        steps->addWidget(mSteps[i]);
    }
    mTryAgain = new QPushButton(QString::fromUtf8(_("Try again")), this);
    mClose = new QPushButton(QString::fromUtf8(_("Close")), this);
    mBar->setAccessibleName(QString::fromUtf8(_("Transfer progress")));
    steps->addStretch();
    layout->addSpacing(6);
    layout->addLayout(steps);
    layout->addWidget(mGuidance);

    QFont bold = font();
    bold.setBold(true);
    mWarning->setFont(bold);
    for (QWidget* widget : {static_cast<QWidget*>(mNotice), static_cast<QWidget*>(mWarning),
                            static_cast<QWidget*>(mMessage), static_cast<QWidget*>(mBar),
                            static_cast<QWidget*>(mTimeLeft), static_cast<QWidget*>(mResult)}) {
        layout->addWidget(widget);
        widget->hide();
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(mTryAgain);
    buttons->addWidget(mClose);
    mTryAgain->hide();
    mClose->hide();
    layout->addLayout(buttons);
    layout->addStretch();
    mBar->setRange(0, 100);
    mBar->setValue(0);
    mBar->setTextVisible(false);
    QObject::connect(mClose, &QPushButton::clicked, this, &QWidget::close);
    inReadingOrder(*layout);
    markStep(0);
    // Room below the steps for the prompts, which open there.
    setMinimumSize(540, 360);
}

void CMainWindow::showStep(const std::string& inPromptKey) {
    for (std::size_t i = 0; i < std::size(kSteps); ++i) {
        if (kSteps[i].promptKey != nullptr && inPromptKey == kSteps[i].promptKey) {
            mReached[i] = true;
            markStep(static_cast<int>(i));
        }
    }
}

void CMainWindow::markStep(int inStep) {
    mStep = inStep;
    for (int i = 0; i < static_cast<int>(mSteps.size()); ++i) {
        // A resumed run goes straight to the update mode: what it passed over was not done.
        const bool done = mReached[static_cast<std::size_t>(i)];
        showStepState(i, i == inStep  ? EStepState::kCurrent
                         : i > inStep ? EStepState::kNotYet
                         : done       ? EStepState::kDone
                                      : EStepState::kSkipped);
    }
    mGuidance->setText(QString::fromUtf8(_(kSteps[inStep].guidance)));
    mGuidance->show();
    if (mOnStep) {
        mOnStep();
    }
}

// A glyph for the eye, and a state in words for a screen reader.
void CMainWindow::showStepState(int inStep, EStepState inState) {
    struct SLook {
        const char* glyph;
        const char* state;
    };
    static constexpr SLook kLooks[] = {
        {"○", N_("not yet")}, {"▶", N_("current")}, {"✓", N_("done")},
        {"–", N_("skipped")}, {"✗", N_("failed")},
    };
    const SLook& look = kLooks[static_cast<int>(inState)];
    QLabel* label = mSteps[static_cast<std::size_t>(inStep)];
    const QString name = QString::fromUtf8(_(kSteps[inStep].name));
    QFont font = label->font();
    font.setBold(inState == EStepState::kCurrent || inState == EStepState::kFailed);
    label->setFont(font);
    label->setEnabled(inState != EStepState::kNotYet);
    label->setText(QString::fromUtf8(look.glyph) + " " + name);
    label->setAccessibleName(name + ": " + QString::fromUtf8(_(look.state)));
}

void CMainWindow::showDevice(const QString& inText) {
    mDevice->setText(inText);
}

void CMainWindow::showImage(const QString& inText, double inSeconds) {
    mImage->setText(inText);
    mImageSeconds = inSeconds;
}

void CMainWindow::showProgressView() {
    mReached[kTransferStep] = true;
    markStep(kTransferStep);
    mTransferClock.start();
    mMessage->show();
    mBar->show();
    mProgressShown.invalidate();
    showLatestProgress();
    mTimeLeft->show();
    show();
    raise();
    activateWindow();
}

void CMainWindow::showNotice(const QString& inText) {
    mNotice->setText(inText);
    mNotice->setVisible(!inText.isEmpty());
}

void CMainWindow::showWarning(const QString& inText) {
    mWarning->setText(QString::fromUtf8("⚠ ") + inText);
    mWarning->show();
}

void CMainWindow::showResult(const QString& inText, bool inCompleted,
                             std::function<void()> inTryAgain) {
    if (inCompleted) {
        hideWindow();
        mGuidance->hide();
        for (int i = 0; i < static_cast<int>(mSteps.size()); ++i) {
            showStepState(i, mReached[static_cast<std::size_t>(i)] || i == kCompleteStep
                                 ? EStepState::kDone
                                 : EStepState::kSkipped);
        }
    } else {
        showFailure();
    }
    // The notices were for the run; the result says what is next.
    mNotice->hide();
    mResult->setText(inText);
    mResult->show();
    QObject::disconnect(mTryAgain, &QPushButton::clicked, nullptr, nullptr);
    mTryAgain->setVisible(static_cast<bool>(inTryAgain));
    if (inTryAgain) {
        QObject::connect(mTryAgain, &QPushButton::clicked, this, [this, inTryAgain] {
            mTryAgain->hide();
            mClose->hide();
            mResult->hide();
            // The steps the new run passes over were done by the last one, not by this.
            mReached = {};
            mGuidance->show();
            inTryAgain();
        });
    }
    mClose->show();
    mClose->setDefault(true);
    mClose->setFocus();
    show();
    raise();
}

void CMainWindow::setMessage(const std::string& inText) {
    mMessage->setText(QString::fromStdString(inText));
}

void CMainWindow::setProgress(int inCurrent, int inMaximum) {
    mLatestProgress = {inCurrent, inMaximum};
    if (!mProgressPending.exchange(true)) {
        mShowProgress.post();
    }
}

// Painting costs more than the transfer itself: the bar moves a few times a second at most,
// always to the latest value.
void CMainWindow::showLatestProgress() {
    if (const qint64 since = mProgressShown.isValid() ? mProgressShown.elapsed() : kProgressPaceMs;
        since < kProgressPaceMs) {
        QTimer::singleShot(kProgressPaceMs - since, this, &CMainWindow::showLatestProgress);
        return;
    }
    mProgressPending = false;
    const SProgress latest = mLatestProgress;
    mBar->setMaximum(latest.maximum);
    mBar->setValue(latest.current);
    const double elapsed = static_cast<double>(mTransferClock.elapsed()) / 1000;
    mTimeLeft->setText(QString::fromUtf8(_("%1%, %2"))
                           .arg(latest.maximum > 0 ? latest.current * 100 / latest.maximum : 0)
                           .arg(QString::fromStdString(timeLeftText(mImageSeconds - elapsed))));
    mProgressShown.restart();
}

void CMainWindow::showFailure() {
    hideWindow();
    if (mStep >= 0) {
        showStepState(mStep, EStepState::kFailed);
    }
    mGuidance->hide();
}

// The window stays: the progress view ends, and "Complete" and the result come over it.
void CMainWindow::hideWindow() {
    mMessage->hide();
    mBar->hide();
    mTimeLeft->hide();
}

void CMainWindow::closeEvent(QCloseEvent* inEvent) {
    if (mOnClose && !mOnClose()) {
        inEvent->ignore();
        return;
    }
    inEvent->accept();
}

// The room kept for the prompts is more than a small screen at a large scale (1.5 times on
// 800 x 600) has: the window takes what the screen has, and its texts wrap.
void CMainWindow::showEvent(QShowEvent* inEvent) {
    constexpr int kFrame = 32; // a window manager's frame, about
    if (!mFitted && screen() != nullptr) {
        mFitted = true;
        const QSize room = screen()->availableGeometry().size() - QSize(kFrame, kFrame);
        setMinimumSize(minimumSize().boundedTo(room));
        resize(size().boundedTo(room));
    }
    QWidget::showEvent(inEvent);
}

void CMainWindow::runWhenPlaced(std::function<void()> inStart) {
    constexpr int kPollMs = 10;
    constexpr int kLongestWaitMs = 1000;
    QObject::disconnect(&mStart, nullptr, nullptr, nullptr);
    QObject::connect(&mStart, &QTimer::timeout, this, [this, inStart, polls = 0]() mutable {
        if (windowHandle() != nullptr && !windowHandle()->isExposed() &&
            ++polls < kLongestWaitMs / kPollMs) {
            return;
        }
        mStart.stop();
        inStart();
    });
    mStart.start(kPollMs);
}
