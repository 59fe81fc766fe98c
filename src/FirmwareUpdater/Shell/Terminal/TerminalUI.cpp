#include "TerminalUI.h"

#include "Common/DebugUtil.h"
#include "Platform/EventLoop.h"
#include "Shell/Launch/StopRule.h"
#include "Shell/Localization.h"
#include "Shell/ProgressViewController.h"
#include "Shell/VYRAppDelegate.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kProgressBarWidth = 30;
constexpr double kMaxPollSeconds = 0.05; // timers are due every 0.05 s at the most

std::string lowercase(std::string inText) {
    std::transform(inText.begin(), inText.end(), inText.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return inText;
}

std::string trim(const std::string& inText) {
    const auto first = inText.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return inText.substr(first, inText.find_last_not_of(" \t\r\n") - first + 1);
}

// "[Enter] OK   [2] Cancel": the keys that pick each button.
std::string choiceLine(const SAlert& inAlert) {
    std::string line;
    for (std::size_t i = 0; i < inAlert.buttons.size(); ++i) {
        line += i == 0 ? std::string(_("[Enter]")) + " " : "   [" + std::to_string(i + 1) + "] ";
        line += buttonTitle(inAlert.buttons[i]);
    }
    return line;
}

CTerminalUI* sDiagnosticsOwner = nullptr;

} // namespace

CTerminalUI::CTerminalUI(STerminalOptions inOptions) : mOptions(std::move(inOptions)) {
    mTerminalInput = isatty(mOptions.inputFd) != 0;
    mTerminalOutput = isatty(fileno(mOptions.output)) != 0;
    sDiagnosticsOwner = this;
    mstd::setDiagnosticSink(diagnosticLine);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        mWakeRead = fds[0];
        mWakeWrite = fds[1];
    }
    // What a stop during the transfer says: the main thread plays the firmware then, so the
    // rule's handler writes it.
    // Without a terminal nobody can press Ctrl-C: a service manager or a script stops it.
    const std::string warning =
        std::string("\n") +
        _("Interrupting now leaves VYR in update mode; run vyr-update again to resume.") + "\n" +
        (mTerminalInput ? _("Press Ctrl-C again to stop anyway.")
                        : _("Send SIGINT or SIGTERM again to stop anyway.")) +
        "\n";
    const std::string stopped =
        std::string("\n") +
        _("Stopped. VYR stays in update mode; run vyr-update again to resume.") + "\n";
    CStopRule::presentOnStandardError(warning.c_str(), stopped.c_str());
}

