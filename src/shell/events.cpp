// The window's events as the loop hands them over, one at a time, and the
// status record they keep up to date.
#include "main.h"

S_AppStatus AppStatus;
bool isProgramLooping;

void HandleEvent(const SDL_Event* E, Uint8** Keys)
{
    switch (E->type) {
    case SDL_QUIT:
        isProgramLooping = false;
        break;
    case SDL_VIDEORESIZE:
        ReshapeGL(E->resize.w, E->resize.h);
        break;
    case SDL_ACTIVEEVENT:
        if (E->active.state & SDL_APPACTIVE)
            AppStatus.Visible = E->active.gain != 0;
        if (E->active.state & SDL_APPMOUSEFOCUS)
            AppStatus.MouseFocus = E->active.gain != 0;
        if (E->active.state & SDL_APPINPUTFOCUS)
            AppStatus.KeyboardFocus = E->active.gain != 0;
        break;
    case SDL_KEYDOWN:
        // SDL's live table: it also follows the releases that come later.
        *Keys = SDL_GetKeyState(NULL);
        break;
    default:
        break;
    }
}
