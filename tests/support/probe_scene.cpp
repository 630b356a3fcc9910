// A probe scene for the shell: it defines the five hooks and writes one line
// a call to "probe.txt" in the working directory, flushed at once, so a test
// can read what the shell did and when. Knobs, read from the environment:
//   PROBE_INIT_MS     sleep this long inside Initialize
//   PROBE_QUIT_AFTER  call TerminateApplication in that frame's Update
//   PROBE_FAIL        "InitGL" or "Initialize": that hook returns false,
//                     with SDL's error text PROBE_ERROR (empty if unset)
//   PROBE_CRASH       "HOOK:SIGNAL", e.g. "Update:SIGSEGV": that hook dies
//                     of SIGSEGV by a bad write, of SIGABRT by abort(), or
//                     of SIGFPE sent to itself
//   PROBE_HIDE_AFTER  in that frame's Update, queue the event an iconified
//                     window sends, leaving both focus flags as they are
// Each frame it draws a white square, 2 units wide, 6 units in front of the
// eye, under whatever projection the shell set.
#include <GL/gl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <pellacorn/main.h>

static FILE* Probe;
static int Frames;

static void Record(const char* Format, ...) __attribute__((format(printf, 1, 2)));
static void Record(const char* Format, ...)
{
    if (Probe == NULL)
        Probe = fopen("probe.txt", "w");
    va_list Args;
    va_start(Args, Format);
    vfprintf(Probe, Format, Args);
    va_end(Args);
    fflush(Probe);
}

static int Knob(const char* Name)
{
    const char* V = getenv(Name);
    return V != NULL ? atoi(V) : 0;
}

static bool Fails(const char* Hook)
{
    const char* V = getenv("PROBE_FAIL");
    if (V == NULL || strcmp(V, Hook) != 0)
        return false;
    const char* Error = getenv("PROBE_ERROR");
    if (Error != NULL)
        SDL_SetError("%s", Error);
    else
        SDL_ClearError();
    return true;
}

static void CrashIfAsked(const char* Hook)
{
    const char* V = getenv("PROBE_CRASH");
    size_t N = strlen(Hook);
    if (V == NULL || strncmp(V, Hook, N) != 0 || V[N] != ':')
        return;
    const char* Signal = V + N + 1;
    if (strcmp(Signal, "SIGSEGV") == 0) {
        // Not null, which the sanitizers would catch first.
        volatile int* volatile Unmapped = (int*)16;
        *Unmapped = 1;
    } else if (strcmp(Signal, "SIGABRT") == 0)
        abort();
    else if (strcmp(Signal, "SIGFPE") == 0)
        raise(SIGFPE);
}

// Whether every pixel of the 2D layer is zero: transparent black.
static bool LayerIsClear(SDL_Surface* S)
{
    for (int Y = 0; Y < S->h; Y++)
        for (int X = 0; X < S->pitch; X++)
            if (((Uint8*)S->pixels)[Y * S->pitch + X] != 0)
                return false;
    return true;
}

bool InitGL(SDL_Surface* S)
{
    Uint32 Ticks = SDL_GetTicks(); // before the scan, which takes a while
    GLint Depth = 0;
    glGetIntegerv(GL_DEPTH_BITS, &Depth);
    Record("InitGL ticks=%u screen=%p bpp=%d amask=%08x clear=%d depth=%d\n", Ticks, (void*)S,
        S->format->BitsPerPixel, S->format->Amask, LayerIsClear(S), Depth);
    CrashIfAsked("InitGL");
    return !Fails("InitGL");
}

bool Initialize()
{
    Record("Initialize ticks=%u\n", SDL_GetTicks());
    AppStatus.Visible = AppStatus.MouseFocus = AppStatus.KeyboardFocus = true;
    SDL_Delay((Uint32)Knob("PROBE_INIT_MS"));
    CrashIfAsked("Initialize");
    return !Fails("Initialize");
}

void Update(Uint32 Milliseconds, Uint8* Keys)
{
    Frames++;
    Record("Update frame=%d ms=%u ticks=%u keys=%d shift=%d visible=%d mouse=%d keyboard=%d\n",
        Frames, Milliseconds, SDL_GetTicks(), Keys != NULL, Keys != NULL && Keys[SDLK_LSHIFT],
        AppStatus.Visible, AppStatus.MouseFocus, AppStatus.KeyboardFocus);
    CrashIfAsked("Update");
    if (Frames == Knob("PROBE_QUIT_AFTER"))
        TerminateApplication();
    if (Frames == Knob("PROBE_HIDE_AFTER")) {
        SDL_Event Hidden = {};
        Hidden.type = SDL_ACTIVEEVENT;
        Hidden.active.gain = 0;
        Hidden.active.state = SDL_APPACTIVE;
        SDL_PushEvent(&Hidden);
    }
}

void Draw(SDL_Surface* Screen)
{
    Record("Draw frame=%d screen=%p\n", Frames, (void*)Screen);
    CrashIfAsked("Draw");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -1.0f, -6.0f);
    glVertex3f(1.0f, -1.0f, -6.0f);
    glVertex3f(1.0f, 1.0f, -6.0f);
    glVertex3f(-1.0f, 1.0f, -6.0f);
    glEnd();
}

void Deinitialize()
{
    Record("Deinitialize\n");
    CrashIfAsked("Deinitialize");
}
