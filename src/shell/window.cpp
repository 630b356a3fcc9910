// The window: its GL attributes and video mode, the cleared 2D layer, the
// projection, and the frame timer's start.
#include <GL/gl.h>
#include <GL/glu.h>

#include "main.h"

SDL_Surface* Screen;

bool CreateWindowGL(int W, int H, int B, Uint32 F)
{
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    Screen = SDL_SetVideoMode(W, H, B, F);
    if (Screen == NULL)
        return false;

    // Transparent black: the 2D layer starts invisible over the 3D frame.
    SDL_FillRect(Screen, NULL, SDL_MapRGBA(Screen->format, 0, 0, 0, 0));
    ReshapeGL(ScreenWidth, ScreenHeight);
    return true;
}

void ReshapeGL(int width, int height)
{
    if (height == 0)
        height = 1; // keeps the aspect ratio finite
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, (double)width / (double)height, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool InitTimers(Uint32* C)
{
    *C = SDL_GetTicks();
    return true;
}
