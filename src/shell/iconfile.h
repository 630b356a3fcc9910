// The window icon's file as every host takes it: a BMP that loads, checked
// as every image here is, whose width is whole bytes of its one-bit mask.
#ifndef PELLACORN_ICONFILE_H
#define PELLACORN_ICONFILE_H

#include "error.h"
#include "imagefile.h"

// Null, with the reason logged, where the file does not do.
static inline SDL_Surface* LoadIconFile(const char* File)
{
    SDL_Surface* Icon = LoadCheckedBMP(File);
    if (Icon == NULL) {
        Log("Unable to load icon: %s\n", SDL_GetError());
        return NULL;
    }
    if (Icon->w % 8 != 0) {
        Log("Icon width must be a multiple of 8\n");
        SDL_FreeSurface(Icon);
        return NULL;
    }
    return Icon;
}

#endif
