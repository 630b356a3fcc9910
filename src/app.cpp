// The demo scene: a spinning, drifting figure of four smooth-shaded
// triangles, three colour-keyed logos bouncing over it, and a looping tune.
#include <GL/gl.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "app.h"
#include "error.h"
#include "shell/imagefile.h"
#include "shell/layer.h"
#include "main.h"

// The assertion in Draw must hold in every build, whatever NDEBUG says.
#undef NDEBUG
#include <assert.h>

// ---- State: external, so that a shell can inspect it, but for one flag. ----

float angle; // spin about Y in degrees, never wrapped
float cnt1;  // phase of the X drift
float cnt2;  // phase of the Y drift
float Lx;    // ping-pong between 0 and 1 for the logos
float Ly;    // phase of the logos' vertical sway
bool Ltype;  // direction of Lx: false rising, true falling
Sint16 Ix, Iy, IxOff, IyOff;
int rot1, rot2;
SDL_Surface* Zarn_Logo;
SDL_Surface* SDL_Logo;
SDL_Surface* QN_Logo;
Mix_Chunk* chunk;
Mix_Music* music;

// How long F1 must read up before a new press counts. Classic SDL empties
// the key table inside the full-screen toggle, and a held key comes back
// only once the window system reports it again: a few frames later, or on
// a busy machine some hundreds of milliseconds. A gap that short is no
// release.
const Uint32 F1RearmMs = 500;
// Private: how long F1 has read up since it last read down, up to
// F1RearmMs; it starts released.
static Uint32 f1UpMs = F1RearmMs;

// ---- Lifecycle ----

bool InitGL(SDL_Surface* S)
{
    (void)S;
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return true;
}

static SDL_Surface* LoadGIF(const char* File)
{
    SDL_Surface* S = IMG_Load(File);
    if (S == NULL)
        ExplainLoadFailure(File, access(File, R_OK) == 0 ? 0 : errno);
    return S;
}

bool Initialize()
{
    AppStatus.Visible = true;
    AppStatus.MouseFocus = true;
    AppStatus.KeyboardFocus = true;

    angle = cnt1 = cnt2 = Lx = Ly = 0.0f;
    Iy = Ix = 0;
    IyOff = IxOff = 1;
    Ltype = false;

    Zarn_Logo = LoadGIF("data/logo.gif");
    if (Zarn_Logo != NULL)
        SDL_Logo = LoadCheckedBMP("data/SDL_Title.bmp");
    if (SDL_Logo != NULL)
        QN_Logo = LoadCheckedBMP("data/QN_Title.bmp");
    if (Zarn_Logo == NULL || SDL_Logo == NULL || QN_Logo == NULL) {
        Log("Cannot load graphic: %s\n", SDL_GetError());
        return false;
    }

    // Pure black is transparent; RLE lets each blit skip it cheaply.
    SDL_Surface* Logos[] = {Zarn_Logo, SDL_Logo, QN_Logo};
    for (SDL_Surface* Logo : Logos)
        SDL_SetColorKey(Logo, SDL_SRCCOLORKEY | SDL_RLEACCEL, SDL_MapRGB(Logo->format, 0, 0, 0));

    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == -1) {
        Log("Could not initialize audio subsystem: %s\n", SDL_GetError());
        exit(1);
    }
    if (Mix_OpenAudio(22060, AUDIO_S16LSB, 2, 512) < 0) {
        Log("Unable to open audio: %s\n", SDL_GetError());
        exit(1);
    }
    // A missing or unplayable module is not an error: the scene runs silent.
    music = Mix_LoadMUS("data/lktheme.mod");
    Mix_PlayMusic(music, -1);
    return true;
}

// ---- Update ----

void Update(Uint32 Milliseconds, Uint8* Keys)
{
    if (Keys != NULL) {
        if (Keys[SDLK_ESCAPE])
            TerminateApplication();
        // One toggle per press: only as F1 goes down after a real release.
        if (Keys[SDLK_F1]) {
            if (f1UpMs >= F1RearmMs)
                ToggleFullscreen();
            f1UpMs = 0;
        } else if (f1UpMs < F1RearmMs) {
            f1UpMs = Milliseconds >= F1RearmMs ? F1RearmMs : f1UpMs + Milliseconds;
        }
    }

    // The spin and the sweep follow time; the drifts and the sway follow
    // the frame count.
    angle += (float)Milliseconds / 5.0f;
    cnt1 += 0.01f;
    cnt2 += 0.008f;
    Ly += 0.03f;

    float factor = (float)Milliseconds / 2000.0f;
    if (!Ltype)
        Lx += factor;
    else
        Lx -= factor;
    if (Lx > 1.0f)
        Ltype = true;
    if (Lx < 0.0f)
        Ltype = false;
}

// ---- Draw ----

void Draw(SDL_Surface* Screen)
{
    assert(Screen);
    Draw3D(Screen);
    Draw2D(Screen);
}

