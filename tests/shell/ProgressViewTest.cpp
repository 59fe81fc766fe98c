#include "Shell/ProgressViewController.h"

#include <gtest/gtest.h>

namespace {

struct SRecordingUI : CUserInterface, CProgressDisplay {
    std::vector<std::string> calls;
    int runModal(const SAlert& inAlert) override {
        calls.push_back("modal " + inAlert.message + " [" + inAlert.buttons.at(0) + "]");
        return kAlertFirstButtonReturn;
    }
    void abortModal() override {}
    int showError(const std::string&, int) override { return kAlertFirstButtonReturn; }
    CProgressDisplay& showProgressView() override { return *this; }
    void showNotice(const std::string&) override {}
    std::optional<std::vector<std::uint8_t>> resource(const std::string&,
                                                      const std::string&) override {
        return {};
    }
    void log(const std::string&) override {}
    void setMessage(const std::string& inText) override { calls.push_back("message " + inText); }
    void setProgress(int inCurrent, int inMaximum) override {
        calls.push_back("progress " + std::to_string(inCurrent) + "/" + std::to_string(inMaximum));
    }
    void hideWindow() override { calls.push_back("hide"); }
};

TEST(ProgressView, SetsTheValueNotAddsAndHidesBeforeComplete) {
    SRecordingUI ui;
    ProgressViewController controller(ui, ui);
    EXPECT_EQ(controller.maxValue(), 100);
    EXPECT_EQ(controller.currentValue(), 0);
    controller.awakeFromNib();
    controller.incrementProgressValue(30);
    controller.incrementProgressValue(40);
    EXPECT_EQ(controller.currentValue(), 40);
    controller.incrementProgressValue(20); // stored as it comes
    EXPECT_EQ(controller.currentValue(), 20);
    controller.showCompleteAlert();
    EXPECT_EQ(ui.calls, (std::vector<std::string>{
                            "message Now updating...", "progress 0/100", "progress 30/100",
                            "progress 40/100", "progress 20/100", "hide", "modal Complete [OK]"}));
}

} // namespace
