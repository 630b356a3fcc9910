// The capture host's modules: a scene run on a virtual clock, its frames
// and its mixer's samples written to a video file, frame for frame.
#ifndef PELLACORN_CAPTURE_H
#define PELLACORN_CAPTURE_H

#include <SDL.h>
#include <stdint.h>
#include <string>
#include <vector>

// ---- Options (options.cpp) ----

struct CaptureOptions {
    const char* Output; // the file to write, .mp4 or .webm
    bool WebM;          // VP9 and Opus rather than H.264 and AAC
    int Fps;            // frames per second of video
    long Frames;        // how many frames the file holds
    bool Stats;         // print where the time went
};

// Reads the command line. --help prints the usage and exits 0; anything
// wrong prints the reason and the usage on standard error and exits 2.
CaptureOptions ReadCaptureOptions(int argc, char** argv);
// The folder OUTPUT goes in, as given: "." for a bare file name.
std::string OutputFolder(const char* Output);

// ---- The virtual clock (clock.cpp) ----

// Sets what SDL_GetTicks returns, to the scene and to SDL_mixer alike.
void SetCaptureClock(Uint32 Milliseconds);
// The real time, in seconds from some fixed moment: what --stats counts.
double WallSeconds();
// Sample frames before frame N starts, at Rate a second: floor(N * Rate / Fps).
long long SampleAt(long N, int Rate, int Fps);
// The sample frames frame N carries, from SampleAt(N) to SampleAt(N + 1),
// so that the counts never drift from the video however long it runs.
int SamplesInFrame(long N, int Rate, int Fps);

// ---- The audio device that the mixer believes it has (audio.cpp) ----

// The rate and channels of the open device; false while none is open.
bool GetCaptureAudio(int* Rate, int* Channels);
// Count sample frames (16-bit, interleaved) from the mixer's callback, or
// silence while the device is paused, closed or reopened in another format.
void PullCaptureAudio(Sint16* Samples, int Count, int Rate, int Channels);

// ---- A private X server (display.cpp) ----

// Starts Xvfb on a free display and points DISPLAY at it; it ends with
// this process. False if it cannot.
bool StartPrivateDisplay();
// Stops the server, if one was started.
void StopPrivateDisplay();

// ---- The output file (file.cpp) ----

// Once, before SDL starts: a fresh temporary file beside Output, removed by
// DiscardCaptureFile, at exit and on a fatal signal unless it was kept.
// Null, with errno saying why, if it cannot be made.
const char* MakeCaptureFile(const char* Output);
// Renames the temporary file to Output; false, with errno set, if that fails.
bool KeepCaptureFile(const char* Output);
// Removes the temporary file, if there is one.
void DiscardCaptureFile();

// ---- The encoder (encoder.cpp) ----

struct EncoderSetup {
    const char* Path; // where to write
    bool WebM;
    int Width, Height, Fps; // Width 0: no picture, an Ogg file of Opus sound
    int AudioRate; // the mixer's rate, 0 for a file without sound
    int AudioChannels;
};

// Opens the file and its encoders; false with EncoderError() set.
bool OpenEncoder(const EncoderSetup* Setup);
// Encodes one 32-bit BGRA frame whose rows run bottom-up, as GL reads them.
bool EncodeVideoFrame(const Uint8* Pixels, int64_t Index);
// Resamples and encodes Count sample frames of 16-bit interleaved audio.
bool EncodeAudio(const Sint16* Samples, int Count);
// Drains the encoders and finishes the file; false with EncoderError() set.
bool CloseEncoder();
// Frees what is left after a failure; the file is the caller's to remove.
void FreeEncoder();
// Why the last call failed.
const char* EncoderError();

// ---- The encoder's own thread (worker.cpp) ----

// Starts the thread that encodes each frame handed over.
void StartEncoderThread();
// Hands frame Index and its Count sample frames to the thread, taking back
// buffers to fill next; waits while the previous frame is still being
// encoded. False once the encoder has failed (EncoderError() says why).
bool HandOverFrame(
    std::vector<Uint8>* Pixels, std::vector<Sint16>* Samples, int Count, int64_t Index);
// Waits for the last frame and ends the thread, if it runs; false if the
// encoder failed. *BusySeconds (unless null): the time it spent encoding.
bool StopEncoderThread(double* BusySeconds);

#endif
