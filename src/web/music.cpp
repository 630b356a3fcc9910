// pellacorn-web-music: a tracker module played once through by the desktop's
// own SDL_mixer, on the capture host's audio device, and written as Opus in
// Ogg, for the browser build of a scene (browsers cannot play modules).
// Usage: pellacorn-web-music MODULE OUTPUT.ogg [--rate HZ]
#include <SDL.h>
#include <SDL_mixer.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "capture.h"

static const char* Program = "pellacorn-web-music";
// The desktop's rate and its device's buffer: pulled in blocks of that
// size, the mixer is called exactly as the desktop's audio thread calls it.
const int DefaultRate = 22060;
const int Channels = 2;
const int Block = 512;
// A module whose patterns loop back never stops playing; past this much
// sound it is taken to be one.
const int LongestMinutes = 30;

struct MusicOptions {
    const char* Module;
    const char* Output;
    int Rate;
};

// The reason on standard error; the exit removes the unfinished file.
static void Fail(int Status, const char* Format, ...) __attribute__((format(printf, 2, 3), noreturn));
static void Fail(int Status, const char* Format, ...)
{
    va_list Args;
    va_start(Args, Format);
    fprintf(stderr, "%s: ", Program);
    vfprintf(stderr, Format, Args);
    fprintf(stderr, "\n");
    va_end(Args);
    if (Status == 2)
        fprintf(stderr, "usage: %s MODULE OUTPUT.ogg [--rate HZ]\n", Program);
    exit(Status);
}

static MusicOptions ReadMusicOptions(int argc, char** argv)
{
    MusicOptions O = {NULL, NULL, DefaultRate};
    for (int I = 1; I < argc; I++) {
        const char* A = argv[I];
        if (strcmp(A, "--rate") == 0) {
            if (I + 1 >= argc)
                Fail(2, "--rate needs a value");
            char* End;
            errno = 0;
            long Rate = strtol(argv[++I], &End, 10);
            // What SDL_mixer and the resampler both handle.
            if (errno != 0 || End == argv[I] || *End != '\0' || Rate < 8000 || Rate > 96000)
                Fail(2, "--rate takes 8000 to 96000 Hz, not '%s'", argv[I]);
            O.Rate = (int)Rate;
        } else if (A[0] == '-' && A[1] != '\0') {
            Fail(2, "unknown option '%s'", A);
        } else if (O.Module == NULL) {
            O.Module = A;
        } else if (O.Output == NULL) {
            O.Output = A;
        } else {
            Fail(2, "one module and one output only, not '%s' too", A);
        }
    }
    if (O.Output == NULL)
        Fail(2, "a module and an output file are needed");
    return O;
}

// Pulls the mix block after block into the encoder for as long as the
// music plays: the samples the desktop mixes on its first pass, then at
// most the rest of the block in which the module ended.
static long long EncodeMusic(const MusicOptions* O)
{
    std::vector<Sint16> Samples((size_t)Block * Channels);
    long long Mixed = 0, Longest = (long long)LongestMinutes * 60 * O->Rate;
    while (Mix_PlayingMusic()) {
        if (Mixed >= Longest)
            Fail(1, "%s has not ended after %d minutes: does it loop back?", O->Module,
                LongestMinutes);
        PullCaptureAudio(Samples.data(), Block, O->Rate, Channels);
        if (!EncodeAudio(Samples.data(), Block))
            Fail(1, "%s", EncoderError());
        Mixed += Block;
    }
    return Mixed;
}

int main(int argc, char** argv)
{
    MusicOptions O = ReadMusicOptions(argc, argv);
    // Before SDL starts, so that its signal handlers pass on to the
    // file's, which removes it.
    const char* Path = MakeCaptureFile(O.Output);
    if (Path == NULL)
        Fail(1, "cannot write beside %s: %s", O.Output, strerror(errno));
    // The mixer never reaches a device (audio.cpp), but SDL's audio
    // subsystem must start on any machine, sound card or not.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_AUDIO) < 0)
        Fail(1, "cannot start SDL's audio: %s", SDL_GetError());
    atexit(SDL_Quit);
    int Rate = 0, Got = 0;
    if (Mix_OpenAudio(O.Rate, AUDIO_S16SYS, Channels, Block) < 0)
        Fail(1, "cannot open the mixer: %s", Mix_GetError());
    if (!GetCaptureAudio(&Rate, &Got) || Rate != O.Rate || Got != Channels)
        Fail(1, "the mixer did not open the capture's %d Hz stereo device", O.Rate);
    Mix_Music* Music = Mix_LoadMUS(O.Module);
    if (Music == NULL)
        Fail(1, "cannot load %s: %s", O.Module, Mix_GetError());
    // The browser loops the file itself; SDL_mixer 1.2 plays a module
    // once for 0 loops (and for 1, which it counts the same).
    if (Mix_PlayMusic(Music, 0) < 0)
        Fail(1, "cannot play %s: %s", O.Module, Mix_GetError());

    EncoderSetup Setup = {Path, false, 0, 0, 0, Rate, Channels};
    if (!OpenEncoder(&Setup))
        Fail(1, "%s", EncoderError());
    long long Mixed = EncodeMusic(&O);
    if (!CloseEncoder())
        Fail(1, "%s", EncoderError());
    if (!KeepCaptureFile(O.Output))
        Fail(1, "cannot rename %s to %s: %s", Path, O.Output, strerror(errno));
    Mix_FreeMusic(Music);
    Mix_CloseAudio();
    printf("%s: %.3f s of sound from %s\n", O.Output, (double)Mixed / Rate, O.Module);
    return 0;
}
