#pragma once
// Interruptions: SIGINT, SIGTERM and SIGHUP are noted while a command works, so that it can
// stop between two pieces of work, remove what it has not finished, say so, and end by the
// signal.

// Starts noting the three signals.
void watch_interruptions();

// Whether one of them has arrived since watch_interruptions.
bool interrupted();

// Ends the process by the signal that arrived, as if it had not been caught (status 128+n).
[[noreturn]] void end_by_interruption();
