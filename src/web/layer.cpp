// The 2D layer in the browser: the Screen a scene fills, blits its colour-
// keyed images onto and updates, as on the desktop's OPENGLBLIT screen.
// Emscripten's SDL has no such layer (nor colour keys, nor blits onto a GL
// screen), so the kit keeps one: a plain 32-bit surface in memory, drawn on
// in C, whose updated rectangles are shown over the GL frame at the swap.
// Every call here stands in for SDL's (linked with -Wl,--wrap).
#include <GL/gl.h>
#include <stdlib.h>
#include <string.h>

#include <unordered_map>
#include <vector>

#include "web.h"

extern "C" {
SDL_Surface* __real_SDL_SetVideoMode(int W, int H, int B, Uint32 F);
int __real_SDL_UpperBlit(SDL_Surface* Src, SDL_Rect* SrcRect, SDL_Surface* Dst, SDL_Rect* DstRect);
int __real_SDL_FillRect(SDL_Surface* Dst, SDL_Rect* Rect, Uint32 Colour);
void __real_SDL_UpdateRects(SDL_Surface* S, int N, SDL_Rect* Rects);
void __real_SDL_UpdateRect(SDL_Surface* S, Sint32 X, Sint32 Y, Uint32 W, Uint32 H);
void __real_SDL_FreeSurface(SDL_Surface* S);
int __real_SDL_LockSurface(SDL_Surface* S);
void __real_SDL_UnlockSurface(SDL_Surface* S);
void __real_SDL_GL_SwapBuffers(void);
}

static SDL_Surface* Layer;
static GLuint LayerTexture;
// What the scene updated since the last swap: shown over that frame only,
// as the desktop's layer shows an update in the frame it was made in.
static std::vector<SDL_Rect> Updated;
static std::vector<Uint32> Packed; // one rectangle's pixels, row after row
// The colour key of each surface that has one (RGB only; Emscripten's
// SDL_SetColorKey keeps none).
static std::unordered_map<SDL_Surface*, Uint32> Keys;

SDL_Surface* LayerWeb()
{
    return Layer;
}

// R clipped to S; false (and R empty) when nothing of it is inside.
static bool ClipRect(const SDL_Surface* S, SDL_Rect* R)
{
    int X0 = R->x > 0 ? R->x : 0, Y0 = R->y > 0 ? R->y : 0;
    int X1 = R->x + R->w < S->w ? R->x + R->w : S->w;
    int Y1 = R->y + R->h < S->h ? R->y + R->h : S->h;
    if (X1 <= X0 || Y1 <= Y0) {
        R->w = R->h = 0;
        return false;
    }
    R->x = (Sint16)X0, R->y = (Sint16)Y0, R->w = (Uint16)(X1 - X0), R->h = (Uint16)(Y1 - Y0);
    return true;
}

static Uint32* FindRow(SDL_Surface* S, int Y)
{
    return (Uint32*)((Uint8*)S->pixels + Y * S->pitch);
}

// Surfaces whose pixels are drawn in C: the layer, and any 32-bit surface
// Emscripten keeps in memory (a loaded image, SDL_CreateRGBSurface's). Its
// SDL_MapRGB packs R, G, B, A bytes whatever the masks, so all of them hold
// that order. Emscripten's own calls would draw on a canvas instead, which
// a GL screen never shows.
static bool IsDrawnInC(const SDL_Surface* S)
{
    return S == Layer || (S != NULL && S->pixels != NULL && S->format->BytesPerPixel == 4);
}

// The layer, laid out as Emscripten's SDL_MapRGBA packs a colour (R, G, B,
// A bytes, also GL_RGBA's order), transparent black, with its texture.
static SDL_Surface* CreateLayerGL(int W, int H)
{
    SDL_PixelFormat* F = (SDL_PixelFormat*)calloc(1, sizeof *F);
    SDL_Surface* S = (SDL_Surface*)calloc(1, sizeof *S);
    void* Pixels = calloc((size_t)W * H, 4);
    if (F == NULL || S == NULL || Pixels == NULL) {
        free(F), free(S), free(Pixels);
        return NULL;
    }
    F->BitsPerPixel = 32;
    F->BytesPerPixel = 4;
    F->Rmask = 0x000000FF, F->Gmask = 0x0000FF00, F->Bmask = 0x00FF0000, F->Amask = 0xFF000000;
    F->Gshift = 8, F->Bshift = 16, F->Ashift = 24;
    S->format = F;
    S->w = W, S->h = H, S->pitch = W * 4;
    S->pixels = Pixels;
    S->clip_rect.w = W, S->clip_rect.h = H;
    S->refcount = 1;
    glGenTextures(1, &LayerTexture);
    glBindTexture(GL_TEXTURE_2D, LayerTexture);
    // Nearest: a rectangle's quad samples none of the texels beside it,
    // which older frames left there.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // WebGL 1 takes a 640 x 480 texture only unrepeated and unmipmapped.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, W, H, 0, GL_RGBA, GL_UNSIGNED_BYTE, Pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
    return S;
}

