// A stand-in shell for the scene object: it supplies the four names the
// scene needs and records the service calls in the order they were made.
#ifndef PELLACORN_TESTS_TEST_SHELL_H
#define PELLACORN_TESTS_TEST_SHELL_H

#include <string>

#include <pellacorn/main.h>
#include "recording_log.h"

// One letter a call: "T" for TerminateApplication, "F" for ToggleFullscreen.
extern std::string ServiceCalls;

#endif
