// A call that any thread may ask for and that runs on the main thread, in Qt's loop. Qt's
// own queued calls hand their functor to the main thread inside Qt, where ThreadSanitizer
// cannot see the hand-over; here it is a write to an eventfd and the read that follows,
// which it sees. Requests that come before the call runs are answered by one call.
#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

class CMainThreadCall {
  public:
    /// Made on the main thread.
    explicit CMainThreadCall(std::function<void()> inCall);
    ~CMainThreadCall();

    CMainThreadCall(const CMainThreadCall&) = delete;
    CMainThreadCall& operator=(const CMainThreadCall&) = delete;

    /// Any thread: the call runs soon on the main thread.
    void post();

  private:
    std::function<void()> mCall;
    int mFd;
    std::unique_ptr<QSocketNotifier> mNotifier;
};
