// Compiled, never run: Log as a scene calls it. A literal format takes no
// cast and draws no warning; with MISMATCH, arguments that do not fit the
// format must draw one.
#include <pellacorn/error.h>

void LogLikeAScene(int Count, float Ratio)
{
    Log("plain\n");
    Log("%d of %s\n", Count, "them");
#ifdef MISMATCH
    Log("%d\n", Ratio);
#endif
    (void)Ratio;
}
