// The 2D layer's upload, made to show the same on every SDL 1.2.
//
// Classic SDL's OPENGLBLIT layer is RGBA in memory order, and that is how
// each SDL_UpdateRects uploads it. sdl12-compat's layer is XRGB8888 with no
// alpha, yet it is uploaded as R, G, B, A bytes too: as drawn, a pixel would
// show with red and blue swapped and an alpha of zero, that is not at all.
// So on such a layer each updated rectangle is put in upload order (opaque
// unless black) just before the real update and back just after: between
// updates the layer stays in its own format, and no pixel is ever converted
// twice, whatever a scene draws or however its rectangles overlap.
//
// Everything here has internal linkage: the scene object carries its own
// copy and needs no name of the program's for it; the shell's library
// offers the same code to every scene as its wrap of SDL_UpdateRects.
#ifndef PELLACORN_LAYER_H
#define PELLACORN_LAYER_H

#include <SDL.h>
#include <string.h>

typedef void (*UpdateRectsFunction)(SDL_Surface* S, int N, SDL_Rect* R);

// True for a layer whose bytes the upload reads in another order than the
// layer's own: 32 bits, no alpha, in an OPENGLBLIT mode.
static inline bool IsLayerConvertedForUploadGL(const SDL_Surface* S)
{
    return S != NULL && (S->flags & SDL_OPENGLBLIT) == SDL_OPENGLBLIT
        && S->format->BytesPerPixel == 4 && S->format->Amask == 0;
}

// R inside the surface; empty (0 x 0) where it lies wholly outside.
static inline SDL_Rect ClipToLayer(const SDL_Surface* S, const SDL_Rect* R)
{
    int X0 = R->x > 0 ? R->x : 0, Y0 = R->y > 0 ? R->y : 0;
    int X1 = R->x + R->w < S->w ? R->x + R->w : S->w;
    int Y1 = R->y + R->h < S->h ? R->y + R->h : S->h;
    SDL_Rect C = {(Sint16)X0, (Sint16)Y0, 0, 0};
    if (X1 > X0 && Y1 > Y0)
        C.w = (Uint16)(X1 - X0), C.h = (Uint16)(Y1 - Y0);
    return C;
}

// Red and blue of a 0x00RRGGBB pixel swapped: XRGB read as R, G, B bytes.
static inline Uint32 SwapRedBlue(Uint32 P)
{
    return (P >> 16 & 0xFF) | (P & 0xFF00) | (P & 0xFF) << 16;
}

// True where the layer is XRGB8888 in a little-endian machine's memory, the
// only layer sdl12-compat makes: there a pixel converts in a few
// instructions, with no branch, which the compiler can vectorise.
static inline bool IsLayerXRGB(const SDL_PixelFormat* F)
{
    return SDL_BYTEORDER == SDL_LIL_ENDIAN && F->Rshift == 16 && F->Gshift == 8 && F->Bshift == 0;
}

// The two conversions are nearly all of our own code's work in a frame on
// sdl12-compat; GCC's -O2 vectorises loops like theirs only when asked.
#if defined(__GNUC__) && !defined(__clang__)
#define VECTORISED_GL __attribute__((optimize("tree-vectorize", "vect-cost-model=cheap")))
#else
#define VECTORISED_GL
#endif

// R's pixels (R inside the surface) in upload order: bytes R, G, B and an
// alpha that is opaque unless the pixel is black. Whatever the unused top
// byte holds is ignored.
VECTORISED_GL static inline void ConvertForUploadGL(SDL_Surface* S, const SDL_Rect* R)
{
    const SDL_PixelFormat* F = S->format;
    const Uint32 Colour = F->Rmask | F->Gmask | F->Bmask;
    const bool Fast = IsLayerXRGB(F);
    for (int Y = R->y; Y < R->y + R->h; Y++) {
        Uint32* Row = (Uint32*)((Uint8*)S->pixels + Y * S->pitch) + R->x;
        if (Fast) {
            for (int X = 0; X < R->w; X++) {
                Uint32 P = Row[X] & 0xFFFFFF;
                Row[X] = SwapRedBlue(P) | (P != 0 ? 0xFF000000 : 0);
            }
            continue;
        }
        for (int X = 0; X < R->w; X++) {
            Uint32 P = Row[X];
            Uint8 Bytes[4] = {(Uint8)(P >> F->Rshift), (Uint8)(P >> F->Gshift),
                (Uint8)(P >> F->Bshift), (Uint8)((P & Colour) != 0 ? 255 : 0)};
            memcpy(&Row[X], Bytes, 4);
        }
    }
}

// The reverse: R's pixels back in the layer's own format.
VECTORISED_GL static inline void ConvertFromUploadGL(SDL_Surface* S, const SDL_Rect* R)
{
    const SDL_PixelFormat* F = S->format;
    const bool Fast = IsLayerXRGB(F);
    for (int Y = R->y; Y < R->y + R->h; Y++) {
        Uint32* Row = (Uint32*)((Uint8*)S->pixels + Y * S->pitch) + R->x;
        if (Fast) {
            for (int X = 0; X < R->w; X++)
                Row[X] = SwapRedBlue(Row[X] & 0xFFFFFF);
            continue;
        }
        for (int X = 0; X < R->w; X++) {
            Uint8 Bytes[4];
            memcpy(Bytes, &Row[X], 4);
            Row[X] = (Uint32)Bytes[0] << F->Rshift | (Uint32)Bytes[1] << F->Gshift
                | (Uint32)Bytes[2] << F->Bshift;
        }
    }
}

// SDL_UpdateRects through Upload, the real one, with the conversion where
// the layer needs it. Each rectangle is converted, uploaded and put back on
// its own, so that two overlapping rectangles never convert a pixel twice.
// (An OPENGLBLIT layer is a software surface that needs no lock.)
static inline void UpdateLayerRectsGL(SDL_Surface* S, int N, SDL_Rect* R, UpdateRectsFunction Upload)
{
    if (!IsLayerConvertedForUploadGL(S) || SDL_MUSTLOCK(S) || R == NULL) {
        Upload(S, N, R);
        return;
    }
    for (int I = 0; I < N; I++) {
        SDL_Rect Inside = ClipToLayer(S, &R[I]);
        ConvertForUploadGL(S, &Inside);
        Upload(S, 1, &R[I]);
        ConvertFromUploadGL(S, &Inside);
    }
}

#endif
