/* A preload library that watches a running Pellacorn without changing it:
 * it counts buffer swaps and notes the audio format the mixer opened.
 * LD_PRELOAD=libpellacorn_spy.so PELLACORN_SPY=FILE writes to FILE:
 *   audio RATE FORMAT CHANNELS      once the mixer is open
 *   first MS                        milliseconds from load to the first swap
 *   at MS frames N                  every quarter second, and at exit
 * With PELLACORN_SPY_FRAMES=N it asks the program to quit after N frames,
 * as a window manager or a terminal would, by SIGTERM.
 */
/* _GNU_SOURCE, for RTLD_NEXT, comes with SDL's compile flags. */
#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static FILE* Out;
static unsigned long Frames;
static double Loaded, LastReport;
static unsigned long QuitAfter;

static double NowMs(void)
{
    struct timespec T;
    clock_gettime(CLOCK_MONOTONIC, &T);
    return T.tv_sec * 1000.0 + T.tv_nsec / 1e6;
}

static void Report(void)
{
    if (Out != NULL) {
        fprintf(Out, "at %.1f frames %lu\n", NowMs() - Loaded, Frames);
        fflush(Out);
    }
}

__attribute__((constructor)) static void Start(void)
{
    const char* Path = getenv("PELLACORN_SPY");
    const char* Frames = getenv("PELLACORN_SPY_FRAMES");
    Loaded = NowMs();
    QuitAfter = Frames != NULL ? strtoul(Frames, NULL, 10) : 0;
    if (Path != NULL)
        Out = fopen(Path, "w");
    atexit(Report);
}

void SDL_GL_SwapBuffers(void)
{
    static void (*Real)(void);
    if (Real == NULL)
        Real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    Real();
    if (++Frames == 1 && Out != NULL)
        fprintf(Out, "first %.1f\n", NowMs() - Loaded);
    if (Frames == QuitAfter)
        raise(SIGTERM);
    if (NowMs() - LastReport >= 250.0) {
        LastReport = NowMs();
        Report();
    }
}

int Mix_OpenAudio(int Frequency, Uint16 Format, int Channels, int ChunkSize)
{
    static int (*Real)(int, Uint16, int, int);
    if (Real == NULL)
        Real = (int (*)(int, Uint16, int, int))dlsym(RTLD_NEXT, "Mix_OpenAudio");
    int Result = Real(Frequency, Format, Channels, ChunkSize);
    int Rate, Got;
    Uint16 Fmt;
    if (Result == 0 && Mix_QuerySpec(&Rate, &Fmt, &Got) && Out != NULL) {
        fprintf(Out, "audio %d %u %d\n", Rate, Fmt, Got);
        fflush(Out);
    }
    return Result;
}