void Draw3D(SDL_Surface* S)
{
    (void)S;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef((float)cos((double)cnt1), (float)sin((double)cnt2), -6.0f);
    glRotatef(angle, 0.0f, 1.0f, 0.0f);

    // The rotations pile up on the model-view matrix on purpose: each
    // triangle is placed relative to the previous one.
    for (rot1 = 0; rot1 < 2; rot1++) {
        glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
        glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
        for (rot2 = 0; rot2 < 2; rot2++) {
            glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
            glBegin(GL_TRIANGLES);
            glColor3f(1.0f, 0.0f, 0.0f);
            glVertex3f(0.0f, 1.0f, 0.0f);
            glColor3f(0.0f, 1.0f, 0.0f);
            glVertex3f(-1.0f, -1.0f, 1.0f);
            glColor3f(0.0f, 0.0f, 1.0f);
            glVertex3f(1.0f, -1.0f, 1.0f);
            glEnd();
        }
    }
    glFlush();
}

// Truncate toward zero into a rectangle coordinate. Out-of-range values
// (and NaN) saturate, which keeps a logo that far out off the surface.
static Sint16 ToSint16(double V)
{
    if (V >= 32768.0)
        return 32767;
    if (!(V > -32769.0))
        return -32768;
    return (Sint16)V;
}

// Erase a logo's previous rectangle, then blit it whole at its new place
// and update just that rectangle. The blit writes back the clipped area,
// which is exactly what the next frame must erase.
static void EraseLogo(SDL_Surface* S, SDL_Rect* R)
{
    SDL_FillRect(S, R, SDL_MapRGBA(S->format, 0, 0, 0, 0));
}

// Where the program is linked with the shell library's wrap of
// SDL_UpdateRects, the linker resolves this name to the real call and the
// wrap keeps the layer right on every SDL (shell/layer.h). In a shell of
// someone else's it stays null, and the scene does the same with its own
// copy of that code, so that its logos show there too.
extern "C" void __real_SDL_UpdateRects(SDL_Surface* S, int N, SDL_Rect* R) __attribute__((weak));

// Blit a logo whole at R and update the area it covered.
static void BlitLogo(SDL_Surface* S, SDL_Surface* Logo, SDL_Rect* R)
{
    R->w = (Uint16)Logo->w;
    R->h = (Uint16)Logo->h;
    SDL_UpperBlit(Logo, NULL, S, R);
    if (__real_SDL_UpdateRects != NULL)
        SDL_UpdateRects(S, 1, R);
    else
        UpdateLayerRectsGL(S, 1, R, SDL_UpdateRects);
}

void Draw2D(SDL_Surface* S)
{
    static SDL_Rect src1, src2, src3;

    // First logo: swept across by Lx, bouncing down and up a pixel a frame.
    EraseLogo(S, &src1);
    src1.x = ToSint16((double)(ScreenWidth - Zarn_Logo->w) * (double)Lx);
    Iy = (Sint16)(Iy + IyOff);
    src1.y = Iy;
    // Tested after the move, so the logo is drawn once a pixel past the
    // bound before it turns.
    if (Iy > ScreenHeight - Zarn_Logo->h || Iy < 0)
        IyOff = (Sint16)-IyOff;
    BlitLogo(S, Zarn_Logo, &src1);

    // Second logo: bouncing across a pixel a frame, swaying up and down.
    EraseLogo(S, &src2);
    Ix = (Sint16)(Ix + IxOff);
    src2.x = Ix;
    src2.y = ToSint16(sin((double)Ly) * 170.0 + (double)((SDL_Logo->h + ScreenHeight) / 2) - 80.0);
    if (Ix > ScreenWidth - SDL_Logo->w || Ix < 0)
        IxOff = (Sint16)-IxOff;
    BlitLogo(S, SDL_Logo, &src2);

    // Third logo: a curve traced by the two phases.
    EraseLogo(S, &src3);
    src3.x = ToSint16(sin((double)Lx) * 170.0 + (double)((QN_Logo->w + ScreenWidth) / 2) - 106.0);
    src3.y = ToSint16(cos((double)Ly) * 170.0 + (double)((QN_Logo->h + ScreenHeight) / 2) - 80.0);
    BlitLogo(S, QN_Logo, &src3);
}

// ---- Sound effects, for scenes that want them ----

static void DropChunk()
{
    Mix_HaltChannel(1);
    Mix_FreeChunk(chunk);
    chunk = NULL;
}

void PlaySound(char* sound, int repeat)
{
    if (sound == NULL) {
        DropChunk();
        return;
    }
    // Only one effect exists at a time; freeing it also stops it wherever
    // it plays.
    if (chunk != NULL)
        DropChunk();
    chunk = Mix_LoadWAV_RW(SDL_RWFromFile(sound, "rb"), 1);
    if (chunk == NULL)
        fprintf(stderr, "Failed to load sound: %s\n", sound);
    Mix_PlayChannelTimed(-1, chunk, repeat, -1);
}

// ---- Teardown ----

void Deinitialize()
{
    Mix_HaltMusic();
    Mix_FreeMusic(music);
    Mix_FreeChunk(chunk);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
