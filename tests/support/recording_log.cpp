// A stand-in for the log module, with the exact signature scenes link to.
#include "recording_log.h"

#include <stdarg.h>
#include <stdio.h>

std::string LoggedText;

int Log(char* szFormat, ...)
{
    char Buffer[4096];
    va_list Args;
    va_start(Args, szFormat);
    vsnprintf(Buffer, sizeof Buffer, szFormat, Args);
    va_end(Args);
    LoggedText += Buffer;
    return 0;
}
