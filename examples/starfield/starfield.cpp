// An example scene: flying through a field of stars, drawn as streaks from
// where each star was to where it is. It uses the shell exactly as the demo
// scene does: Escape asks the shell to quit, F1 toggles full screen.
#include <GL/gl.h>

#include <pellacorn/error.h>
#include <pellacorn/main.h>

const int StarCount = 600;
const float Far = -60.0f, Near = -1.0f, Spread = 12.0f;

struct Star {
    float x, y, z;
};
static Star Stars[StarCount];
static float Speed; // units per millisecond
static float LastStep;
static Uint32 Seed = 12345;

// A small deterministic generator: the same sky on every run.
static float Random(float Lo, float Hi)
{
    Seed = Seed * 1664525u + 1013904223u;
    return Lo + (Hi - Lo) * (float)(Seed >> 8) / (float)(1u << 24);
}

static void PlaceStar(Star* S, float Z)
{
    S->x = Random(-Spread, Spread);
    S->y = Random(-Spread, Spread);
    S->z = Z;
}

bool InitGL(SDL_Surface* S)
{
    (void)S;
    glClearColor(0.0f, 0.0f, 0.02f, 1.0f);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE); // overlapping streaks add up
    glLineWidth(2.0f);
    return true;
}

bool Initialize()
{
    AppStatus.Visible = AppStatus.MouseFocus = AppStatus.KeyboardFocus = true;
    for (Star& S : Stars)
        PlaceStar(&S, Random(Far, Near));
    Speed = 0.02f;
    Log("Starfield: %d stars\n", StarCount);
    return true;
}

void Update(Uint32 Milliseconds, Uint8* Keys)
{
    // The key table is live: a held F1 reads as down on every frame, so
    // the toggle waits for a press after a real release. Classic SDL
    // empties the table inside the toggle, and a held key reads up until
    // the window system reports it again, on a busy machine for some
    // hundreds of milliseconds: a gap that short is no release.
    const Uint32 F1RearmMs = 500;
    static Uint32 f1UpMs = F1RearmMs;
    if (Keys != NULL) {
        if (Keys[SDLK_ESCAPE])
            TerminateApplication();
        if (Keys[SDLK_F1]) {
            if (f1UpMs >= F1RearmMs)
                ToggleFullscreen();
            f1UpMs = 0;
        } else if (f1UpMs < F1RearmMs) {
            f1UpMs = Milliseconds >= F1RearmMs ? F1RearmMs : f1UpMs + Milliseconds;
        }
    }
    // A long pause (the window was hidden) must not fling every star past
    // the eye at once.
    LastStep = Speed * (float)(Milliseconds < 100 ? Milliseconds : 100);
    for (Star& S : Stars) {
        S.z += LastStep;
        if (S.z > Near)
            PlaceStar(&S, Far);
    }
}

void Draw(SDL_Surface* Screen)
{
    (void)Screen;
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    glBegin(GL_LINES);
    for (const Star& S : Stars) {
        // Nearer stars are brighter; a streak at least a star's width long.
        float Light = 1.0f - S.z / Far;
        float Tail = LastStep > 0.05f ? LastStep * 4.0f : 0.2f;
        glColor4f(0.6f, 0.7f, 1.0f, 0.0f);
        glVertex3f(S.x, S.y, S.z - Tail);
        glColor4f(1.0f, 1.0f, 1.0f, Light);
        glVertex3f(S.x, S.y, S.z);
    }
    glEnd();
    glFlush();
}

void Deinitialize()
{
    Log("Starfield: goodbye\n");
}
