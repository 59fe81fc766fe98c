#include "Shell/Launch/LaunchJson.h"

#include "Platform/Utf8.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

class CObject {
  public:
    CObject& field(const char* inName, const std::string& inJson) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely about "text" + std::string&&.
        mText += mText.empty() ? "{" : ",";
        mText += jsonString(inName);
        mText += ":";
        mText += inJson;
        return *this;
    }
    std::string close() const { return mText.empty() ? "{}" : mText + "}"; }

  private:
    std::string mText;
};

std::string jsonBool(bool inValue) {
    return inValue ? "true" : "false";
}

std::string device(const std::optional<SEndpointText>& inDevice) {
    if (!inDevice) {
        return "null";
    }
    return CObject()
        .field("model", jsonString(inDevice->model))
        .field("name", jsonString(inDevice->name))
        .field("address", jsonString(inDevice->address))
        .close();
}

std::string simulation(const std::optional<STransferReport>& inReport) {
    if (!inReport) {
        return "null";
    }
    return CObject()
        .field("messages_expected", std::to_string(inReport->expected))
        .field("messages_received", std::to_string(inReport->received))
        .field("identical", jsonBool(inReport->identical))
        .field("first_difference", jsonString(inReport->firstDifference))
        .field("lateness_ms", CObject()
                                  .field("min", jsonNumber(inReport->lateMinMs))
                                  .field("median", jsonNumber(inReport->lateMedianMs))
                                  .field("p99", jsonNumber(inReport->lateP99Ms))
                                  .field("max", jsonNumber(inReport->lateMaxMs))
                                  .close())
        .field("early_messages", std::to_string(inReport->earlyCount))
        .close();
}

} // namespace

std::string jsonString(const std::string& inText) {
    std::string json = "\"";
    for (std::size_t i = 0; i < inText.size();) {
        const auto c = static_cast<unsigned char>(inText[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8SequenceLength(std::string_view(inText).substr(i));
            json += length != 0 ? inText.substr(i, length) : "\\ufffd";
            i += length != 0 ? length : 1;
            continue;
        }
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += static_cast<char>(c);
        }
        ++i;
    }
    return json + "\"";
}

std::string jsonNumber(double inValue) {
    if (!std::isfinite(inValue)) {
        return "null";
    }
    char text[64];
    const auto [end, error] = std::to_chars(
        text, text + sizeof text, std::round(inValue * 1000) / 1000, std::chars_format::fixed, 3);
    return error == std::errc() ? std::string(text, end) : "null";
}

std::string launchResultJson(const SLaunchResult& inResult) {
    const SLaunchFacts& facts = inResult.facts;
    const CVYRController::STransferTally& transfer = facts.transfer;
    const double transferSeconds =
        transfer.started != 0 ? static_cast<double>(transfer.ended - transfer.started) / 1e9 : 0;
    return CObject()
               .field("outcome", jsonString(inResult.ending->name))
               .field("exit_status", std::to_string(inResult.ending->exitStatus))
               .field("message", jsonString(inResult.message))
               .field("device", device(facts.device))
               .field("messages_sent", std::to_string(transfer.messages))
               .field("messages_in_image", std::to_string(transfer.scheduled))
               .field("bytes_sent", std::to_string(transfer.bytes))
               .field("resumed", jsonBool(facts.resumed))
               .field("kept_awake", facts.keptAwake ? jsonBool(*facts.keptAwake) : "null")
               .field("seconds", jsonNumber(inResult.seconds))
               .field("transfer_seconds", jsonNumber(transferSeconds))
               .field("simulation", simulation(facts.simulation))
               .close() +
           "\n";
}

std::string midiDevicesJson(const SMIDIDevices& inDevices) {
    const auto list = [](const std::vector<SEndpointText>& inEndpoints,
                         std::optional<std::size_t> inUsed) {
        std::string json = "[";
        for (std::size_t i = 0; i < inEndpoints.size(); ++i) {
            const SEndpointText& e = inEndpoints[i];
            json += i == 0 ? "" : ",";
            json += CObject()
                        .field("address", jsonString(e.address))
                        .field("model", e.modelReadable ? jsonString(e.model) : "null")
                        .field("name", jsonString(e.name))
                        .field("vyr", jsonBool(isVYR(e)))
                        .field("used", jsonBool(inUsed == i))
                        .close();
        }
        return json + "]";
    };
    return CObject()
               .field("sources", list(inDevices.sources, inDevices.usedSource))
               .field("destinations", list(inDevices.destinations, inDevices.usedDestination))
               .close() +
           "\n";
}
