// A program run by a test as a script runs it: nothing to read, its output in files read as
// it comes (a child never waits on a reader), and signals sent.
#pragma once

#include "TestDirectory.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class CChildProcess {
  public:
    /// Starts inArguments[0] with the variables inEnv ("NAME=value") added; its standard error
    /// goes to errors() when inSeparateErrors, else to output() with standard output.
    CChildProcess(const std::vector<std::string>& inArguments,
                  const std::vector<std::string>& inEnv, bool inSeparateErrors = false)
        : mErrors(mFiles.file(inSeparateErrors ? "errors" : "output")) {
        std::vector<char*> argv;
        for (const std::string& argument : inArguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        mPid = fork();
        if (mPid == 0) {
            for (const std::string& variable : inEnv) {
                putenv(const_cast<char*>(variable.c_str()));
            }
            // No terminal and nothing to read, as under a script.
            const auto file = [](const std::string& inPath) {
                return open(inPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            };
            dup2(open("/dev/null", O_RDONLY | O_CLOEXEC), STDIN_FILENO);
            dup2(file(mOutput), STDOUT_FILENO);
            dup2(inSeparateErrors ? file(mErrors) : STDOUT_FILENO, STDERR_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~CChildProcess() {
        if (!ended()) {
            ::kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
    }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    /// Waits until the output (inErrors: the separate errors) holds inText after the last
    /// match (true), it ended or time is up.
    bool expect(const std::string& inText,
                std::chrono::seconds inTimeout = std::chrono::seconds(30), bool inErrors = false) {
        const auto deadline = std::chrono::steady_clock::now() + inTimeout;
        for (;;) {
            const bool over = ended() || std::chrono::steady_clock::now() > deadline;
            // Read after the check: what came before the end is seen.
            const std::size_t found = (inErrors ? errors() : output()).find(inText, mMatched);
            if (found != std::string::npos) {
                mMatched = found + inText.size();
                return true;
            }
            if (over) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void kill(int inSignal) { ::kill(mPid, inSignal); }
    /// Waits for the end; returns the exit status, or 128 + the signal that ended it.
    int wait(std::chrono::seconds inTimeout = std::chrono::seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + inTimeout;
        while (!ended()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(mPid, SIGKILL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return mStatus;
    }
    std::string output() const { return CTestDirectory::read(mOutput); }
    std::string errors() const { return CTestDirectory::read(mErrors); }

  private:
    bool ended() {
        int status = 0;
        if (mStatus < 0 && waitpid(mPid, &status, WNOHANG) == mPid) {
            mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return mStatus >= 0;
    }

    CTestDirectory mFiles;
    std::string mOutput = mFiles.file("output");
    std::string mErrors;
    pid_t mPid = -1;
    std::size_t mMatched = 0;
    int mStatus = -1;
};
