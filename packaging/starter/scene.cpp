// A Pellacorn scene: a colour-shaded square that turns and sways. The shell
// opens the window, runs the loop and keeps log.txt; this file holds the
// five hooks it calls, in the order it calls them. Escape quits.
#include <GL/gl.h>
#include <math.h>

#include <pellacorn/error.h>
#include <pellacorn/main.h>

// ---- State ----
static float Angle;   // degrees about the view axis
static float Seconds; // scene time, which stands still while iconified

// ---- Initialization ----
bool InitGL(SDL_Surface* S)
{
    (void)S;
    glClearColor(0.05f, 0.05f, 0.15f, 1.0f);
    glShadeModel(GL_SMOOTH);
    return true;
}

bool Initialize()
{
    // The shell draws no frame until the scene says the window is shown.
    AppStatus.Visible = AppStatus.MouseFocus = AppStatus.KeyboardFocus = true;
    Angle = Seconds = 0.0f;
    Log((char*)"@SCENE@: started, %d x %d\n", ScreenWidth, ScreenHeight);
    return true;
}

// ---- Update ----
void Update(Uint32 Milliseconds, Uint8* Keys)
{
    if (Keys != NULL && Keys[SDLK_ESCAPE]) // Keys is null until a key is pressed
        TerminateApplication();
    // The first frame, and the first after iconifying, span a long time;
    // a capped step keeps the square from jumping.
    float Step = (float)(Milliseconds < 100 ? Milliseconds : 100) / 1000.0f;
    Seconds += Step;
    Angle = fmodf(Angle + 90.0f * Step, 360.0f);
}

// ---- Draw ----
void Draw(SDL_Surface* Screen)
{
    (void)Screen; // for SDL blits over the GL frame; this scene draws with GL only
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(1.5f * sinf(Seconds), 0.0f, -6.0f);
    glRotatef(Angle, 0.0f, 0.0f, 1.0f);
    glBegin(GL_QUADS);
    glColor3f(1.0f, 0.3f, 0.2f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glColor3f(1.0f, 0.9f, 0.2f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glColor3f(0.2f, 0.8f, 0.4f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glColor3f(0.3f, 0.4f, 1.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glEnd();
}

// ---- De-initialization ----
void Deinitialize()
{
    // Nothing to free: free here what Initialize loads.
}
