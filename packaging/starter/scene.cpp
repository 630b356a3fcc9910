// A Pellacorn scene: a colour-shaded square that turns and sways, and a
// 2D badge gliding over it. The shell opens the window, runs the loop and
// keeps log.txt; this file holds the five hooks it calls, in the order it
// calls them. Escape quits.
#include <GL/gl.h>
#include <math.h>

#include <pellacorn/error.h>
#include <pellacorn/main.h>

// ---- State ----
static float Angle;         // degrees about the view axis
static float Seconds;       // scene time, which stands still while iconified
static SDL_Surface* Badge;  // the 2D item: a yellow ring, black around it
static SDL_Rect BadgeAt;    // where it was drawn last, to erase

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
    SDL_WM_SetCaption("@SCENE@", NULL); // the shell's is the demo's title
    Angle = Seconds = 0.0f;

    // Any SDL surface will do, loaded from a file or drawn; pure black is
    // made transparent by the colour key, so the GL frame shows through.
    Badge = SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 64, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    if (Badge == NULL)
        return false;
    SDL_Rect Outer = {0, 0, 64, 64}, Inner = {12, 12, 40, 40};
    SDL_FillRect(Badge, &Outer, SDL_MapRGB(Badge->format, 255, 220, 0));
    SDL_FillRect(Badge, &Inner, SDL_MapRGB(Badge->format, 0, 0, 0));
    SDL_SetColorKey(Badge, SDL_SRCCOLORKEY, SDL_MapRGB(Badge->format, 0, 0, 0));
    Log("@SCENE@: started, %d x %d\n", ScreenWidth, ScreenHeight);
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

    // 2D over the GL frame: erase the badge's last place to transparent
    // black, blit it at the new one, and update just that rectangle.
    SDL_FillRect(Screen, &BadgeAt, SDL_MapRGBA(Screen->format, 0, 0, 0, 0));
    BadgeAt.x = (Sint16)(ScreenWidth / 2 - 32 + 200 * cosf(Seconds * 0.7f));
    BadgeAt.y = (Sint16)(48 + 24 * sinf(Seconds * 2.0f));
    BadgeAt.w = BadgeAt.h = 64;
    SDL_BlitSurface(Badge, NULL, Screen, &BadgeAt);
    SDL_UpdateRects(Screen, 1, &BadgeAt);
}

// ---- De-initialization ----
void Deinitialize()
{
    // Free here what Initialize made.
    SDL_FreeSurface(Badge);
}
