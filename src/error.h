// The log module's own side: what the hosts call around a scene's Log.
#ifndef PELLACORN_LOG_INTERNALS_H
#define PELLACORN_LOG_INTERNALS_H

#include <pellacorn/error.h>
#include <stdio.h>

// Open a fresh log and write its header; nothing if it is open already. On
// failure it reports on standard error and exits with status 1, so it only
// ever returns true.
bool InitErrorLog();

// Log, and the same text, flushed, to Echo where it is not null: for what a
// host also says where its user looks.
void LogTo(FILE* Echo, const char* Format, ...) __attribute__((format(printf, 2, 3)));

// Write the closing line and close the log; later messages are dropped.
void CloseErrorLog();

// Append Text unformatted and unbuffered; safe inside a signal handler.
void LogFromSignalHandler(const char* Text);

#endif
