#include "Shell/Launch/LaunchOptions.h"

#include "Shell/Launch/PreferenceFile.h"
#include "Shell/Localization.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <string_view>

namespace {

constexpr unsigned long kMaxMessageNumber = 1'000'000;
constexpr std::size_t kHelpColumn = 28;
constexpr std::size_t kHelpWidth = 80;

std::size_t columnsOf(std::string_view inText) {
    // UTF-8: every byte but a continuation byte starts a character.
    return static_cast<std::size_t>(std::count_if(inText.begin(), inText.end(), [](char inByte) {
        return (static_cast<unsigned char>(inByte) & 0xC0) != 0x80;
    }));
}

// inText's paragraphs (split at blank lines) filled into lines of at most inWidth
// characters, each after the first indented by inIndent: every translation fits, however
// long its words, and the catalogue's own line breaks do not matter.
std::string filled(std::string_view inText, std::size_t inWidth, std::size_t inIndent) {
    std::string text;
    std::size_t column = 0;
    bool lineStart = true;
    for (std::size_t i = 0; i < inText.size();) {
        if (inText.substr(i, 2) == "\n\n") {
            for (; i < inText.size() && inText[i] == '\n'; ++i) {
                text += '\n';
            }
            column = 0;
            lineStart = true;
            continue;
        }
        if (inText[i] == ' ' || inText[i] == '\n') {
            ++i;
            continue;
        }
        const std::size_t end = std::min(inText.find_first_of(" \n", i), inText.size());
        const std::string_view word = inText.substr(i, end - i);
        if (!lineStart && column + 1 + columnsOf(word) > inWidth) {
            text += '\n';
            text.append(inIndent, ' ');
            column = 0;
        } else if (!lineStart) {
            text += ' ';
            ++column;
        }
        text += word;
        column += columnsOf(word);
        lineStart = false;
        i = end;
    }
    return text;
}

// The options every front-end has; the front-end's own come first in the help.
std::vector<SFrontEndOption> sharedOptions(SLaunchOptions& ioOptions, bool& outHelp,
                                           bool& outVersion) {
    const auto messageNumber = [](const char* inName, std::uint32_t& outK) {
        return [inName, &outK](const char* inValue) {
            unsigned long value = 0;
            std::string error = parseNumber(inName, inValue, 1, kMaxMessageNumber, value);
            outK = static_cast<std::uint32_t>(value);
            return error;
        };
    };
    // "--firmware --sim-absent" is a forgotten value, not a file; ./--x names such a file.
    const auto path = [](const char* inName, std::string& outPath) {
        return [inName, &outPath](const char* inValue) {
            if (inValue[0] == '-' && inValue[1] == '-') {
                return std::string(inName) + ": " + _("a file name is needed, not the option") +
                       " " + inValue;
            }
            if (inValue[0] == '\0') {
                return std::string(inName) + ": " + _("a file name is needed");
            }
            outPath = inValue;
            return std::string();
        };
    };
    const auto midiSystem = [&ioOptions](const char* inValue) {
        const std::string value = inValue;
        if (value != "alsa" && value != "virtual") {
            return std::string("--midi: ") + _("alsa or virtual, not") + " \"" + value + "\"";
        }
        (value == "alsa" ? ioOptions.alsaAsked : ioOptions.simulate) = true;
        return std::string();
    };
    SSimulationOptions& sim = ioOptions.simulation;
    return {
        {"midi", 0, "SYSTEM",
         N_("where devices are found: alsa (real devices, the default)\n"
            "or virtual (the simulated device, as --simulate)"),
         midiSystem},
        {"device", 0, "TEXT",
         N_("use only MIDI ports whose name or address contains TEXT\n"
            "(for two devices plugged in at once)"),
         [&ioOptions](const char* inValue) {
             if (inValue[0] == '\0') {
                 return std::string("--device: ") + _("a name or address is needed");
             }
             ioOptions.device = inValue;
             return std::string();
         }},
        {"simulate", 0, nullptr, N_("update a simulated VYR device (no hardware needed)"),
         setsFlag(ioOptions.simulate)},
        {"firmware", 0, "FILE", N_("play FILE instead of the bundled image"),
         path("--firmware", ioOptions.firmwarePath)},
        {"prefs", 0, "FILE", N_("keep the update status in FILE"),
         path("--prefs", ioOptions.prefsPath)},
        {"sim-absent", 0, nullptr, N_("simulated device: not connected"), setsFlag(sim.absent)},
        {"sim-normal-mode", 0, nullptr, N_("simulated device: stays in normal mode"),
         setsFlag(sim.staysInNormalMode)},
        {"sim-fail-at", 0, "K", N_("simulated device: refuses the K-th firmware message and later"),
         messageNumber("--sim-fail-at", sim.failAt)},
        {"sim-vanish-at", 0, "K", N_("simulated device: unplugged after the K-th firmware message"),
         messageNumber("--sim-vanish-at", sim.vanishAt)},
        {"sim-service-fault-at", 0, "K",
         N_("the MIDI service fails unexpectedly at the K-th message"),
         messageNumber("--sim-service-fault-at", sim.serviceFaultAt)},
        {"help", 'h', nullptr, N_("show this help"), setsFlag(outHelp)},
        {"version", 0, nullptr, N_("show the version"), setsFlag(outVersion)},
    };
}

std::string helpLine(const SFrontEndOption& inOption) {
    std::string line = inOption.shortName != 0 ? std::string("  -") + inOption.shortName + ", "
                                               : std::string("      ");
    line += std::string("--") + inOption.name;
    if (inOption.valueName != nullptr) {
        line += std::string(" ") + inOption.valueName;
    }
    line += line.size() + 2 <= kHelpColumn ? std::string(kHelpColumn - line.size(), ' ')
                                           : "\n" + std::string(kHelpColumn, ' ');
    return line + filled(_(inOption.help), kHelpWidth - kHelpColumn, kHelpColumn) + "\n";
}

void printHelp(const SProgram& inProgram, const std::vector<SFrontEndOption>& inOptions) {
    std::printf(_("usage: %s [OPTIONS]\n\n%s\noptions:\n"), inProgram.name,
                (filled(_(inProgram.about), kHelpWidth, 0) + "\n").c_str());
    for (const SFrontEndOption& option : inOptions) {
        std::fputs(helpLine(option).c_str(), stdout);
    }
    std::printf("\n%s\n", filled(_(inProgram.epilogue), kHelpWidth, 0).c_str());
}

int usageError(const SProgram& inProgram, const std::string& inMessage, std::string* outError) {
    if (outError != nullptr) {
        *outError = inMessage;
    } else {
        std::fprintf(stderr, _("%s: %s\n(see %s --help)\n"), inProgram.name, inMessage.c_str(),
                     inProgram.name);
    }
    return kExitUsage;
}

// What the options say together that none says alone.
std::string conflicts(const SLaunchOptions& inOptions) {
    const SSimulationOptions& sim = inOptions.simulation;
    const bool anyMisbehaviour =
        sim.staysInNormalMode || sim.failAt != 0 || sim.vanishAt != 0 || sim.serviceFaultAt != 0;
    if ((sim.absent || anyMisbehaviour) && !inOptions.simulate) {
        return _("the --sim-* options need --simulate");
    }
    if (sim.absent && anyMisbehaviour) {
        return _("--sim-absent cannot be combined with another --sim-* option: there is no device "
                 "to misbehave");
    }
    if (inOptions.simulate && inOptions.alsaAsked) {
        return _("the simulated device is on the virtual MIDI system, not --midi=alsa");
    }
    return {};
}

} // namespace

