// The demo scene's own names beyond the five hooks: its passes, its sound
// effect service and its state, all external names of the scene object.
#ifndef PELLACORN_APP_H
#define PELLACORN_APP_H

#include <SDL.h>
#include <SDL_mixer.h>

// The 3D pass: clear, then the four triangles of the figure.
void Draw3D(SDL_Surface* S);
// The 2D pass: erase, move, blit and update each of the three logos.
void Draw2D(SDL_Surface* S);
// Play a WAV effect with repeat extra loops (-1 for ever); null stops and
// frees the current effect.
void PlaySound(char* sound, int repeat);

extern float angle, cnt1, cnt2, Lx, Ly;
extern bool Ltype;
extern Sint16 Ix, Iy, IxOff, IyOff;
extern int rot1, rot2;
extern SDL_Surface *Zarn_Logo, *SDL_Logo, *QN_Logo;
extern Mix_Chunk* chunk;
extern Mix_Music* music;

#endif
