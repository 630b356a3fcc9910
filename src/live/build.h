// The live program's two helpers outside the scene: a watch on the scene's
// source folders, and the scene library's build, run in the background.
#ifndef PELLACORN_LIVEBUILD_H
#define PELLACORN_LIVEBUILD_H

#include <string>

// Watch the folders of the given files (a null-terminated list) for saves.
// False, with Error set, if a folder cannot be watched.
bool WatchLiveSources(const char* const* Files, std::string* Error);
// Whether one of those files, or a header in their folders, was saved since
// the last call: written and closed, or renamed into place. Never blocks.
bool LiveSourcesSaved();
// Stop watching.
void StopWatchingLiveSources();
// Whether Library is missing or older than one of Files (a null-terminated
// list).
bool LiveLibraryOutdated(const char* Library, const char* const* Files);

// Start Command (a null-terminated argument list, found on the PATH) with
// its output collected. False, with Error set, if it cannot start. Objects
// (null-terminated) are the files the build compiles: those the last build
// wrote are removed first when a save came while it ran, so that this one
// compiles what was saved.
bool StartLiveBuild(const char* const* Command, const char* const* Objects, std::string* Error);
// Whether a build runs.
bool LiveBuildRunning();
// Poll the running build without blocking: 0 while it runs; then 1 if it
// succeeded or -1 if it failed, with Output holding all it printed.
int PollLiveBuild(std::string* Output);
// End a running build and everything it started.
void StopLiveBuild();

// The line of a failed build's Output to show the user: the compiler's
// first "error:", else the first line that mentions an error at all.
std::string FirstBuildError(const std::string& Output);

#endif
