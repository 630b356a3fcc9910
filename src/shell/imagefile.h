// Image files read without trusting them, for the shell's icon and the
// scene's logos alike: a BMP's header is checked before SDL's loader sees
// it, and every refusal says which file and why. All of it is static so
// that the scene object needs no name of the shell's for it.
#ifndef PELLACORN_IMAGEFILE_H
#define PELLACORN_IMAGEFILE_H

#include <SDL.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

// No logo or icon comes near these. Past them SDL 2's BMP loader reserves
// memory for the claimed size before it reads a pixel: gigabytes for a
// forged header.
const long long MaxImageSide = 16384;
const long long MaxImageBytes = 64LL * 1024 * 1024;

static inline long long ReadLittleEndian(const unsigned char* At, int Bytes)
{
    long long Value = 0;
    for (int i = Bytes - 1; i >= 0; i--)
        Value = Value * 256 + At[i];
    return Value;
}

// False, with SDL's error set, when File is a BMP whose header claims an
// absurd size. Anything else (no file, not a BMP, a short header) passes:
// SDL's loader refuses it with its own reason. *OpenError gets errno when
// the file cannot be opened, else 0.
static inline bool CheckBMPHeader(const char* File, int* OpenError)
{
    unsigned char H[30];
    FILE* F = fopen(File, "rb");
    *OpenError = F == NULL ? errno : 0;
    if (F == NULL)
        return true;
    size_t Got = fread(H, 1, sizeof H, F);
    fclose(F);
    if (Got < 26 || H[0] != 'B' || H[1] != 'M')
        return true;

    long long W, Ht, Bits;
    if (ReadLittleEndian(H + 14, 4) == 12) { // the old OS/2 header: 16-bit sizes
        W = ReadLittleEndian(H + 18, 2);
        Ht = ReadLittleEndian(H + 20, 2);
        Bits = ReadLittleEndian(H + 24, 2);
    } else {
        if (Got < 30)
            return true;
        W = (Sint32)ReadLittleEndian(H + 18, 4);
        Ht = (Sint32)ReadLittleEndian(H + 22, 4); // negative: rows run top-down
        Bits = ReadLittleEndian(H + 28, 2);
    }
    W = W < 0 ? -W : W;
    Ht = Ht < 0 ? -Ht : Ht;
    long long Bytes = W * Ht * (Bits > 8 ? (Bits + 7) / 8 : 1);
    if (W > MaxImageSide || Ht > MaxImageSide || Bytes > MaxImageBytes) {
        char Why[256];
        snprintf(Why, sizeof Why, "%s claims %lld x %lld pixels, more than an image here may have",
            File, W, Ht);
        SDL_SetError("%s", Why);
        return false;
    }
    return true;
}

// After a failed load of File: make SDL's error text name the file and
// say why, where it does neither (SDL 2 and 3 often leave it empty, or
// blame a parameter for a missing file). A text that names the file stays.
static inline void ExplainLoadFailure(const char* File, int OpenError)
{
    // Formatted here: SDL 1.2's own formatter takes few conversions, and
    // the old text lives in the buffer that SDL_SetError overwrites.
    char Text[256], Why[512];
    snprintf(Text, sizeof Text, "%s", SDL_GetError());
    if (strstr(Text, File) != NULL)
        return;
    if (OpenError != 0)
        snprintf(Why, sizeof Why, "Couldn't open %s: %s", File, strerror(OpenError));
    else if (Text[0] != '\0')
        snprintf(Why, sizeof Why, "%s: %s", File, Text);
    else
        snprintf(Why, sizeof Why, "%s: not an image that can be read", File);
    SDL_SetError("%s", Why);
}

// SDL_LoadBMP with the checks above; null with a reason on failure.
static inline SDL_Surface* LoadCheckedBMP(const char* File)
{
    int OpenError;
    if (!CheckBMPHeader(File, &OpenError))
        return NULL;
    SDL_Surface* S = SDL_LoadBMP_RW(SDL_RWFromFile(File, "rb"), 1);
    if (S == NULL)
        ExplainLoadFailure(File, OpenError);
    return S;
}

#endif
