// The key table a scene reads: SDL 1.2's, indexed by the desktop's key
// codes, so that Keys[SDLK_F1] is the same key in both builds of a scene.
// Emscripten numbers a key past ASCII 1024 + its scancode instead.
#include "web.h"

static Uint8 KeyTable[SDLK_LAST];

// The desktop code of the key Emscripten calls Code, or -1 for none.
static int FindDesktopKey(int Code)
{
    static const struct {
        short Scancode, Desktop;
    } Table[] = {
        {58, SDLK_F1}, {59, SDLK_F2}, {60, SDLK_F3}, {61, SDLK_F4}, {62, SDLK_F5}, {63, SDLK_F6},
        {64, SDLK_F7}, {65, SDLK_F8}, {66, SDLK_F9}, {67, SDLK_F10}, {68, SDLK_F11},
        {69, SDLK_F12}, {104, SDLK_F13}, {105, SDLK_F14}, {106, SDLK_F15}, {79, SDLK_RIGHT},
        {80, SDLK_LEFT}, {81, SDLK_DOWN}, {82, SDLK_UP}, {73, SDLK_INSERT}, {74, SDLK_HOME},
        {75, SDLK_PAGEUP}, {77, SDLK_END}, {78, SDLK_PAGEDOWN}, {83, SDLK_NUMLOCK},
        {57, SDLK_CAPSLOCK}, {71, SDLK_SCROLLOCK}, {229, SDLK_RSHIFT}, {225, SDLK_LSHIFT},
        {228, SDLK_RCTRL}, {224, SDLK_LCTRL}, {230, SDLK_RALT}, {226, SDLK_LALT},
        {227, SDLK_LSUPER}, {231, SDLK_RSUPER}, {70, SDLK_PRINT}, {72, SDLK_PAUSE}, {117, SDLK_HELP}, {118, SDLK_MENU},
        {154, SDLK_SYSREQ}, {102, SDLK_POWER}, {122, SDLK_UNDO},
        {98, SDLK_KP0}, {89, SDLK_KP1}, {90, SDLK_KP2}, {91, SDLK_KP3}, {92, SDLK_KP4},
        {93, SDLK_KP5}, {94, SDLK_KP6}, {95, SDLK_KP7}, {96, SDLK_KP8}, {97, SDLK_KP9},
        {99, SDLK_KP_PERIOD}, {84, SDLK_KP_DIVIDE}, {85, SDLK_KP_MULTIPLY},
        {86, SDLK_KP_MINUS}, {87, SDLK_KP_PLUS}, {88, SDLK_KP_ENTER}, {103, SDLK_KP_EQUALS},
    };
    if (Code >= 0 && Code < 1024)
        return Code < SDLK_LAST ? Code : -1; // ASCII and Latin-1 are the same on both
    for (const auto& K : Table)
        if (Code - 1024 == K.Scancode)
            return K.Desktop;
    return -1;
}

void FollowKeyWeb(const SDL_Event* E)
{
    if (E->type != SDL_KEYDOWN && E->type != SDL_KEYUP)
        return;
    int Key = FindDesktopKey(E->key.keysym.sym);
    if (Key >= 0)
        KeyTable[Key] = E->type == SDL_KEYDOWN;
}

// SDL's live table, as on the desktop: it follows presses and releases.
extern "C" Uint8* __wrap_SDL_GetKeyState(int* Count)
{
    if (Count != NULL)
        *Count = SDLK_LAST;
    return KeyTable;
}
