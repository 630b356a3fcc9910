// The contract between a host and a scene: the window status record, the
// shared constants, the five hooks a scene provides and the two services
// every host offers in return. The log is <pellacorn/error.h>.
#ifndef PELLACORN_MAIN_H
#define PELLACORN_MAIN_H

#include <SDL.h>

// Compile-time constants; none of them is a link-time name.
const int ScreenWidth = 640;
const int ScreenHeight = 480;
// 32 rather than 16: at 16 bits SDL builds the OPENGLBLIT layer as RGB 565,
// which has no alpha, so the "transparent" 2D layer would hide the 3D frame.
const int ScreenDepth = 32;
const char AppTitle[] = "Zarn OpenGL Basecode - SDL port by Quarnel";
const char AppVersion[] = "0.2";

// The window status record. Only Visible changes what the shell does.
struct S_AppStatus {
    bool Visible;       // shown, not iconified: frames are drawn
    bool MouseFocus;    // the window has the mouse
    bool KeyboardFocus; // the window has keyboard input
};

// Defined by the shell, set all true by the scene's Initialize, then kept
// up to date by the event loop.
extern S_AppStatus AppStatus;

// ---- Hooks: every scene defines these five; the shell calls them. ----

// Once, after the window exists: set up GL state. False ends start-up.
bool InitGL(SDL_Surface* S);
// Once, after InitGL: load resources, reset state, set AppStatus.
// False ends start-up.
bool Initialize();
// Each frame, before Draw: advance by Milliseconds since the last frame.
// Keys is SDL's key-state table, or null until the first key press.
void Update(Uint32 Milliseconds, Uint8* Keys);
// Each frame: draw it. The shell swaps the buffers afterwards.
void Draw(SDL_Surface* Screen);
// Once, on a normal exit only: release the scene's resources.
void Deinitialize();

// ---- Services: the shell defines these; scenes may call them. ----

// Ask the loop to end; the current frame still completes.
// A quit request that cannot be queued is logged and exits with status 1.
void TerminateApplication();
// Switch between window and full screen; a failure is only logged.
void ToggleFullscreen();

#endif