// The scene's Screen is the layer; the GL screen stays Emscripten's.
extern "C" SDL_Surface* __wrap_SDL_SetVideoMode(int W, int H, int B, Uint32 F)
{
    if (__real_SDL_SetVideoMode(W, H, B, F) == NULL)
        return NULL;
    if (Layer == NULL && (Layer = CreateLayerGL(W, H)) == NULL)
        SDL_SetError("No memory for a %d x %d layer", W, H);
    return Layer;
}

extern "C" SDL_Surface* __wrap_SDL_GetVideoSurface(void)
{
    return Layer;
}

extern "C" int __wrap_SDL_SetColorKey(SDL_Surface* S, Uint32 Flag, Uint32 Key)
{
    if (S == NULL)
        return -1;
    if (Flag & SDL_SRCCOLORKEY)
        Keys[S] = Key & 0x00FFFFFF;
    else
        Keys.erase(S);
    return 0;
}

// A given rectangle is clipped in place, as SDL 1.2 does.
extern "C" int __wrap_SDL_FillRect(SDL_Surface* Dst, SDL_Rect* Rect, Uint32 Colour)
{
    if (!IsDrawnInC(Dst))
        return __real_SDL_FillRect(Dst, Rect, Colour);
    SDL_Rect Whole = {0, 0, (Uint16)Dst->w, (Uint16)Dst->h};
    SDL_Rect* R = Rect != NULL ? Rect : &Whole;
    if (!ClipRect(Dst, R))
        return 0;
    for (int Y = R->y; Y < R->y + R->h; Y++) {
        Uint32* Row = FindRow(Dst, Y) + R->x;
        for (int X = 0; X < R->w; X++)
            Row[X] = Colour;
    }
    return 0;
}

// The source's colour key, or its alpha of 0, is transparent; every other
// pixel lands opaque. The destination rectangle is clipped and written
// back, so a scene erases exactly what a logo covered.
extern "C" int __wrap_SDL_UpperBlit(
    SDL_Surface* Src, SDL_Rect* SrcRect, SDL_Surface* Dst, SDL_Rect* DstRect)
{
    if (!IsDrawnInC(Dst) || !IsDrawnInC(Src))
        return __real_SDL_UpperBlit(Src, SrcRect, Dst, DstRect);
    SDL_Rect From = {0, 0, (Uint16)Src->w, (Uint16)Src->h};
    if (SrcRect != NULL) {
        From = *SrcRect;
        if (!ClipRect(Src, &From))
            return 0;
    }
    SDL_Rect To = {DstRect != NULL ? DstRect->x : (Sint16)0,
        DstRect != NULL ? DstRect->y : (Sint16)0, From.w, From.h};
    int SkipX = To.x < 0 ? -To.x : 0, SkipY = To.y < 0 ? -To.y : 0;
    bool Visible = ClipRect(Dst, &To);
    if (DstRect != NULL)
        *DstRect = To;
    if (!Visible)
        return 0;
    auto Key = Keys.find(Src);
    bool Keyed = Key != Keys.end();
    bool Alpha = Src->format->Amask != 0;
    for (int Y = 0; Y < To.h; Y++) {
        const Uint32* In = FindRow(Src, From.y + SkipY + Y) + From.x + SkipX;
        Uint32* Out = FindRow(Dst, To.y + Y) + To.x;
        for (int X = 0; X < To.w; X++) {
            Uint32 P = In[X];
            if ((Keyed && (P & 0x00FFFFFF) == Key->second) || (Alpha && (P >> 24) == 0))
                continue;
            Out[X] = P | 0xFF000000;
        }
    }
    return 0;
}

