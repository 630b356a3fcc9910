// The kit's <SDL.h> for a scene built for the browser: Emscripten's own SDL
// header, with what a scene written for SDL 1.2 on the desktop expects of it
// and Emscripten's lacks or numbers differently. The web build puts this
// folder first on the include path, so a scene's #include <SDL.h> finds it.
#ifndef PELLACORN_WEB_SDL_H
#define PELLACORN_WEB_SDL_H

#include <SDL/SDL.h>

// The browser has no blit layer over a GL screen; the kit draws the 2D layer
// itself (src/web/layer.cpp), so asking for one asks for a GL screen.
#ifndef SDL_OPENGLBLIT
#define SDL_OPENGLBLIT SDL_OPENGL
#endif

// Emscripten's SDL_SetError keeps nothing; the kit's keeps the text for
// SDL_GetError (calls.cpp). Renamed here rather than wrapped at link time:
// a wrap of this variadic call makes later Emscriptens' optimiser refuse
// the page.
#ifdef __cplusplus
extern "C"
#endif
    int SetWebError(const char* Format, ...) __attribute__((format(printf, 1, 2)));
#define SDL_SetError SetWebError

// SDL 1.2's key-state table, which Emscripten's library has and its header
// does not declare.
#ifdef __cplusplus
extern "C"
#endif
    Uint8* SDL_GetKeyState(int* numkeys);

// SDL 1.2's own key codes, as the desktop numbers them: the key table the kit
// hands a scene is indexed by these (Keys[SDLK_F1] is the same key on both),
// while Emscripten numbers every key past ASCII 1024 + its scancode.
#undef SDLK_KP0
#define SDLK_KP0 256
#undef SDLK_KP1
#define SDLK_KP1 257
#undef SDLK_KP2
#define SDLK_KP2 258
#undef SDLK_KP3
#define SDLK_KP3 259
#undef SDLK_KP4
#define SDLK_KP4 260
#undef SDLK_KP5
#define SDLK_KP5 261
#undef SDLK_KP6
#define SDLK_KP6 262
#undef SDLK_KP7
#define SDLK_KP7 263
#undef SDLK_KP8
#define SDLK_KP8 264
#undef SDLK_KP9
#define SDLK_KP9 265
#undef SDLK_KP_PERIOD
#define SDLK_KP_PERIOD 266
#undef SDLK_KP_DIVIDE
#define SDLK_KP_DIVIDE 267
#undef SDLK_KP_MULTIPLY
#define SDLK_KP_MULTIPLY 268
#undef SDLK_KP_MINUS
#define SDLK_KP_MINUS 269
#undef SDLK_KP_PLUS
#define SDLK_KP_PLUS 270
#undef SDLK_KP_ENTER
#define SDLK_KP_ENTER 271
#undef SDLK_KP_EQUALS
#define SDLK_KP_EQUALS 272
#undef SDLK_UP
#define SDLK_UP 273
#undef SDLK_DOWN
#define SDLK_DOWN 274
#undef SDLK_RIGHT
#define SDLK_RIGHT 275
#undef SDLK_LEFT
#define SDLK_LEFT 276
#undef SDLK_INSERT
#define SDLK_INSERT 277
#undef SDLK_HOME
#define SDLK_HOME 278
#undef SDLK_END
#define SDLK_END 279
#undef SDLK_PAGEUP
#define SDLK_PAGEUP 280
#undef SDLK_PAGEDOWN
#define SDLK_PAGEDOWN 281
#undef SDLK_F1
#define SDLK_F1 282
#undef SDLK_F2
#define SDLK_F2 283
#undef SDLK_F3
#define SDLK_F3 284
#undef SDLK_F4
#define SDLK_F4 285
#undef SDLK_F5
#define SDLK_F5 286
#undef SDLK_F6
#define SDLK_F6 287
#undef SDLK_F7
#define SDLK_F7 288
#undef SDLK_F8
#define SDLK_F8 289
#undef SDLK_F9
#define SDLK_F9 290
#undef SDLK_F10
#define SDLK_F10 291
#undef SDLK_F11
#define SDLK_F11 292
#undef SDLK_F12
#define SDLK_F12 293
#undef SDLK_F13
#define SDLK_F13 294
#undef SDLK_F14
#define SDLK_F14 295
#undef SDLK_F15
#define SDLK_F15 296
#undef SDLK_NUMLOCK
#define SDLK_NUMLOCK 300
#undef SDLK_CAPSLOCK
#define SDLK_CAPSLOCK 301
#undef SDLK_SCROLLOCK
#define SDLK_SCROLLOCK 302
#undef SDLK_RSHIFT
#define SDLK_RSHIFT 303
#undef SDLK_LSHIFT
#define SDLK_LSHIFT 304
#undef SDLK_RCTRL
#define SDLK_RCTRL 305
#undef SDLK_LCTRL
#define SDLK_LCTRL 306
#undef SDLK_RALT
#define SDLK_RALT 307
#undef SDLK_LALT
#define SDLK_LALT 308
#undef SDLK_RMETA
#define SDLK_RMETA 309
#undef SDLK_LMETA
#define SDLK_LMETA 310
#undef SDLK_LSUPER
#define SDLK_LSUPER 311
#undef SDLK_RSUPER
#define SDLK_RSUPER 312
#undef SDLK_PRINT
#define SDLK_PRINT 316
#undef SDLK_PAUSE
#define SDLK_PAUSE 19
#undef SDLK_MODE
#define SDLK_MODE 313
#undef SDLK_COMPOSE
#define SDLK_COMPOSE 314
#undef SDLK_HELP
#define SDLK_HELP 315
#undef SDLK_SYSREQ
#define SDLK_SYSREQ 317
#undef SDLK_BREAK
#define SDLK_BREAK 318
#undef SDLK_MENU
#define SDLK_MENU 319
#undef SDLK_POWER
#define SDLK_POWER 320
#undef SDLK_EURO
#define SDLK_EURO 321
#undef SDLK_UNDO
#define SDLK_UNDO 322
#undef SDLK_LAST
#define SDLK_LAST 323

#endif
