// The capture host: the shell's start-up and hooks, driven by a virtual
// clock instead of the wall's, each frame read back and encoded with the
// mixer's samples for exactly that frame. Usage in options.cpp.
#include <GL/gl.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "capture.h"
#include "error.h"
#include "main.h"
#include "shell/crash.h"

// Where the time went, for --stats.
struct Spent {
    double Scene;    // Update and Draw, GL finishing the frame, the swap
    double ReadBack; // glReadPixels
    double Mix;      // the mixer's callback
    double Wait;     // waiting for the encoder's thread to take the frame
    double Encode;   // the encoder's thread: converting, encoding, writing
};

// The reason on standard error and in the log; the exit removes the file.
static void Fail(const char* Format, ...) __attribute__((format(printf, 1, 2), noreturn));
static void Fail(const char* Format, ...)
{
    char Text[512];
    va_list Args;
    va_start(Args, Format);
    vsnprintf(Text, sizeof Text, Format, Args);
    va_end(Args);
    StopEncoderThread(NULL); // not writing while the file goes
    LogTo(stderr, "Capture failed: %s\n", Text);
    exit(1);
}

// A quit asked for before the last frame (by the scene, the window or a
// signal) ends the capture unfinished.
static bool QuitRequested()
{
    SDL_Event E;
    bool Quit = false;
    while (SDL_PollEvent(&E))
        Quit = Quit || E.type == SDL_QUIT;
    return Quit;
}

// The frame as drawn, before the swap: GL plus the 2D layer, which every
// SDL 1.2 has already drawn into it by then. Rows run bottom-up.
static void ReadBackGL(std::vector<Uint8>* Pixels)
{
    Pixels->resize((size_t)ScreenWidth * ScreenHeight * 4);
    glReadPixels(0, 0, ScreenWidth, ScreenHeight, GL_BGRA, GL_UNSIGNED_BYTE, Pixels->data());
}

static void CaptureFrames(const CaptureOptions* O, int Rate, int Channels, Spent* T)
{
    std::vector<Uint8> Pixels;
    std::vector<Sint16> Samples;
    Uint32 Last = 0;
    StartEncoderThread();
    for (long N = 0; N < O->Frames; N++) {
        if (QuitRequested())
            Fail("the scene quit after %ld of %ld frames", N, O->Frames);
        // After frame N the scene has seen (N + 1) / fps seconds in all.
        Uint32 Now = (Uint32)((N + 1) * 1000 / O->Fps);
        SetCaptureClock(Now);
        double Start = WallSeconds();
        UpdateAndDraw(Now - Last, NULL);
        Last = Now;
        glFinish();
        double Drawn = WallSeconds();
        ReadBackGL(&Pixels);
        double Read = WallSeconds();
        SDL_GL_SwapBuffers(); // shown, as the shell shows it
        double Shown = WallSeconds();
        // The sounds this frame's Update started begin with its samples.
        int Count = Rate > 0 ? SamplesInFrame(N, Rate, O->Fps) : 0;
        Samples.resize((size_t)Count * Channels);
        if (Count > 0)
            PullCaptureAudio(Samples.data(), Count, Rate, Channels);
        double Mixed = WallSeconds();
        if (!HandOverFrame(&Pixels, &Samples, Count, N))
            Fail("%s", EncoderError());
        T->Scene += Drawn - Start + Shown - Read;
        T->ReadBack += Read - Drawn;
        T->Mix += Mixed - Shown;
        T->Wait += WallSeconds() - Mixed;
    }
    if (!StopEncoderThread(&T->Encode))
        Fail("%s", EncoderError());
}

static void PrintStats(const CaptureOptions* O, const Spent* T, double Total)
{
    double Video = (double)O->Frames / O->Fps;
    double Rest = Total - T->Scene - T->ReadBack - T->Mix - T->Wait;
    fprintf(stderr, "%ld frames, %.2f s of video in %.2f s: %.2f times real time\n", O->Frames,
        Video, Total, Video / Total);
    const struct {
        const char* Name;
        double Seconds;
    } Parts[] = {{"scene", T->Scene}, {"read-back", T->ReadBack}, {"mixing", T->Mix},
        {"waiting", T->Wait}, {"encoding", T->Encode}};
    for (const auto& P : Parts)
        fprintf(stderr, "%-10s %5.1f%%  %6.2f ms a frame\n", P.Name, 100 * P.Seconds / Total,
            1000 * P.Seconds / O->Frames);
    fprintf(stderr, "the rest   %5.1f%%  %6.2f s (start-up, finishing the file)\n",
        100 * Rest / Total, Rest);
    fprintf(stderr, "(encoding runs on its own thread, alongside the others)\n");
}

int main(int argc, char** argv)
{
    double Began = WallSeconds();
    CaptureOptions O = ReadCaptureOptions(argc, argv);
    // The log opens first (the shell keeps it), so that each failure from
    // here on is in a fresh one, never under an earlier run's closing line.
    InitErrorLog();
    StartFailuresOnStderr = true;
    const char* Path = MakeCaptureFile(O.Output);
    if (Path == NULL)
        Fail("cannot write in %s: %s", OutputFolder(O.Output).c_str(), strerror(errno));
    if (getenv("DISPLAY") == NULL || getenv("DISPLAY")[0] == '\0') {
        if (!StartPrivateDisplay())
            Fail("no DISPLAY, and Xvfb did not start");
        atexit(StopPrivateDisplay); // after SDL_Quit, which runs first
    }
    // The mixer never reaches a device (audio.cpp), but SDL's audio
    // subsystem must start on any machine, sound card or not.
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    Uint32 Start;
    SetCaptureClock(0);
    StartShell(&Start);

    int Rate = 0, Channels = 0;
    if (!GetCaptureAudio(&Rate, &Channels))
        Rate = Channels = 0;
    EncoderSetup Setup = {Path, O.WebM, ScreenWidth, ScreenHeight, O.Fps, Rate, Channels};
    if (!OpenEncoder(&Setup))
        Fail("%s", EncoderError());
    Spent T = {0, 0, 0, 0, 0};
    CaptureFrames(&O, Rate, Channels, &T);
    if (!CloseEncoder())
        Fail("%s", EncoderError());
    if (!KeepCaptureFile(O.Output))
        Fail("cannot rename %s to %s: %s", Path, O.Output, strerror(errno));
    if (O.Stats)
        PrintStats(&O, &T, WallSeconds() - Began);
    EndShell();
    exit(0);
}
