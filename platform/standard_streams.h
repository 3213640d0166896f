// The three standard streams, which a caller may have closed.
#ifndef FRAMEPACK_PLATFORM_STANDARD_STREAMS_H_
#define FRAMEPACK_PLATFORM_STANDARD_STREAMS_H_

// Opens the null device onto each of standard input, output and error that is closed, so that no
// file framepack opens (the lock, the output) takes its place and gets its lines; returns
// nothing.
void OpenClosedStandardStreams();

#endif  // FRAMEPACK_PLATFORM_STANDARD_STREAMS_H_
