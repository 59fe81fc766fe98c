// vyr-update --list: every endpoint, the VYR devices marked, and the pair the updater would
// open, also when --device narrows the search.
#include "Shell/Launch/DeviceList.h"
#include "Platform/Virtual/VirtualMIDIService.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceList, MarksTheVYRDevicesAndThePairTheUpdaterWouldUse) {
    const auto service = std::make_shared<CVirtualMIDIService>();
    service->addSource("Keyboard", "Keys");
    const auto hidden = service->addSource("VYR5", "unreadable");
    service->setPropertyReadable(hidden, CMIDIDriver::EProperty::kModel, false);
    service->addSource("VYR10", "VYR10 A");
    service->addSource("VYR5", "VYR5 B");
    service->addDestination("VYR5", "VYR5 B");
    service->addDestination("VYR10", "VYR10 A");
    const struct {
        const char* filter;
        std::vector<const char*> lines;
    } cases[] = {
        {"",
         {"MIDI sources (the updater listens to one):\n",
          "  virtual:1     Keyboard                Keys\n",
          "  virtual:2     ?                       unreadable\n",
          "  virtual:3     VYR10                   VYR10 A                     VYR device, the "
          "updater would use it\n",
          "  virtual:4     VYR5                    VYR5 B                      VYR device\n",
          "  virtual:3     VYR10                   VYR10 A                     VYR device, the "
          "updater would use it\n"}},
        // A port's address alone: it names the source and the destination.
        {"virtual:3",
         {"listens to one):\n  ADDRESS       MODEL                   NAME\n"
          "  virtual:3     VYR10                   VYR10 A                     VYR device, the "
          "updater would use it\n",
          "sends to one):\n  ADDRESS       MODEL                   NAME\n"
          "  virtual:3     VYR10                   VYR10 A                     VYR device, the "
          "updater would use it\n"}},
        {"B",
         {"  virtual:4     VYR5                    VYR5 B                      VYR device, the "
          "updater would use it\n"}},
        {"Keys",
         {"Keys\n", "MIDI destinations (the updater sends to one):\n  (none)\n",
          "No VYR device with both a source and a destination"}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(MIDIServiceInstallDriver(service, c.filter), noErr);
        const std::string text = describeMIDIDevices();
        for (const char* line : c.lines) {
            EXPECT_NE(text.find(line), std::string::npos) << c.filter << ": " << line << "\n"
                                                          << text;
        }
    }
    (void)MIDIServiceInstallDriver(nullptr);
}

} // namespace
