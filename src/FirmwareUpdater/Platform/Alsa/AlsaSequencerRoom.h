// Room in another program's sequencer input queue. The kernel puts a direct event into the
// receiver's queue without waiting; when it does not fit, the sender is refused, and the
// receiver loses its whole queue at its next read. A sender that waits for room first
// loses nothing. alsa-lib asks only about the caller's own client, so this asks the
// kernel directly (kept apart: the kernel's header and alsa-lib's clash).
#pragma once

/// The free cells in the input queue of the client inClient, through the sequencer opened
/// on inSequencerFd; 0 or more, or a negative errno. A kernel client has no queue: -ENOENT
/// too for a client that is gone.
int SequencerInputRoom(int inSequencerFd, int inClient);

/// The cells an event of inDataBytes variable-length bytes takes in a queue.
constexpr int SequencerEventCells(unsigned inDataBytes) {
    constexpr unsigned kCellBytes = 28; // one event header
    return 1 + static_cast<int>((inDataBytes + kCellBytes - 1) / kCellBytes);
}
