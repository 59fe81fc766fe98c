#include "ProgressViewController.h"

#include "Localization.h"

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
    return mUI.runModal({"Complete", _("Complete"), {"OK"}, false});
}
