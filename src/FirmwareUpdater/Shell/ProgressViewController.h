// Controls the view that shows the transfer's progress: a line of text and a bar.
#pragma once

#include "UserInterface.h"

#include <string>

/// How long the transfer has left, for people: "about 8 s left", "about 3 min left".
std::string timeLeftText(double inSeconds);

class ProgressViewController {
  public:
    /// A bar at 0 of 100 on inDisplay; inUI shows the completion notice.
    ProgressViewController(CUserInterface& inUI, CProgressDisplay& inDisplay);

    /// Sets the view's text once it is on screen: "Now updating...".
    void awakeFromNib();
    /// Despite its name, sets the bar to inValue (no addition).
    void incrementProgressValue(int inValue);
    /// Hides the window, then shows "Complete" with "OK" and waits for it.
    int showCompleteAlert();

    int currentValue() const { return mCurrentValue; }
    int maxValue() const { return mMaxValue; }

  private:
    CUserInterface& mUI;
    CProgressDisplay& mDisplay;
    int mCurrentValue = 0;
    int mMaxValue = 100;
};
