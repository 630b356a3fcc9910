// The floor: the same window and mode as Pellacorn, and per frame only a
// clear and a buffer swap.
#include "common.h"

int main()
{
    OpenWindowLikePellacorn();
    PlayTheTune();
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    while (KeepGoing()) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_GL_SwapBuffers();
    }
    return 0;
}
