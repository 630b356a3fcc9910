// The window icon: a palettised BMP whose top-left colour is transparent,
// with the one-bit mask that the window manager call needs.
#include <stdlib.h>
#include <string.h>

#include "error.h"
#include "iconfile.h"
#include "main.h"

const int MaxIconSize = 1024;

// Never freed, by design; held here so that they stay reachable until the
// process ends (SDL keeps its own copy of the icon, not these). Volatile,
// because the compiler drops a store that is never read back, and the two
// blocks would then be lost, not held.
static SDL_Surface* volatile IconSurface;
static Uint8* volatile IconMask;

SDL_Surface* SetUpIcon(char* File)
{
    SDL_Surface* Icon = LoadIconFile(File);
    if (Icon == NULL)
        return NULL;
    if (Icon->format->palette == NULL) {
        Log("Icon file must have a palette.\n");
        SDL_FreeSurface(Icon);
        return NULL;
    }
    // A window system takes an icon in one request: one far larger than any
    // icon raises an X error there, which exits the program (and with
    // sdl12-compat hangs it on the way out).
    if (Icon->w > MaxIconSize || Icon->h > MaxIconSize) {
        Log("Icon must be at most %d x %d pixels\n", MaxIconSize, MaxIconSize);
        SDL_FreeSurface(Icon);
        return NULL;
    }

    // A zero-area image is refused like a failed allocation, so that no
    // empty icon ever reaches the window system; it has no first pixel.
    Uint8* Pixels = (Uint8*)Icon->pixels;
    size_t mlen = (size_t)Icon->w * (size_t)Icon->h;
    if (mlen > 0)
        SDL_SetColorKey(Icon, SDL_SRCCOLORKEY, Pixels[0]);
    Uint8* Mask = mlen > 0 ? (Uint8*)malloc(mlen / 8) : NULL;
    if (Mask == NULL) {
        Log("malloc() failed while loading icon: %s\n", SDL_GetError());
        SDL_FreeSurface(Icon);
        return NULL;
    }
    memset(Mask, 0, mlen / 8);

    // One bit per pixel, shifted in from the right, so the first pixel of
    // each group of eight ends up in the most significant bit. Rows of a
    // one-byte-per-pixel surface whose width is a multiple of 8 lie back to
    // back, so the pixels can be read as a single run.
    for (size_t i = 0; i < mlen;) {
        if (Pixels[i] != Pixels[0])
            Mask[i / 8] |= 1;
        ++i;
        if (i % 8 != 0)
            Mask[i / 8] <<= 1;
    }

    SDL_WM_SetIcon(Icon, Mask);
    IconSurface = Icon;
    IconMask = Mask;
    return Icon;
}
