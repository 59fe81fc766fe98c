// A program run by a test as a script runs it: nothing to read, its output (both streams) in
// a pipe read as it comes, and signals sent.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

class CChildProcess {
  public:
    /// Starts inArguments[0] with the environment variable inEnv added ("NAME=value").
    CChildProcess(const std::vector<std::string>& inArguments,
                  const std::vector<std::string>& inEnv);
    ~CChildProcess();

    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    /// Reads output until it contains inText after the last match (true) or the time is up.
    bool expect(const std::string& inText,
                std::chrono::seconds inTimeout = std::chrono::seconds(30));
    void kill(int inSignal);
    /// Waits for the end; returns the exit status, or 128 + the signal that ended it.
    int wait(std::chrono::seconds inTimeout = std::chrono::seconds(60));
    /// All output so far.
    const std::string& output() const { return mOutput; }

  private:
    bool readSome(int inTimeoutMs);

    pid_t mPid = -1;
    int mOutputFd = -1;
    std::string mOutput;
    std::size_t mMatched = 0;
    int mStatus = -1;
};
