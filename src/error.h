// The process-wide plain-text log, "log.txt" in the working directory.
#ifndef PELLACORN_ERROR_H
#define PELLACORN_ERROR_H

// Open a fresh log and write its header. On failure it reports on standard
// error and exits with status 1, so it only ever returns true.
bool InitErrorLog();

// printf-style: append the message to the log and flush it at once. Does
// nothing while the log is not open. Always returns 0. The format is a plain
// char* because scenes are linked against exactly this signature, so callers
// cast their literals.
int Log(char* szFormat, ...);

// Write the closing line and close the log; later messages are dropped.
void CloseErrorLog();

#endif
