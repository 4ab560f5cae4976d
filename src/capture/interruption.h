#pragma once

// Ctrl-C, SIGTERM and SIGHUP during a long job: instead of ending the
// process where it stands, the handlers note the signal so that the job can
// stop between two steps, clean up and say why. Writes past a file size
// limit fail with an error rather than killing the process.
void catchInterruptions();

// The signal that arrived since catchInterruptions(), or 0.
int pendingInterruption();

// "interrupted (SIGINT)" and the like.
const char* interruptionName(int signal);
