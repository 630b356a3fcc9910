// A stand-in for the log module: Log appends to a string a test can read.
#ifndef PELLACORN_TESTS_RECORDING_LOG_H
#define PELLACORN_TESTS_RECORDING_LOG_H

#include <string>

extern std::string LoggedText;

#endif
