#include "ChildProcess.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

CChildProcess::CChildProcess(const std::vector<std::string>& inArguments,
                             const std::vector<std::string>& inEnv) {
    std::vector<char*> argv;
    for (const std::string& argument : inArguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    int output[2] = {-1, -1};
    if (pipe(output) != 0) {
        return;
    }
    mPid = fork();
    if (mPid == 0) {
        // No terminal and nothing to read, as under a script.
        const int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        dup2(output[1], STDERR_FILENO);
        for (int fd : {nothing, output[0], output[1]}) {
            close(fd);
        }
        for (const std::string& variable : inEnv) {
            putenv(const_cast<char*>(variable.c_str()));
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(output[1]);
    mOutputFd = output[0];
}

CChildProcess::~CChildProcess() {
    if (mPid > 0 && mStatus < 0) {
        ::kill(mPid, SIGKILL);
        waitpid(mPid, nullptr, 0);
    }
    if (mOutputFd >= 0) {
        close(mOutputFd);
    }
}

bool CChildProcess::readSome(int inTimeoutMs) {
    pollfd fd = {mOutputFd, POLLIN, 0};
    if (poll(&fd, 1, inTimeoutMs) <= 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t n = read(mOutputFd, buffer, sizeof buffer);
    if (n <= 0) {
        return false;
    }
    mOutput.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool CChildProcess::expect(const std::string& inText, std::chrono::seconds inTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + inTimeout;
    for (;;) {
        const std::size_t found = mOutput.find(inText, mMatched);
        if (found != std::string::npos) {
            mMatched = found + inText.size();
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 ||
            (!readSome(static_cast<int>(std::min<long>(left.count(), 200))) && mStatus >= 0)) {
            return mOutput.find(inText, mMatched) != std::string::npos;
        }
    }
}

void CChildProcess::kill(int inSignal) {
    ::kill(mPid, inSignal);
}

int CChildProcess::wait(std::chrono::seconds inTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + inTimeout;
    while (mStatus < 0) {
        int status = 0;
        const pid_t done = waitpid(mPid, &status, WNOHANG);
        if (done == mPid) {
            mStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(mPid, SIGKILL);
        }
        readSome(50); // keep draining, so a chatty child never blocks on a full pipe
    }
    while (readSome(0)) {
    }
    return mStatus;
}
