// The window icon: a palettised BMP whose top-left colour is transparent,
// with the one-bit mask that the window manager call needs.
#include <stdlib.h>
#include <string.h>

#include "error.h"
#include "main.h"

SDL_Surface* SetUpIcon(char* File)
{
    SDL_Surface* Icon = SDL_LoadBMP_RW(SDL_RWFromFile(File, "rb"), 1);
    if (Icon == NULL) {
        Log((char*)"Unable to load icon: %s\n", SDL_GetError());
        return NULL;
    }
    if (Icon->w % 8 != 0) {
        Log((char*)"Icon width must be a multiple of 8\n");
        SDL_FreeSurface(Icon);
        return NULL;
    }
    if (Icon->format->palette == NULL) {
        Log((char*)"Icon file must have a palette.\n");
        SDL_FreeSurface(Icon);
        return NULL;
    }

    Uint8* Pixels = (Uint8*)Icon->pixels;
    SDL_SetColorKey(Icon, SDL_SRCCOLORKEY, Pixels[0]);

    // A zero-area image is refused like a failed allocation, so that no
    // empty icon ever reaches the window system.
    size_t mlen = (size_t)Icon->w * (size_t)Icon->h;
    Uint8* Mask = mlen > 0 ? (Uint8*)malloc(mlen / 8) : NULL;
    if (Mask == NULL) {
        Log((char*)"malloc() failed while loading icon: %s\n", SDL_GetError());
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

    // The surface and the mask must outlive the window: never freed.
    SDL_WM_SetIcon(Icon, Mask);
    return Icon;
}
