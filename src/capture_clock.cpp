// The capture's virtual clock. The executable defines SDL_GetTicks and
// exports it, so SDL_mixer's calls (fades, timed channels) bind here too,
// and everything sees the time of the frame being made, not the wall's.
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
