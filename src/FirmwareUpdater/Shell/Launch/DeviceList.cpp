#include "Shell/Launch/DeviceList.h"

#include "Platform/Utf8.h"

#include "Common/DTAMIDIManager_Mac.h"
#include "Common/VYRController.h"
#include "Shell/Localization.h"

#include <vector>

namespace {

std::string property(MIDIEndpointRef inEndpoint, CFStringRef inProperty, bool* outRead = nullptr) {
    CFStringRef value = nullptr;
    const bool read = MIDIObjectGetStringProperty(inEndpoint, inProperty, &value) == noErr;
    std::string text;
    getStringFromCFString(value, text, kCFStringEncodingUTF8);
    if (value != nullptr) {
        CFRelease(value);
    }
    if (outRead != nullptr) {
        *outRead = read;
    }
    return text;
}

std::vector<SEndpointText> listEndpoints(bool inSources) {
    std::vector<SEndpointText> endpoints;
    const ItemCount count = inSources ? MIDIGetNumberOfSources() : MIDIGetNumberOfDestinations();
    for (ItemCount i = 0; i < count; ++i) {
        endpoints.push_back(describeEndpoint(inSources ? MIDIGetSource(i) : MIDIGetDestination(i)));
    }
    return endpoints;
}

// The models the manager would list (readable ones), with each one's place in inEndpoints.
std::vector<std::string> readableModels(const std::vector<SEndpointText>& inEndpoints,
                                        std::vector<std::size_t>& outPlaces) {
    std::vector<std::string> models;
    for (std::size_t i = 0; i < inEndpoints.size(); ++i) {
        if (inEndpoints[i].modelReadable) {
            models.push_back(inEndpoints[i].model);
            outPlaces.push_back(i);
        }
    }
    return models;
}

std::string column(const std::string& inText, std::size_t inWidth) {
    return inText.size() >= inWidth ? inText + " "
                                    : inText + std::string(inWidth - inText.size(), ' ');
}

std::string section(const char* inTitle, const std::vector<SEndpointText>& inEndpoints,
                    std::optional<std::size_t> inPicked) {
    std::string text = std::string(inTitle) + "\n";
    if (inEndpoints.empty()) {
        return text + "  " + _("(none)") + "\n";
    }
    // Appended piece by piece: GCC 12 at -O3 warns falsely about "text" + std::string&&.
    text += "  ";
    text += column(_("ADDRESS"), 14);
    text += column(_("MODEL"), 24);
    text += _("NAME");
    text += "\n";
    for (std::size_t i = 0; i < inEndpoints.size(); ++i) {
        const SEndpointText& e = inEndpoints[i];
        std::string line = "  ";
        // A device names itself: what a terminal would act on is shown escaped.
        line += column(PrintableText(e.address), 14);
        line += column(e.modelReadable ? PrintableText(e.model) : std::string("?"), 24);
        line += column(PrintableText(e.name), 28);
        if (i == inPicked) {
            line += _("VYR device, the updater would use it");
        } else if (isVYR(e)) {
            line += _("VYR device");
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        text += line + "\n";
    }
    return text;
}

} // namespace

SEndpointText describeEndpoint(MIDIEndpointRef inEndpoint) {
    SEndpointText text;
    text.model = property(inEndpoint, kMIDIPropertyModel, &text.modelReadable);
    text.name = property(inEndpoint, kMIDIPropertyName);
    text.address = property(inEndpoint, kMIDIPropertyAddress);
    return text;
}

bool isVYR(const SEndpointText& inEndpoint) {
    return inEndpoint.modelReadable && CVYRController::isFamilyModel(inEndpoint.model);
}

SMIDIDevices listMIDIDevices() {
    SMIDIDevices devices{listEndpoints(true), listEndpoints(false), {}, {}};
    std::vector<std::size_t> sourcePlaces;
    std::vector<std::size_t> destinationPlaces;
    const std::vector<std::string> sourceModels = readableModels(devices.sources, sourcePlaces);
    const std::vector<std::string> destinationModels =
        readableModels(devices.destinations, destinationPlaces);
    std::size_t source = 0;
    std::size_t destination = 0;
    if (CVYRController::pickDevice(sourceModels, destinationModels, source, destination)) {
        devices.usedSource = sourcePlaces[source];
        devices.usedDestination = destinationPlaces[destination];
    }
    return devices;
}

std::string describeMIDIDevices() {
    const SMIDIDevices devices = listMIDIDevices();
    std::string text = section(_("MIDI sources (the updater listens to one):"), devices.sources,
                               devices.usedSource);
    text += "\n";
    text += section(_("MIDI destinations (the updater sends to one):"), devices.destinations,
                    devices.usedDestination);
    if (!devices.usedSource) {
        text += _("No VYR device with both a source and a destination: the updater would wait "
                  "for one.");
        text += "\n";
    }
    return text;
}
