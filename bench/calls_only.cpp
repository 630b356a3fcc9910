// Pellacorn's frame as bare calls: the clear, the four triangles, the three
// fills, blits and single-rectangle updates, and the swap, from a minimal
// loop with no shell, scene module or log around them. The cost of the
// design itself; Pellacorn's own overhead is what it spends beyond this.
#include <SDL_image.h>
#include <math.h>

#include "common.h"

static void Triangle()
{
    glBegin(GL_TRIANGLES);
    glColor3f(1, 0, 0), glVertex3f(0, 1, 0);
    glColor3f(0, 1, 0), glVertex3f(-1, -1, 1);
    glColor3f(0, 0, 1), glVertex3f(1, -1, 1);
    glEnd();
}

int main()
{
    SDL_Surface* S = OpenWindowLikePellacorn();
    SDL_Surface* Logos[3] = {IMG_Load("data/logo.gif"), SDL_LoadBMP("data/SDL_Title.bmp"),
        SDL_LoadBMP("data/QN_Title.bmp")};
    for (SDL_Surface* L : Logos) {
        if (L == NULL)
            return 1;
        SDL_SetColorKey(L, SDL_SRCCOLORKEY | SDL_RLEACCEL, SDL_MapRGB(L->format, 0, 0, 0));
    }
    PlayTheTune();
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    SDL_Rect R[3] = {};
    for (unsigned Frame = 0; KeepGoing(); Frame++) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef((float)cos(Frame * 0.01), (float)sin(Frame * 0.008), -6.0f);
        glRotatef(Frame * 0.8f, 0, 1, 0);
        for (int A = 0; A < 2; A++) {
            glRotatef(90, 0, 1, 0), glRotatef(180, 1, 0, 0);
            for (int B = 0; B < 2; B++)
                glRotatef(180, 0, 1, 0), Triangle();
        }
        glFlush();
        // Paths of the same extent as the real ones.
        for (int I = 0; I < 3; I++) {
            SDL_FillRect(S, &R[I], SDL_MapRGBA(S->format, 0, 0, 0, 0));
            R[I].x = (Sint16)((Frame * (I + 1)) % (641 - Logos[I]->w));
            R[I].y = (Sint16)(200 + 170 * sin(Frame * 0.03 + I) - Logos[I]->h / 2);
            R[I].w = (Uint16)Logos[I]->w, R[I].h = (Uint16)Logos[I]->h;
            SDL_UpperBlit(Logos[I], NULL, S, &R[I]);
            SDL_UpdateRects(S, 1, &R[I]);
        }
        SDL_GL_SwapBuffers();
    }
    return 0;
}
