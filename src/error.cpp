// The log module: one stdio stream, flushed after every message so that
// the file holds everything up to a crash or an exit(1).
#include "error.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "main.h"

static FILE* ErrorLog;

bool InitErrorLog()
{
    // A host that opened the log before the shell's start-up keeps it, and
    // its header is written once.
    if (ErrorLog != NULL)
        return true;
    // Deliberately reports whatever errno holds: it marks every start on
    // standard error.
    perror("Trying to init Logfile!\n");
    ErrorLog = fopen("log.txt", "w");
    if (ErrorLog == NULL) {
        perror("Can't init Logfile!\n");
        exit(1);
    }
    Log("%s V%s -- Log Init...\n\n", AppTitle, AppVersion);
    return true;
}

static void WriteLog(const char* Format, va_list Args)
{
    if (ErrorLog == NULL)
        return;
    va_list Again;
    va_copy(Again, Args);
    vfprintf(ErrorLog, Format, Args);
    fflush(ErrorLog);
#ifdef __EMSCRIPTEN__
    // In a browser the file is out of sight: each message also goes to the
    // console, where a developer looks first.
    vprintf(Format, Again);
#endif
    va_end(Again);
}

int Log(const char* szFormat, ...)
{
    va_list Args;
    va_start(Args, szFormat);
    WriteLog(szFormat, Args);
    va_end(Args);
    return 0;
}

void LogTo(FILE* Echo, const char* Format, ...)
{
    va_list Args;
    va_start(Args, Format);
    if (Echo != NULL) {
        va_list Again;
        va_copy(Again, Args);
        vfprintf(Echo, Format, Again);
        va_end(Again);
        fflush(Echo);
    }
    WriteLog(Format, Args);
    va_end(Args);
}

void CloseErrorLog()
{
    Log("\n-- Closing Log...\n");
    if (ErrorLog != NULL)
        fclose(ErrorLog);
    ErrorLog = NULL;
}

// Every Log flushes, so the stream holds nothing unwritten and its file
// position is the descriptor's: a plain write lands after the last message.
void LogFromSignalHandler(const char* Text)
{
    if (ErrorLog != NULL && write(fileno(ErrorLog), Text, strlen(Text)) < 0)
        return; // nowhere left to report it
}
