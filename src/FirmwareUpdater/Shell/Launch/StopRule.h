// What a stop request (SIGINT, SIGTERM, SIGHUP) means, once for the whole process and every
// front-end. Before the transfer a stop backs out of the open or next prompt, so the run ends
// in order with nothing sent. During the transfer the first stop only warns (stopping leaves
// the device in update mode) and a second one ends the program at once with 130, the status
// lock let go; a hang-up (a closed terminal, a session that ends) never cuts a transfer
// short, and Ctrl-Z (SIGTSTP) during it only warns. A second stop outside the transfer ends
// the program at once too.
//
// The handler decides and wakes a descriptor that the front-end's wait watches; front-ends
// only present: the terminal by lines the handler writes for it, a window by its own warning.
#pragma once

class CStatusLock;

class CStopRule {
  public:
    /// Catches the stop signals from now on; at the program's start, so that a request made
    /// while it starts is not lost. Idempotent.
    static void install();
    /// Readable after each stop request: a front-end's wait watches it, drain() empties it.
    static int wakeDescriptor();
    static void drain();
    /// True once a stop was asked for outside the transfer: no transfer may begin, and every
    /// prompt backs out.
    static bool requested();
    /// True once the first stop during the transfer was warned of.
    static bool warned();
    /// Lines the handler writes to standard error: inWarning after the first stop during the
    /// transfer (or Ctrl-Z), inStopped before the program ends at once. Either may be null.
    static void presentOnStandardError(const char* inWarning, const char* inStopped);
    /// The lock to let go when the program ends at once (null: none).
    static void holdLock(CStatusLock* inLock);
    /// Ends the program at once with inExitStatus, the held lock let go, without unwinding:
    /// a front-end's own way to stop mid-transfer ends as the rule's second stop does.
    /// Async-signal-safe.
    [[noreturn]] static void endNow(int inExitStatus);
    /// Forgets the requests so far: a new run in the same process (tests).
    static void forget();

    /// The transfer, from construction to destruction.
    class CTransfer {
      public:
        CTransfer();
        ~CTransfer();
        CTransfer(const CTransfer&) = delete;
        CTransfer& operator=(const CTransfer&) = delete;
    };
};
