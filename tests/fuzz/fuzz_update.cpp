// Fuzzes Update with arbitrary elapsed times, key tables and starting
// state, checking what must hold whatever the input: Escape quits while it
// is down, F1 toggles only as it goes down, and Ltype follows the bound Lx
// crossed.
#include <SDL.h>
#include <stdlib.h>
#include <string.h>

#include "app.h"
#include "test_shell.h"

extern "C" int LLVMFuzzerTestOneInput(const Uint8* Data, size_t Size)
{
    const size_t State = 5 * sizeof(float) + 2 + sizeof(Uint32);
    if (Size < State)
        return 0;
    float F[5];
    memcpy(F, Data, sizeof F);
    angle = F[0], cnt1 = F[1], cnt2 = F[2], Lx = F[3], Ly = F[4];
    Ltype = Data[20] & 1;
    bool HasKeys = Data[21] & 1;
    Uint32 Ms;
    memcpy(&Ms, Data + 22, sizeof Ms);
    static Uint8 Keys[SDLK_LAST];
    memset(Keys, 0, sizeof Keys);
    memcpy(Keys, Data + State, Size - State < sizeof Keys ? Size - State : sizeof Keys);

    // What must hold whatever the timing: Escape asks to quit exactly while
    // it is down, and first; F1 toggles only while it is down, and never
    // again while it stays down. The inputs run one after another in this
    // process, so the last F1 state carries over.
    static bool F1Held;
    ServiceCalls.clear();
    Update(Ms, HasKeys ? Keys : NULL);
    bool Quit = HasKeys && Keys[SDLK_ESCAPE], F1 = HasKeys && Keys[SDLK_F1];
    std::string Toggle = ServiceCalls.substr(Quit ? 1 : 0);
    if ((ServiceCalls.compare(0, 1, "T") == 0) != Quit)
        abort();
    if (Toggle != "" && (Toggle != "F" || !F1 || F1Held))
        abort();
    if (HasKeys)
        F1Held = F1;
    if (Lx > 1.0f && !Ltype)
        abort();
    if (Lx < 0.0f && Ltype)
        abort();
    return 0;
}
