// The process-wide plain-text log, "log.txt" in the working directory.
#ifndef PELLACORN_ERROR_H
#define PELLACORN_ERROR_H

// printf-style: append the message to the log and flush it at once. Does
// nothing while the log is not open. Always returns 0. Scenes and app.o are
// linked against Log(char*, ...), so that stays the link name; declared with
// a const format, a literal needs no cast, and the compiler checks the
// arguments against it.
int Log(const char* szFormat, ...) __asm__("_Z3LogPcz") __attribute__((format(printf, 1, 2)));

// ---- Shell internals: the shell calls these; a scene must not. ----

// Open a fresh log and write its header. On failure it reports on standard
// error and exits with status 1, so it only ever returns true.
bool InitErrorLog();

// Write the closing line and close the log; later messages are dropped.
void CloseErrorLog();

// Append Text unformatted and unbuffered; safe inside a signal handler.
void LogFromSignalHandler(const char* Text);

#endif
