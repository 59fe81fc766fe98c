// The tool's commands. Each returns the process's exit status.
#pragma once

#include <string>

inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1; // a file refused, unreadable or unwritable

int runInfo(const std::string& inPath);
int runDump(const std::string& inPath);
int runSchedule(const std::string& inPath);
int runRewrite(const std::string& inPath, const std::string& inOutPath, bool inSort);

/// Writes "vyr-fwtool: PATH: REASON" to stderr and returns kExitRefused.
int reportFailure(const std::string& inPath, const std::string& inReason);
