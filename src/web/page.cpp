// The page around the canvas: full screen, the picture letterboxed in it,
// and what the page's sound hint and its tests read after each frame.
#include <GL/gl.h>
#include <SDL_mixer.h>
#include <emscripten.h>

#include "main.h"
#include "web.h"

static int CanvasWidth = ScreenWidth, CanvasHeight = ScreenHeight;
static unsigned Frames;

// The canvas the size of the screen in full screen (in device pixels), its
// own 640 x 480 otherwise; *Size gets the size it has now.
EM_JS(void, FitCanvasJS, (int W, int H, int* Size), {
    var Canvas = Module['canvas'];
    var Full = document.fullscreenElement != null;
    var CssW = Full ? window.innerWidth : W, CssH = Full ? window.innerHeight : H;
    var Ratio = Full ? (window.devicePixelRatio || 1) : 1;
    var PixW = Math.round(CssW * Ratio), PixH = Math.round(CssH * Ratio);
    if (Canvas.width != PixW || Canvas.height != PixH) {
        Canvas.width = PixW;
        Canvas.height = PixH;
        Canvas.style.width = CssW + 'px';
        Canvas.style.height = CssH + 'px';
    }
    HEAP32[Size >> 2] = PixW;
    HEAP32[(Size >> 2) + 1] = PixH;
});

void FitCanvasWeb()
{
    int Size[2];
    FitCanvasJS(ScreenWidth, ScreenHeight, Size);
    if (Size[0] == CanvasWidth && Size[1] == CanvasHeight)
        return;
    CanvasWidth = Size[0], CanvasHeight = Size[1];
    // The 4:3 picture as large as the canvas allows, in its middle; the
    // scene's projection stays the one it had.
    int W = CanvasWidth, H = W * ScreenHeight / ScreenWidth;
    if (H > CanvasHeight)
        H = CanvasHeight, W = H * ScreenWidth / ScreenHeight;
    glViewport((CanvasWidth - W) / 2, (CanvasHeight - H) / 2, W, H);
}

// A browser goes full screen only just after a key press or click, which
// the scene's F1 is.
EM_JS(int, ToggleFullscreenJS, (void), {
    if (document.fullscreenElement) {
        document.exitFullscreen();
        return 1;
    }
    var Stage = Module['canvas'].parentElement;
    if (!Stage || !Stage.requestFullscreen)
        return 0;
    Stage.requestFullscreen().catch(function(E) {
        console.warn('Full screen refused: ' + E.message);
    });
    return 1;
});

// SDL 1.2's answer: 1 once toggled, 0 where the page cannot.
extern "C" int __wrap_SDL_WM_ToggleFullScreen(SDL_Surface* S)
{
    (void)S;
    if (ToggleFullscreenJS())
        return 1;
    SDL_SetError("This page cannot go full screen");
    return 0;
}

EM_JS(void, PublishFrameJS, (unsigned Count, int Music), {
    if (Count == 1)
        Module['pellacornFirstFrameMs'] = performance.now();
    Module['pellacornFrames'] = Count;
    Module['pellacornMusic'] = Music;
});

void PublishFrameWeb()
{
    PublishFrameJS(++Frames, Mix_PlayingMusic());
}
