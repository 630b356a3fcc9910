// The shell side of the scene's link interface, for tests: AppStatus and
// the two services. Log comes from recording_log.cpp.
#include "test_shell.h"

S_AppStatus AppStatus;
std::string ServiceCalls;

void TerminateApplication()
{
    ServiceCalls += "T";
}

void ToggleFullscreen()
{
    ServiceCalls += "F";
}
