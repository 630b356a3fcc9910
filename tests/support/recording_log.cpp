// A stand-in for the log module, under the link name scenes use.
#include "recording_log.h"

#include "error.h"

#include <stdarg.h>
#include <stdio.h>

std::string LoggedText;

int Log(const char* szFormat, ...)
{
    char Buffer[4096];
    va_list Args;
    va_start(Args, szFormat);
    vsnprintf(Buffer, sizeof Buffer, szFormat, Args);
    va_end(Args);
    LoggedText += Buffer;
    return 0;
}
