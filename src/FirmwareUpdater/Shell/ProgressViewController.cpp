#include "ProgressViewController.h"

#include "Localization.h"

#include <algorithm>
#include <cmath>

std::string timeLeftText(double inSeconds) {
    const int seconds = static_cast<int>(std::ceil(std::max(0.0, inSeconds)));
    return seconds < 120 ? formatted(_("about %d s left"), seconds)
                         : formatted(_("about %d min left"), (seconds + 59) / 60);
}

ProgressViewController::ProgressViewController(CUserInterface& inUI, CProgressDisplay& inDisplay)
    : mUI(inUI), mDisplay(inDisplay) {}

void ProgressViewController::awakeFromNib() {
    mDisplay.setMessage(_("Now updating..."));
    mDisplay.setProgress(mCurrentValue, mMaxValue);
}

void ProgressViewController::incrementProgressValue(int inValue) {
    mCurrentValue = inValue;
    mDisplay.setProgress(mCurrentValue, mMaxValue);
}

int ProgressViewController::showCompleteAlert() {
    mDisplay.hideWindow();
    return mUI.runModal({"Complete", _("Complete"), {N_("OK")}, false});
}
