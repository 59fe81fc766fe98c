#include "Shell/Launch/Unattended.h"

#include "Shell/Localization.h"
#include "Shell/VYRAppDelegate.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

namespace {

// The workflow polls for the heartbeat every half second, the first time after a second.
constexpr double kDevicePollSeconds = 0.5;
constexpr double kHeartbeatCheckSeconds = 1.5;

std::string oneLine(std::string inText) {
    std::replace(inText.begin(), inText.end(), '\n', ' ');
    return inText;
}

} // namespace

int CUnattended::runModal(const SAlert& inAlert) {
    mDisplay.showPrompt(inAlert);
    if (stopRequested()) {
        return backOut(inAlert, _("(stopped by a signal)"));
    }
    if (inAlert.onlyAPersonAnswers) {
        mGaveUpBecause = oneLine(inAlert.message);
        return backOut(inAlert, _("(--yes: only a person may answer this)"));
    }
    if (inAlert.endsByItself) {
        return waitForTheDevice(inAlert);
    }
    // The same question again after an error: a bounded number of tries, then back out.
    // A device that went away (it may be starting again in update mode) is waited for
    // first, and its coming back is no failed try. Notices with one button (an error,
    // "Ready") are only acknowledged.
    if (inAlert.buttons.size() > 1) {
        if (std::exchange(mDeviceMissing, false)) {
            if (!waitForADeviceThatWentAway(inAlert)) {
                return resultOfLastButton(inAlert);
            }
            mErrorSincePrompt = false;
        }
        mRepeats = inAlert.key == mLastPromptKey && mErrorSincePrompt ? mRepeats + 1 : 0;
        mLastPromptKey = inAlert.key;
        mErrorSincePrompt = false;
        if (mRepeats >= mOptions.promptRepeats) {
            mGaveUpBecause = formatted(ngettext("the same error after %d try: %s",
                                                "the same error after %d tries: %s",
                                                static_cast<unsigned long>(mRepeats)),
                                       mRepeats, mLastError.c_str());
            return backOut(inAlert, formatted(ngettext("(--yes: given up after %d try)",
                                                       "(--yes: given up after %d tries)",
                                                       static_cast<unsigned long>(mRepeats)),
                                              mRepeats));
        }
    }
    mDisplay.showAnswer("-> " + buttonTitle(inAlert.buttons.front()) + " " + _("(--yes)"));
    return kAlertFirstButtonReturn;
}

int CUnattended::showError(const std::string& inMessage, int inCode) {
    mErrorSincePrompt = true;
    mLastError = oneLine(inMessage);
    mDeviceMissing = errorMeansNoDevice(inCode);
    mDisplay.showErrorPrompt(inMessage, inCode);
    mDisplay.showAnswer(std::string("-> OK ") + _("(--yes)"));
    return kAlertFirstButtonReturn;
}

int CUnattended::waitForTheDevice(const SAlert& inAlert) {
    mDisplay.showAnswer(formatted(_("(waiting up to %g s)"), mOptions.deviceWaitSeconds));
    bool answered = mDisplay.waitForAbort(mOptions.deviceWaitSeconds);
    // A device that is there when the time is up is not "no answer": the workflow checks its
    // heartbeat only every so often, so it gets that long.
    if (!answered && !stopRequested() && mOptions.deviceListed()) {
        answered = mDisplay.waitForAbort(kHeartbeatCheckSeconds);
    }
    if (stopRequested()) {
        return backOut(inAlert, _("(stopped by a signal)"));
    }
    if (answered) {
        return kModalResponseAbort;
    }
    mGaveUpBecause = formatted(_("no VYR device answered within %g s"), mOptions.deviceWaitSeconds);
    mDisplay.showAnswer("-> " + buttonTitle(inAlert.buttons.front()) + " " +
                        _("(no answer in time)"));
    return kAlertFirstButtonReturn;
}

bool CUnattended::waitForADeviceThatWentAway(const SAlert& inAlert) {
    mDisplay.showAnswer(
        formatted(_("(waiting up to %g s for the device)"), mOptions.deviceWaitSeconds));
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(mOptions.deviceWaitSeconds));
    while (!mOptions.deviceListed()) {
        // The main loop turns meanwhile; only a stop ends the wait early.
        const bool woken = mDisplay.waitForAbort(kDevicePollSeconds);
        if (stopRequested()) {
            backOut(inAlert, _("(stopped by a signal)"));
            return false;
        }
        if (woken || Clock::now() >= deadline) {
            mGaveUpBecause = formatted(_("the device did not come back within %g s"),
                                       mOptions.deviceWaitSeconds);
            backOut(inAlert, _("(no device in time)"));
            return false;
        }
    }
    return true;
}

int CUnattended::backOut(const SAlert& inAlert, const std::string& inWhy) {
    mDisplay.showAnswer("-> " + buttonTitle(inAlert.buttons.back()) + " " + inWhy);
    return resultOfLastButton(inAlert);
}
