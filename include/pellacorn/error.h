// The process-wide plain-text log, "log.txt" in the working directory.
#ifndef PELLACORN_ERROR_H
#define PELLACORN_ERROR_H

// printf-style: append the message to the log and flush it at once. Does
// nothing while the log is not open. Always returns 0. Scenes and app.o are
// linked against Log(char*, ...), so that stays the link name; declared with
// a const format, a literal needs no cast, and the compiler checks the
// arguments against it.
int Log(const char* szFormat, ...) __asm__("_Z3LogPcz") __attribute__((format(printf, 1, 2)));

#endif
