#include "Common/CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <string_view>

namespace {

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

// "  -h, --help   text": the text filled beside the name, or below a long one.
std::string helpLine(std::string inName, const char* inHelp) {
    inName += inName.size() + 2 <= kHelpColumn ? std::string(kHelpColumn - inName.size(), ' ')
                                               : "\n" + std::string(kHelpColumn, ' ');
    return inName + filled(_(inHelp), kHelpWidth - kHelpColumn, kHelpColumn) + "\n";
}

std::string optionName(const SOption& inOption) {
    std::string name = inOption.shortName != 0 ? std::string("  -") + inOption.shortName + ", "
                                               : std::string("      ");
    name += std::string("--") + inOption.name;
    if (inOption.valueName != nullptr) {
        name += std::string(" ") + _(inOption.valueName);
    }
    return name;
}

void printHelp(const SProgram& inProgram, const std::vector<SOption>& inOptions) {
    std::printf(_("usage: %s %s\n\n%s\n"), inProgram.name, _(inProgram.operands),
                filled(_(inProgram.about), kHelpWidth, 0).c_str());
    if (!inProgram.subcommands.empty()) {
        std::printf("\n%s\n", _("commands:"));
        for (const SSubcommand& command : inProgram.subcommands) {
            std::fputs(helpLine(std::string("  ") + command.synopsis, command.help).c_str(),
                       stdout);
        }
    }
    std::printf("\n%s\n", _("options:"));
    for (const SOption& option : inOptions) {
        std::fputs(helpLine(optionName(option), option.help).c_str(), stdout);
    }
    std::printf("\n%s\n", filled(_(inProgram.epilogue), kHelpWidth, 0).c_str());
}

} // namespace

int usageError(const SProgram& inProgram, const std::string& inMessage, std::string* outError) {
    if (outError != nullptr) {
        *outError = inMessage;
    } else {
        std::fprintf(stderr, _("%s: %s\n(see %s --help)\n"), inProgram.name, inMessage.c_str(),
                     inProgram.name);
    }
    return inProgram.usageExit;
}

std::optional<int> parseCommandLine(int argc, char** argv, const SProgram& inProgram,
                                    std::vector<SOption> options,
                                    std::vector<std::string>& outOperands, std::string* outError) {
    bool help = false;
    bool version = false;
    options.push_back({"help", 'h', nullptr, N_("show this help"), setsFlag(help)});
    options.push_back({"version", 0, nullptr, N_("show the version"), setsFlag(version)});

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
    outOperands.assign(argv + optind, argv + argc);
    return std::nullopt;
}

std::string parseNumber(const char* inOption, const char* inValue, unsigned long inMin,
                        unsigned long inMax, unsigned long& outValue) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(inValue, &end, 10);
    if (inValue[0] < '0' || inValue[0] > '9' || *end != '\0' || errno != 0 || value < inMin ||
        value > inMax) {
        return formatted(_("%s needs a whole number from %lu to %lu, not \"%s\""), inOption, inMin,
                         inMax, inValue);
    }
    outValue = value;
    return {};
}

std::function<std::string(const char*)> setsFlag(bool& outFlag) {
    return [&outFlag](const char*) {
        outFlag = true;
        return std::string();
    };
}

std::function<std::string(const char*)> setsText(const char* inOption, std::string& outText) {
    return [inOption, &outText](const char* inValue) {
        if (inValue[0] == '\0') {
            return std::string(inOption) + ": " + _("a value is needed");
        }
        outText = inValue;
        return std::string();
    };
}