extern "C" void __wrap_SDL_UpdateRects(SDL_Surface* S, int N, SDL_Rect* Rects)
{
    if (S != Layer) {
        __real_SDL_UpdateRects(S, N, Rects);
        return;
    }
    for (int I = 0; I < N; I++) {
        SDL_Rect R = Rects[I];
        if (ClipRect(Layer, &R))
            Updated.push_back(R);
    }
}

// SDL's rule: a width and height of 0 mean the whole surface.
extern "C" void __wrap_SDL_UpdateRect(SDL_Surface* S, Sint32 X, Sint32 Y, Uint32 W, Uint32 H)
{
    if (S != Layer) {
        __real_SDL_UpdateRect(S, X, Y, W, H);
        return;
    }
    SDL_Rect R = {(Sint16)X, (Sint16)Y, (Uint16)(W != 0 ? W : (Uint32)S->w),
        (Uint16)(H != 0 ? H : (Uint32)S->h)};
    __wrap_SDL_UpdateRects(S, 1, &R);
}

// Surfaces drawn in C need no lock; Emscripten's would read them back from
// a canvas, which a GL screen has dropped.
extern "C" int __wrap_SDL_LockSurface(SDL_Surface* S)
{
    return IsDrawnInC(S) ? 0 : __real_SDL_LockSurface(S);
}

extern "C" void __wrap_SDL_UnlockSurface(SDL_Surface* S)
{
    if (!IsDrawnInC(S))
        __real_SDL_UnlockSurface(S);
}

extern "C" void __wrap_SDL_FreeSurface(SDL_Surface* S)
{
    Keys.erase(S);
    if (S != NULL && S != Layer)
        __real_SDL_FreeSurface(S);
}

// Each rectangle updated since the last swap, uploaded and drawn as a quad
// over the frame, leaving the scene's GL state as it was.
static void DrawLayerGL()
{
    GLboolean Depth = glIsEnabled(GL_DEPTH_TEST), Blend = glIsEnabled(GL_BLEND);
    GLboolean Texture = glIsEnabled(GL_TEXTURE_2D);
    GLint Bound = 0, BlendSrc = GL_ONE, BlendDst = GL_ZERO;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &Bound);
    // WebGL knows the blend factors only by their RGB and alpha names.
    glGetIntegerv(0x80C9 /* GL_BLEND_SRC_RGB */, &BlendSrc);
    glGetIntegerv(0x80C8 /* GL_BLEND_DST_RGB */, &BlendDst);

    glBindTexture(GL_TEXTURE_2D, LayerTexture);
    // WebGL 1 has no row length to upload part of a row: each rectangle is
    // packed first.
    for (const SDL_Rect& R : Updated) {
        Packed.resize((size_t)R.w * R.h);
        for (int Y = 0; Y < R.h; Y++)
            memcpy(&Packed[(size_t)Y * R.w], FindRow(Layer, R.y + Y) + R.x, (size_t)R.w * 4);
        glTexSubImage2D(
            GL_TEXTURE_2D, 0, R.x, R.y, R.w, R.h, GL_RGBA, GL_UNSIGNED_BYTE, Packed.data());
    }
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 1.0, 1.0, 0.0, -1.0, 1.0); // the layer's row 0 at the top
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    // A colour at every vertex: the emulation drops a primitive whose
    // vertices share one earlier glColor.
    const float W = (float)Layer->w, H = (float)Layer->h;
    glBegin(GL_TRIANGLES);
    for (const SDL_Rect& R : Updated) {
        float X0 = R.x / W, Y0 = R.y / H, X1 = (R.x + R.w) / W, Y1 = (R.y + R.h) / H;
        const float Corners[6][2] = {{X0, Y0}, {X1, Y0}, {X1, Y1}, {X0, Y0}, {X1, Y1}, {X0, Y1}};
        for (const float* C : Corners) {
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            glTexCoord2f(C[0], C[1]);
            glVertex2f(C[0], C[1]);
        }
    }
    glEnd();
    Updated.clear();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    glBlendFunc((GLenum)BlendSrc, (GLenum)BlendDst);
    if (!Texture)
        glDisable(GL_TEXTURE_2D);
    if (!Blend)
        glDisable(GL_BLEND);
    if (Depth)
        glEnable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, (GLuint)Bound);
}

extern "C" void __wrap_SDL_GL_SwapBuffers(void)
{
    if (Layer != NULL && !Updated.empty())
        DrawLayerGL();
    __real_SDL_GL_SwapBuffers();
}