CTerminalUI::~CTerminalUI() {
    mstd::setDiagnosticSink(nullptr);
    sDiagnosticsOwner = nullptr;
    CStopRule::presentOnStandardError(nullptr, nullptr);
    for (int fd : {mWakeRead, mWakeWrite}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

int CTerminalUI::runModal(const SAlert& inAlert) {
    return ask(inAlert, mOptions.output);
}

int CTerminalUI::ask(const SAlert& inAlert, std::FILE* inStream) {
    // Keys pressed during the transfer, or before this prompt appeared, answer nothing.
    if (mTerminalInput) {
        tcflush(mOptions.inputFd, TCIFLUSH);
    }
    mPendingInput.clear();
    show(inAlert.message, inStream);
    if (stopRequested()) {
        return stoppedBySignal(inAlert, inStream);
    }
    std::fprintf(inStream, "%s%s\n", choiceLine(inAlert).c_str(),
                 inAlert.endsByItself ? (std::string("   ") + _("(or wait)")).c_str() : "");
    std::fflush(inStream);
    const int result = waitForAnswer(inAlert, inStream, true, -1);
    if (stopRequested()) {
        return stoppedBySignal(inAlert, inStream);
    }
    // The end of input backs out, whatever the prompt: nobody is there to answer.
    return result != -1 ? result : resultOfLastButton(inAlert);
}

int CTerminalUI::stoppedBySignal(const SAlert& inAlert, std::FILE* inStream) {
    // A lone button ("OK") is no way out: naming it would read as if it had been chosen.
    if (inAlert.buttons.size() == 1) {
        std::fprintf(inStream, "-> %s\n", _("(stopped by a signal)"));
    } else {
        std::fprintf(inStream, _("-> %s (stopped by a signal)\n"),
                     buttonTitle(inAlert.buttons.back()).c_str());
    }
    std::fflush(inStream);
    return resultOfLastButton(inAlert);
}

bool CTerminalUI::stopRequested() const {
    return CStopRule::requested();
}

int CTerminalUI::waitForAnswer(const SAlert& inAlert, std::FILE* inStream, bool inReadInput,
                               double inTimeoutSeconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(std::max(inTimeoutSeconds, 0.0)));
    for (;;) {
        const double untilTimer = RunDueEventLoopTimers();
        double wait = untilTimer < 0 ? kMaxPollSeconds : std::min(untilTimer, kMaxPollSeconds);
        if (inTimeoutSeconds >= 0) {
            const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
            if (left <= 0) {
                return -1;
            }
            wait = std::min(wait, left);
        }
        pollfd fds[3] = {{mWakeRead, POLLIN, 0},
                         {CStopRule::wakeDescriptor(), POLLIN, 0},
                         {inReadInput ? mOptions.inputFd : -1, POLLIN, 0}};
        if (poll(fds, 3, static_cast<int>(wait * 1000) + 1) <= 0) {
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            char drained = 0;
            while (read(mWakeRead, &drained, 1) == 1) {
            }
            return kModalResponseAbort;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            CStopRule::drain();
            if (stopRequested()) {
                return -1;
            }
        }
        if ((fds[2].revents & (POLLIN | POLLHUP)) != 0) {
            char buffer[256];
            const ssize_t n = read(mOptions.inputFd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return -1;
            }
            mPendingInput.append(buffer, static_cast<std::size_t>(n));
        }
        for (std::size_t end; (end = mPendingInput.find('\n')) != std::string::npos;) {
            const std::string answer = trim(mPendingInput.substr(0, end));
            mPendingInput.erase(0, end + 1);
            const int button = buttonFor(inAlert, answer);
            if (button != -1) {
                return button;
            }
            std::fprintf(inStream, _("Please answer: %s\n"), choiceLine(inAlert).c_str());
            std::fflush(inStream);
        }
    }
}

int CTerminalUI::buttonFor(const SAlert& inAlert, const std::string& inAnswer) const {
    if (inAnswer.empty()) {
        return kAlertFirstButtonReturn;
    }
    const std::string answer = lowercase(inAnswer);
    // The title shown, or the English one that the help and the scripts name.
    for (std::size_t i = 0; i < inAlert.buttons.size(); ++i) {
        for (const std::string& title :
             {lowercase(buttonTitle(inAlert.buttons[i])), lowercase(inAlert.buttons[i])}) {
            if (answer == title || answer == title.substr(0, 1) ||
                answer == std::to_string(i + 1)) {
                return resultOfButton(i);
            }
        }
    }
    return -1;
}

void CTerminalUI::abortModal() {
    const char wake = 1;
    // A full pipe already holds a pending abort: nothing is lost.
    const ssize_t ignored = write(mWakeWrite, &wake, 1);
    (void)ignored;
}

int CTerminalUI::showError(const std::string& inMessage, int inCode) {
    return ask({"error", errorText(inMessage, inCode), {N_("OK")}, false}, mOptions.errors);
}

std::string CTerminalUI::errorText(const std::string& inMessage, int inCode) {
    std::string text = _("Error") + std::string(" ") + std::to_string(inCode) + ": " + inMessage;
    if (const char* advice = adviceAfterError(inCode)) {
        text += std::string("\n") + advice;
    }
    return text;
}

void CTerminalUI::showPrompt(const SAlert& inAlert) {
    show(inAlert.message, mOptions.output);
}

void CTerminalUI::showErrorPrompt(const std::string& inMessage, int inCode) {
    show(errorText(inMessage, inCode), mOptions.errors);
}

void CTerminalUI::show(const std::string& inMessage, std::FILE* inStream) {
    // Wake-ups of stops that only warned (during the transfer) are past.
    CStopRule::drain();
    {
        const std::lock_guard<std::mutex> lock(mOutputMutex);
        endProgressLine();
    }
    std::fflush(mOptions.output);
    std::fprintf(inStream, "\n%s\n", inMessage.c_str());
    std::fflush(inStream);
    mAnswerStream = inStream;
}

void CTerminalUI::showAnswer(const std::string& inLine) {
    std::fprintf(mAnswerStream, "%s\n", inLine.c_str());
    std::fflush(mAnswerStream);
}

bool CTerminalUI::waitForAbort(double inSeconds) {
    return waitForAnswer({}, mOptions.output, false, inSeconds) == kModalResponseAbort;
}

void CTerminalUI::showNotice(const std::string& inText) {
    {
        const std::lock_guard<std::mutex> lock(mOutputMutex);
        endProgressLine();
    }
    std::fprintf(mOptions.output, "\n%s\n", inText.c_str());
    std::fflush(mOptions.output);
}

CProgressDisplay& CTerminalUI::showProgressView() {
    mTransferStart = std::chrono::steady_clock::now();
    mLastPercent = -1;
    mLoggedTenth = -1;
    return *this;
}

void CTerminalUI::setMessage(const std::string& inText) {
    mProgressMessage = inText;
}

void CTerminalUI::setProgress(int inCurrent, int inMaximum) {
    const int percent = inMaximum > 0 ? inCurrent * 100 / inMaximum : 0;
    const std::lock_guard<std::mutex> lock(mOutputMutex);
    if (percent == mLastPercent) {
        return;
    }
    mLastPercent = percent;
    std::string left;
    if (mOptions.transferSeconds > 0) {
        const std::chrono::duration<double> elapsed =
            std::chrono::steady_clock::now() - mTransferStart;
        left = ", " + timeLeftText(mOptions.transferSeconds - elapsed.count());
    }
    if (!mTerminalOutput) {
        // A log, not a display: one line per tenth.
        if (percent / 10 != mLoggedTenth) {
            mLoggedTenth = percent / 10;
            std::fprintf(mOptions.output, "%s %d%%%s\n", mProgressMessage.c_str(), percent,
                         left.c_str());
        }
    } else {
        // Never wider than the terminal, or every redraw would wrap onto a new line.
        winsize size{};
        const int columns =
            ioctl(fileno(mOptions.output), TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col
                                                                                      : 80;
        // Room for the bar beside the message, " [", "] 100%" and what follows them.
        const auto room = [&] {
            return columns - 1 - static_cast<int>(mProgressMessage.size() + left.size()) - 8;
        };
        // The time left only where there is room for it beside a bar.
        if (room() < 5) {
            left.clear();
        }
        const int width = std::min(kProgressBarWidth, room());
        std::string line = "\r" + mProgressMessage;
        if (width >= 5) {
            const int filled = percent * width / 100;
            line += " [" + std::string(filled, '#') + std::string(width - filled, ' ') + "]";
        }
        char number[8];
        std::snprintf(number, sizeof number, " %3d%%", percent);
        // Spaces over what a longer line before left at its end.
        std::string whole = line + number + left;
        const std::size_t drawn = whole.size();
        whole.append(mDrawnWidth > drawn ? mDrawnWidth - drawn : 0, ' ');
        mDrawnWidth = drawn;
        std::fputs(whole.c_str(), mOptions.output);
        mProgressLineOpen = true;
    }
    std::fflush(mOptions.output);
}

void CTerminalUI::hideWindow() {
    const std::lock_guard<std::mutex> lock(mOutputMutex);
    endProgressLine();
}

void CTerminalUI::endProgressLine() {
    if (mProgressLineOpen) {
        std::fputc('\n', mOptions.output);
        std::fflush(mOptions.output);
        mProgressLineOpen = false;
        mDrawnWidth = 0;
    }
}

void CTerminalUI::diagnosticLine(const char* inLine) {
    CTerminalUI* self = sDiagnosticsOwner;
    const std::lock_guard<std::mutex> lock(self->mOutputMutex);
    self->endProgressLine();
    std::fprintf(self->mOptions.errors, "%s\n", inLine);
}
