#include "Shell/LaunchJson.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// The length of the valid UTF-8 sequence at inText[inAt], 0 when there is none.
std::size_t utf8Length(const std::string& inText, std::size_t inAt) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(inText[i]); };
    const unsigned char lead = byte(inAt);
    std::size_t length = 0;
    unsigned minimum = 0;
    unsigned value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, value = lead & 0x07u;
    } else {
        return 0;
    }
    if (inAt + length > inText.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(inAt + i) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(inAt + i) & 0x3Fu);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    return value >= minimum && value <= 0x10FFFF && !surrogate ? length : 0;
}

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
            const std::size_t length = utf8Length(inText, i);
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
               .field("outcome", jsonString(inResult.outcome))
               .field("exit_status", std::to_string(inResult.exitStatus))
               .field("message", jsonString(inResult.message))
               .field("device", device(facts.device))
               .field("messages_sent", std::to_string(transfer.messages))
               .field("messages_in_image", std::to_string(transfer.scheduled))
               .field("bytes_sent", std::to_string(transfer.bytes))
               .field("resumed", jsonBool(facts.resumed))
               .field("seconds", jsonNumber(inResult.seconds))
               .field("transfer_seconds", jsonNumber(transferSeconds))
               .field("simulation", simulation(facts.simulation))
               .close() +
           "\n";
}
