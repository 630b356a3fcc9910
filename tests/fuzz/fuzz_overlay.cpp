// Fuzzes the overlay's placement with arbitrary state and logo sizes (the
// phases, the positions and steps, widths and heights over the whole
// Uint16 range). Fills, blits and updates are replaced at link time by
// stand-ins that clip like SDL and check that the overlay only ever erases
// and updates rectangles inside the surface. Every update, and then one of
// any rectangle at all, as a scene may pass, goes through the layer's
// conversion on a layer that needs it, where ASan sees every pixel touched.
#include <SDL.h>
#include <stdlib.h>
#include <string.h>

#include "app.h"
#include "shell/layer.h"
#include "test_shell.h"

static SDL_Surface* Layer;

static bool Inside(const SDL_Rect* R)
{
    return R->w == 0 || R->h == 0
        || (R->x >= 0 && R->y >= 0 && R->x + R->w <= Layer->w && R->y + R->h <= Layer->h);
}

extern "C" int __wrap_SDL_FillRect(SDL_Surface*, SDL_Rect* R, Uint32)
{
    if (R == NULL || !Inside(R))
        abort(); // only the logos' last rectangles are ever erased
    return 0;
}

extern "C" int __wrap_SDL_UpperBlit(SDL_Surface* Src, SDL_Rect* SrcRect, SDL_Surface*, SDL_Rect* R)
{
    if (SrcRect != NULL || R->w != Src->w || R->h != Src->h)
        abort(); // the whole logo, at its own size
    int X0 = R->x > 0 ? R->x : 0, Y0 = R->y > 0 ? R->y : 0;
    int X1 = R->x + R->w < Layer->w ? R->x + R->w : Layer->w;
    int Y1 = R->y + R->h < Layer->h ? R->y + R->h : Layer->h;
    R->x = (Sint16)X0, R->y = (Sint16)Y0;
    R->w = (Uint16)(X1 > X0 ? X1 - X0 : 0), R->h = (Uint16)(Y1 > Y0 ? Y1 - Y0 : 0);
    if (R->w == 0 || R->h == 0)
        R->w = R->h = 0;
    return 0;
}

static void Upload(SDL_Surface*, int, SDL_Rect*)
{
}

extern "C" void __wrap_SDL_UpdateRects(SDL_Surface* S, int N, SDL_Rect* R)
{
    if (N != 1 || !Inside(R))
        abort();
    UpdateLayerRectsGL(S, N, R, Upload);
}

// A logo the overlay only measures: no pixels behind it.
static SDL_Surface Logos[3];

template <typename T> static T Take(const Uint8*& P, const Uint8* End)
{
    T V {};
    if (End - P >= (long)sizeof V)
        memcpy(&V, P, sizeof V), P += sizeof V;
    return V;
}

extern "C" int LLVMFuzzerTestOneInput(const Uint8* Data, size_t Size)
{
    if (Layer == NULL)
    {
        // sdl12-compat's layer: XRGB, no alpha, in an OPENGLBLIT mode.
        Layer = SDL_CreateRGBSurface(SDL_SWSURFACE, 640, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        Layer->flags |= SDL_OPENGLBLIT;
    }
    const Uint8 *P = Data, *End = Data + Size;
    Lx = Take<float>(P, End), Ly = Take<float>(P, End);
    Ix = Take<Sint16>(P, End), Iy = Take<Sint16>(P, End);
    IxOff = Take<Sint16>(P, End), IyOff = Take<Sint16>(P, End);
    for (SDL_Surface& L : Logos)
        L.w = Take<Uint16>(P, End), L.h = Take<Uint16>(P, End);
    Zarn_Logo = &Logos[0], SDL_Logo = &Logos[1], QN_Logo = &Logos[2];
    int Frames = 1 + Take<Uint8>(P, End) % 8;
    for (int F = 0; F < Frames; F++) {
        Draw2D(Layer);
        Lx = Take<float>(P, End) + Lx, Ly += 0.03f;
    }
    SDL_Rect Any = {Take<Sint16>(P, End), Take<Sint16>(P, End), Take<Uint16>(P, End),
        Take<Uint16>(P, End)};
    UpdateLayerRectsGL(Layer, 1, &Any, Upload);
    return 0;
}
