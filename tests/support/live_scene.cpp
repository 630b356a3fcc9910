// A scene for the live program's test, which writes each version of it from
// this text: LIVE_TAG names the version, LIVE_COLOUR is the clear colour its
// InitGL sets, LIVE_ANGLE the type of a variable a version may resize, and
// LIVE_UPDATE, LIVE_DRAW let a version do more in Update, crash there or
// lack its Draw. The first frame of each version logs the counter and the
// function-level static it carried over.
#include <GL/gl.h>
#include <pellacorn/error.h>
#include <pellacorn/main.h>

int Frames;
LIVE_ANGLE Angle;
static bool SaidLIVE_TAG; // new in each version, so it starts false

bool InitGL(SDL_Surface* S)
{
    (void)S;
    glClearColor(LIVE_COLOUR, 1.0f);
    Log("InitGL\n");
    return true;
}

bool Initialize()
{
    AppStatus.Visible = AppStatus.MouseFocus = AppStatus.KeyboardFocus = true;
    Log("Initialize\n");
    return true;
}

void Update(Uint32 Milliseconds, Uint8* Keys)
{
    static int Calls;
    Frames++;
    Calls++;
    Angle += Milliseconds;
    if (!SaidLIVE_TAG) {
        SaidLIVE_TAG = true;
        Log("LIVE_TAG frames=%d calls=%d\n", Frames, Calls);
    }
    if (Keys != NULL && Keys[SDLK_ESCAPE])
        TerminateApplication();
    LIVE_UPDATE
}

void LIVE_DRAW(SDL_Surface* Screen)
{
    (void)Screen;
    glClear(GL_COLOR_BUFFER_BIT);
}

void Deinitialize()
{
    Log("Deinitialize\n");
}
