// What the benchmark's stand-alone programs share with Pellacorn: the same
// window, mode and GL attributes, and the same looping tune.
#ifndef PELLACORN_BENCH_COMMON_H
#define PELLACORN_BENCH_COMMON_H

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_mixer.h>
#include <stdio.h>
#include <stdlib.h>

static SDL_Surface* OpenWindowLikePellacorn()
{
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        exit(1);
    atexit(SDL_Quit);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Surface* S = SDL_SetVideoMode(640, 480, 32, SDL_HWSURFACE | SDL_OPENGLBLIT);
    if (S == NULL) {
        fprintf(stderr, "%s\n", SDL_GetError());
        exit(1);
    }
    SDL_FillRect(S, NULL, SDL_MapRGBA(S->format, 0, 0, 0, 0));
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    SDL_WM_SetCaption("Zarn OpenGL Basecode - SDL port by Quarnel", NULL);
    return S;
}

// The music runs on SDL's audio thread in every variant, as in Pellacorn.
static void PlayTheTune()
{
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    if (Mix_OpenAudio(22060, AUDIO_S16LSB, 2, 512) == 0)
        Mix_PlayMusic(Mix_LoadMUS("data/lktheme.mod"), -1);
}

// One pass over the queue; false once a quit event came.
static bool KeepGoing()
{
    SDL_Event E;
    while (SDL_PollEvent(&E))
        if (E.type == SDL_QUIT)
            return false;
    return true;
}

#endif
