// Fuzzes the icon checks and the mask builder with arbitrary surfaces: the
// loader is replaced at link time by one that makes a surface from the
// input (size, palette or none, pixel bytes), and the window manager call
// by a check that the mask shows exactly the pixels that differ from the
// first one, worked out here from the surface's own rows.
#include <SDL.h>
#include <stdlib.h>
#include <string.h>

#include "main.h"

static bool Called;

extern "C" SDL_Surface* __wrap_SDL_LoadBMP_RW(SDL_RWops* Source, int FreeSource);
extern "C" void __wrap_SDL_WM_SetIcon(SDL_Surface* Icon, Uint8* Mask);

static const Uint8* Data;
static size_t Size;

SDL_Surface* __wrap_SDL_LoadBMP_RW(SDL_RWops* Source, int FreeSource)
{
    if (Source != NULL && FreeSource)
        SDL_RWclose(Source);
    if (Size < 5)
        return NULL;
    // One byte of kind, then width and height of up to 1100 pixels each.
    int Kind = Data[0] % 3, W = (Data[1] << 8 | Data[2]) % 1101,
        H = (Data[3] << 8 | Data[4]) % 1101;
    if ((long)W * H > 1 << 20)
        H = (1 << 20) / (W ? W : 1);
    int Depth = Kind == 0 ? 8 : Kind == 1 ? 24 : 32;
    SDL_Surface* S = SDL_CreateRGBSurface(SDL_SWSURFACE, W, H, Depth, 0, 0, 0, 0);
    if (S == NULL)
        return NULL;
    size_t Bytes = (size_t)S->pitch * S->h;
    for (size_t I = 0; I < Bytes && Size > 5; I++)
        ((Uint8*)S->pixels)[I] = Data[5 + I % (Size - 5)];
    return S;
}

void __wrap_SDL_WM_SetIcon(SDL_Surface* Icon, Uint8* Mask)
{
    Called = true;
    const Uint8* Pixels = (const Uint8*)Icon->pixels;
    for (int Y = 0; Y < Icon->h; Y++)
        for (int X = 0; X < Icon->w; X++) {
            int Shown = Pixels[Y * Icon->pitch + X] != Pixels[0];
            int Bit = (Mask[Y * (Icon->w / 8) + X / 8] >> (7 - X % 8)) & 1;
            if (Shown != Bit)
                abort();
        }
    free(Mask); // the program keeps it until exit; here the next input comes
}

extern "C" int LLVMFuzzerTestOneInput(const Uint8* Input, size_t Length)
{
    Data = Input, Size = Length, Called = false;
    SDL_Surface* Icon = SetUpIcon((char*)"fuzz.bmp");
    if ((Icon != NULL) != Called)
        abort(); // an icon is returned exactly when it was handed over
    if (Icon != NULL) {
        if (Icon->w % 8 != 0 || Icon->format->palette == NULL || Icon->w * Icon->h == 0)
            abort(); // something the checks should have refused
        SDL_FreeSurface(Icon);
    }
    return 0;
}
