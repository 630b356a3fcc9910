// What the benchmark's stand-alone programs share with Pellacorn: the
// shell's own window (its mode, GL attributes and projection), and the same
// looping tune.
#ifndef PELLACORN_BENCH_COMMON_H
#define PELLACORN_BENCH_COMMON_H

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_mixer.h>
#include <stdio.h>
#include <stdlib.h>

#include "main.h"

static SDL_Surface* OpenWindowLikePellacorn()
{
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        exit(1);
    atexit(SDL_Quit);
    if (!CreateWindowGL(ScreenWidth, ScreenHeight, ScreenDepth, SDL_HWSURFACE | SDL_OPENGLBLIT)) {
        fprintf(stderr, "%s\n", SDL_GetError());
        exit(1);
    }
    SDL_WM_SetCaption(AppTitle, NULL);
    return Screen;
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
