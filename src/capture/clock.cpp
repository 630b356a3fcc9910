// The capture's virtual clock. The executable defines SDL_GetTicks and
// exports it, so SDL_mixer's calls (fades, timed channels) bind here too,
// and everything sees the time of the frame being made, not the wall's.
// The wall's own time is here too, for what --stats reports, and the sound's
// share of each frame.
#include <time.h>

#include "capture.h"

static Uint32 Now;

void SetCaptureClock(Uint32 Milliseconds)
{
    Now = Milliseconds;
}

Uint32 SDL_GetTicks()
{
    return Now;
}

double WallSeconds()
{
    timespec T;
    clock_gettime(CLOCK_MONOTONIC, &T);
    return (double)T.tv_sec + (double)T.tv_nsec * 1e-9;
}

long long SampleAt(long N, int Rate, int Fps)
{
    return (long long)N * Rate / Fps;
}

int SamplesInFrame(long N, int Rate, int Fps)
{
    return (int)(SampleAt(N + 1, Rate, Fps) - SampleAt(N, Rate, Fps));
}
