// The browser host's own parts, between its files: the key table, the page
// around the canvas and the 2D layer. Everything a scene calls stays SDL's:
// the kit stands in for the calls the browser does differently, linked with
// -Wl,--wrap=NAME, so that __real_NAME is Emscripten's own.
#ifndef PELLACORN_WEB_H
#define PELLACORN_WEB_H

#include <SDL.h>

// ---- Keys (keys.cpp) ----

// Note a key event in the table that SDL_GetKeyState hands a scene,
// indexed by SDL 1.2's desktop key codes.
void FollowKeyWeb(const SDL_Event* E);

// ---- The page (page.cpp) ----

// Size the canvas to the page (the whole screen in full screen) and show
// the 640 x 480 picture as large as fits, letterboxed, in its middle.
void FitCanvasWeb();
// After each frame: the count and the sound's state, for the page's hint
// and its tests.
void PublishFrameWeb();

// ---- The 2D layer (layer.cpp) ----

// The layer the scene draws on, or null before the video mode.
SDL_Surface* LayerWeb();

#endif