std::function<std::string(const char*)> setsFlag(bool& outFlag) {
    return [&outFlag](const char*) {
        outFlag = true;
        return std::string();
    };
}

std::string parseNumber(const char* inOption, const char* inValue, unsigned long inMin,
                        unsigned long inMax, unsigned long& outValue) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(inValue, &end, 10);
    if (inValue[0] < '0' || inValue[0] > '9' || *end != '\0' || errno != 0 || value < inMin ||
        value > inMax) {
        char text[256];
        std::snprintf(text, sizeof text, _("%s needs a whole number from %lu to %lu, not \"%s\""),
                      inOption, inMin, inMax, inValue);
        return text;
    }
    outValue = value;
    return {};
}

std::optional<int> parseLaunchOptions(int argc, char** argv, const SProgram& inProgram,
                                      const std::vector<SFrontEndOption>& inOwnOptions,
                                      SLaunchOptions& outOptions, std::string* outError) {
    bool help = false;
    bool version = false;
    std::vector<SFrontEndOption> options = inOwnOptions;
    for (SFrontEndOption& shared : sharedOptions(outOptions, help, version)) {
        options.push_back(std::move(shared));
    }

    std::vector<option> table;
    std::string shortOptions = ":"; // a missing value is told apart from an unknown option
    for (std::size_t i = 0; i < options.size(); ++i) {
        const int hasArg = options[i].valueName != nullptr ? required_argument : no_argument;
        table.push_back({options[i].name, hasArg, nullptr, static_cast<int>(256 + i)});
        if (options[i].shortName != 0) {
            shortOptions += options[i].shortName;
            shortOptions += hasArg == required_argument ? ":" : "";
        }
    }
    table.push_back({nullptr, 0, nullptr, 0});

    opterr = 0;
    optind = 0; // 0: also resets getopt's state, so a second parse starts afresh
    for (int c; (c = getopt_long(argc, argv, shortOptions.c_str(), table.data(), nullptr)) != -1;) {
        if (c == '?' || c == ':') {
            // A long option's optopt is its table value (256 and up) or 0.
            const std::string which = optopt > 0 && optopt < 256
                                          ? std::string("-") + static_cast<char>(optopt)
                                          : argv[optind - 1];
            return usageError(inProgram,
                              std::string(c == '?' ? _("unknown option") : _("missing value for")) +
                                  " " + which,
                              outError);
        }
        std::size_t index = 0;
        if (c >= 256) {
            index = static_cast<std::size_t>(c - 256);
        } else {
            while (options[index].shortName != c) {
                ++index;
            }
        }
        const std::string error = options[index].apply(optarg);
        if (!error.empty()) {
            return usageError(inProgram, error, outError);
        }
    }
    if (help) {
        printHelp(inProgram, options);
        return 0;
    }
    if (version) {
        std::printf("%s %s\n", inProgram.name, inProgram.version);
        return 0;
    }
    if (optind < argc) {
        return usageError(inProgram, std::string(_("unexpected argument")) + " " + argv[optind],
                          outError);
    }
    if (const std::string error = conflicts(outOptions); !error.empty()) {
        return usageError(inProgram, error, outError);
    }
    // A file the user named is never moved or replaced: what is no status file is refused
    // now, before anything is done.
    if (const std::string problem = outOptions.prefsPath.empty()
                                        ? std::string()
                                        : CPreferenceFile::refusalOf(outOptions.prefsPath);
        !problem.empty()) {
        return usageError(inProgram,
                          "--prefs " + outOptions.prefsPath + ": " + problem + "; " +
                              _("name a status file (a property list) or a file that does not "
                                "exist yet"),
                          outError);
    }
    return std::nullopt;
}
