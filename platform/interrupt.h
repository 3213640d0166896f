// Interruptions that framepack can catch: Ctrl+C, SIGTERM, SIGHUP and Ctrl+\ on POSIX (unless
// the caller ignores them); Ctrl+C, Ctrl+Break and closing the console on Windows. Each stops
// ffmpeg at once and is remembered, so that the run ends like any failure, its output emptied and
// its scratch folder removed.
#ifndef FRAMEPACK_PLATFORM_INTERRUPT_H_
#define FRAMEPACK_PLATFORM_INTERRUPT_H_

// Starts catching interruptions, and has a closed standard output fail the writes to it instead
// of ending the process; returns nothing.
void CatchInterrupts();
// Returns whether an interruption has been caught.
bool Interrupted();
// Ends the process as the caught interruption would have ended it, once the run has cleaned up,
// so that a calling shell sees it and stops its loop too; returns (and the exit status stands)
// where there is no such ending: on Windows, or when nothing was caught.
void EndAsInterrupted();

#endif  // FRAMEPACK_PLATFORM_INTERRUPT_H_
