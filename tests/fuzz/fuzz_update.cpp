// Fuzzes Update with arbitrary elapsed times, key tables and starting
// state, checking what must hold whatever the input: the services follow
// the two keys exactly, in order, F1 only on its way down, and Ltype
// follows the bound Lx crossed.
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

    // F1 toggles only as it goes down since the previous call with a table;
    // the inputs run one after another in this process, so that carries over.
    static bool F1WasDown;
    ServiceCalls.clear();
    Update(Ms, HasKeys ? Keys : NULL);
    std::string Expected;
    if (HasKeys && Keys[SDLK_ESCAPE])
        Expected += "T";
    if (HasKeys && Keys[SDLK_F1] && !F1WasDown)
        Expected += "F";
    if (HasKeys)
        F1WasDown = Keys[SDLK_F1] != 0;
    if (ServiceCalls != Expected)
        abort();
    if (Lx > 1.0f && !Ltype)
        abort();
    if (Lx < 0.0f && Ltype)
        abort();
    return 0;
}
