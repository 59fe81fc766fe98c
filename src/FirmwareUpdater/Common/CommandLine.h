// The command line of every program of the project: a table of options parsed with
// getopt_long (--opt=value, --, short forms, operands anywhere), whole numbers with stated
// ranges, one style of usage error, and --help filled from the same table.
#pragma once

#include "Common/Gettext.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// The exit status of a usage error, unless a program states its own.
inline constexpr int kExitUsage = 64;

struct SOption {
    const char* name;      // long name, without "--"
    char shortName;        // 0: none
    const char* valueName; // nullptr: takes no value
    const char* help;      // marked for the catalogue with N_; may span lines
    /// Takes the value (nullptr for a flag); returns "" or what is wrong with it.
    std::function<std::string(const char* inValue)> apply;
};

/// A command of a program that has them, as its help lists it.
struct SSubcommand {
    const char* synopsis; // "info FILE"
    const char* help;
};

struct SProgram {
    const char* name;
    const char* version;
    const char* about;                      // after the usage line
    const char* epilogue;                   // after the options
    const char* operands = N_("[OPTIONS]"); // after the name on the usage line
    int usageExit = kExitUsage;
    std::span<const SSubcommand> subcommands = {};
};

/// Parses the command line against inOptions (-h/--help and --version come with every
/// program) and puts the operands in outOperands. Returns nothing when the program should
/// go on; otherwise the exit status to end with, having printed the help or the version to
/// stdout (0) or the error to stderr (inProgram.usageExit). With outError, an error is put
/// there instead of printed (a window shows it).
std::optional<int> parseCommandLine(int argc, char** argv, const SProgram& inProgram,
                                    std::vector<SOption> inOptions,
                                    std::vector<std::string>& outOperands,
                                    std::string* outError = nullptr);

/// Prints "NAME: MESSAGE" and where to find help to stderr, or puts the message in outError;
/// returns inProgram.usageExit.
int usageError(const SProgram& inProgram, const std::string& inMessage,
               std::string* outError = nullptr);

/// An option's action that sets outFlag (which must outlive the parse).
std::function<std::string(const char*)> setsFlag(bool& outFlag);

/// An option's action that stores its value, which may not be empty, in outText (which must
/// outlive the parse).
std::function<std::string(const char*)> setsText(const char* inOption, std::string& outText);

/// Reads inValue as a whole number from inMin to inMax into outValue; returns "" or what is
/// wrong, naming inOption and the range.
std::string parseNumber(const char* inOption, const char* inValue, unsigned long inMin,
                        unsigned long inMax, unsigned long& outValue);

/// An option's action that reads a whole number from inMin to inMax into outValue (which
/// must outlive the parse), a number or a duration.
template <typename Number>
std::function<std::string(const char*)> setsNumber(const char* inOption, unsigned long inMin,
                                                   unsigned long inMax, Number& outValue) {
    return [=, &outValue](const char* inValue) {
        unsigned long value = 0;
        std::string error = parseNumber(inOption, inValue, inMin, inMax, value);
        if (error.empty()) {
            outValue = static_cast<Number>(value);
        }
        return error;
    };
}
