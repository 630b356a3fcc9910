// The shell library's wraps of SDL_UpdateRects and SDL_UpdateRect (linked
// with --wrap, which the kit's CMake target and pkg-config file add), so
// that every scene's 2D layer shows the same on every SDL 1.2 (layer.h).
#include "layer.h"

extern "C" {
void __real_SDL_UpdateRects(SDL_Surface* S, int N, SDL_Rect* R);
void __real_SDL_UpdateRect(SDL_Surface* S, Sint32 X, Sint32 Y, Uint32 W, Uint32 H);

void __wrap_SDL_UpdateRects(SDL_Surface* S, int N, SDL_Rect* R)
{
    UpdateLayerRectsGL(S, N, R, __real_SDL_UpdateRects);
}

// SDL's own rules for the one rectangle: a width or height of 0 means the
// whole surface's, and one that does not fit updates nothing.
void __wrap_SDL_UpdateRect(SDL_Surface* S, Sint32 X, Sint32 Y, Uint32 W, Uint32 H)
{
    if (S != NULL) {
        Uint32 Width = W != 0 ? W : (Uint32)S->w, Height = H != 0 ? H : (Uint32)S->h;
        if (X >= 0 && Y >= 0 && X + Width <= (Uint32)S->w && Y + Height <= (Uint32)S->h) {
            SDL_Rect R = {(Sint16)X, (Sint16)Y, (Uint16)Width, (Uint16)Height};
            UpdateLayerRectsGL(S, 1, &R, __real_SDL_UpdateRects);
            return;
        }
    }
    __real_SDL_UpdateRect(S, X, Y, W, H);
}
}
