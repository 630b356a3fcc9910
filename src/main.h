// The shell's module: the scene contract, and the steps every host shares
// around it (src/shell/), which a scene must not call: the shell has
// already done each, once.
#ifndef PELLACORN_SHELL_H
#define PELLACORN_SHELL_H

#include <pellacorn/main.h>

// The video surface, null until CreateWindowGL succeeds; SDL owns it.
extern SDL_Surface* Screen;
// The loop runs while this is true; a quit event clears it.
extern bool isProgramLooping;

// ---- Start-up and shut-down (shell/start.cpp) ----

// The log, SDL's video, the crash report, the icon, the window, the caption,
// the timers (into *LastCount), then InitGL and Initialize. A failure is
// logged (and also put on standard error while StartFailuresOnStderr is
// set) and exits with status 1.
void StartShell(Uint32* LastCount);
// False in the desktop program, whose user reads the log; the capture, run
// from a terminal, sets it before StartShell.
extern bool StartFailuresOnStderr;
// One frame's hooks, Update then Draw, named for the crash report; no swap.
void UpdateAndDraw(Uint32 Milliseconds, Uint8* Keys);
// After a normal quit: Deinitialize, then the log's closing line.
void EndShell();

// ---- The window (shell/window.cpp) and the icon (shell/icon.cpp) ----

// Request the GL attributes, open the video mode and clear the 2D layer.
bool CreateWindowGL(int W, int H, int B, Uint32 F);
// Set the viewport and a 45-degree perspective for width x height.
void ReshapeGL(int width, int height);
// Store the current tick count in *C; cannot fail.
bool InitTimers(Uint32* C);
// Load a palettised BMP as the window icon with its transparency mask.
// Returns the icon, or null after logging why it was refused.
SDL_Surface* SetUpIcon(char* File);

// ---- Events (shell/events.cpp) ----

// One event: quit, resize, activation and focus, or key-down, which points
// *Keys at SDL's live key-state table.
void HandleEvent(const SDL_Event* E, Uint8** Keys);

#endif
