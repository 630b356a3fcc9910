// The kit's stand-ins for the other calls a browser does differently: music
// from a tracker module, SDL's error text, two GL calls the emulation only
// complains about, and the shell's exit deadline.
#include <GL/gl.h>
#include <SDL_mixer.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include "error.h"
#include "web.h"

extern "C" {
Mix_Music* __real_Mix_LoadMUS(const char* File);
int __real_Mix_PlayMusic(Mix_Music* Music, int Loops);
void __real_glHint(GLenum Target, GLenum Mode);
}

// ---- Music ----

// The browser decodes music itself and knows no tracker module: the build
// renders each module of the scene's data to Ogg beside it, with the
// desktop's own mixer, and the module's name stands for that file here.
static bool IsTrackerModule(const char* File)
{
    static const char* const Endings[] = {".mod", ".xm", ".s3m", ".it"};
    size_t N = strlen(File);
    for (const char* E : Endings) {
        size_t L = strlen(E);
        if (N > L && strcasecmp(File + N - L, E) == 0)
            return true;
    }
    return false;
}

extern "C" Mix_Music* __wrap_Mix_LoadMUS(const char* File)
{
    if (File == NULL || !IsTrackerModule(File))
        return __real_Mix_LoadMUS(File);
    char Ogg[1024];
    snprintf(Ogg, sizeof Ogg, "%.*s.ogg", (int)(strrchr(File, '.') - File), File);
    if (access(Ogg, R_OK) != 0) {
        // Emscripten's would "load" the module, then never play it.
        Log("Music: %s does not play in a browser, and no %s was built from it\n", File, Ogg);
        SDL_SetError("%s does not play in a browser", File);
        return NULL;
    }
    return __real_Mix_LoadMUS(Ogg);
}

// Emscripten's throws on a null tune; the desktop's refuses it quietly.
extern "C" int __wrap_Mix_PlayMusic(Mix_Music* Music, int Loops)
{
    if (Music == NULL) {
        SDL_SetError("music parameter was NULL");
        return -1;
    }
    return __real_Mix_PlayMusic(Music, Loops);
}

// ---- SDL's error text ----

// Emscripten's SDL_SetError keeps nothing, and its SDL_GetError answers a
// fixed text: a failure's reason would never reach the log.
static char LastError[512];

extern "C" int SetWebError(const char* Format, ...)
{
    va_list Args;
    va_start(Args, Format);
    vsnprintf(LastError, sizeof LastError, Format, Args);
    va_end(Args);
    return -1;
}

extern "C" const char* __wrap_SDL_GetError(void)
{
    return LastError;
}

// ---- GL ----

// The emulation shades smoothly only, and its glShadeModel writes an error
// to the console even for GL_SMOOTH; GL_FLAT is said once, in the log.
extern "C" void __wrap_glShadeModel(GLenum Mode)
{
    static bool Told;
    if (Mode == GL_FLAT && !Told) {
        Told = true;
        Log("Web: glShadeModel(GL_FLAT) does nothing in a browser; shading stays smooth\n");
    }
}

// WebGL takes only its own hint targets and reports the fixed-function
// ones (perspective correction, fog, smoothing) as errors; they ask for
// what WebGL does anyway.
extern "C" void __wrap_glHint(GLenum Target, GLenum Mode)
{
    if (Target == 0x8192 /* GL_GENERATE_MIPMAP_HINT */)
        __real_glHint(Target, Mode);
}

// ---- The exit ----

// The shell bounds a stuck exit with an alarm; a page has no X server to
// wait for, and a timer firing after the runtime ended would only fault.
extern "C" unsigned __wrap_alarm(unsigned Seconds)
{
    (void)Seconds;
    return 0;
}
