// An audio device that exists only for the mixer: SDL_OpenAudio and its
// companions are defined here and exported, so neither a device nor SDL's
// audio thread ever starts. The capture calls the mixer's callback itself,
// once a frame, for exactly that frame's samples; with no thread there is
// nothing to lock.
#include <string.h>

#include "capture.h"

static SDL_AudioSpec Device;
static bool Opened;
static bool Paused = true;

// The mixer asks for any format; it gets 16-bit native samples at the rate
// and channels it asked for, which it then mixes itself.
int SDL_OpenAudio(SDL_AudioSpec* Desired, SDL_AudioSpec* Obtained)
{
    if (Opened) {
        SDL_SetError("Audio device is already opened");
        return -1;
    }
    bool Exact = Obtained == NULL;
    if (Desired->callback == NULL || Desired->freq <= 0 || Desired->channels < 1
        || (Exact && (Desired->format != AUDIO_S16SYS || Desired->channels > 2))) {
        SDL_SetError("The capture records 16-bit mono or stereo sound only");
        return -1;
    }
    Device = *Desired;
    Device.format = AUDIO_S16SYS;
    Device.channels = Desired->channels > 2 ? 2 : Desired->channels;
    Device.silence = 0;
    Device.size = (Uint32)Device.samples * Device.channels * 2;
    if (Obtained != NULL)
        *Obtained = Device;
    Opened = true;
    Paused = true;
    return 0;
}

void SDL_PauseAudio(int PauseOn)
{
    Paused = PauseOn != 0;
}

SDL_audiostatus SDL_GetAudioStatus()
{
    if (!Opened)
        return SDL_AUDIO_STOPPED;
    return Paused ? SDL_AUDIO_PAUSED : SDL_AUDIO_PLAYING;
}

void SDL_LockAudio()
{
}

void SDL_UnlockAudio()
{
}

void SDL_CloseAudio()
{
    Opened = false;
}

// SDL mixes in the format of the device it opened, and it opened none: the
// same sum, scaled by Volume and clipped, for this device's samples.
void SDL_MixAudio(Uint8* Dst, const Uint8* Src, Uint32 Len, int Volume)
{
    Sint16* To = (Sint16*)Dst;
    const Sint16* From = (const Sint16*)Src;
    for (Uint32 I = 0; I < Len / 2; I++) {
        int Sum = To[I] + From[I] * Volume / SDL_MIX_MAXVOLUME;
        To[I] = (Sint16)(Sum > 32767 ? 32767 : Sum < -32768 ? -32768 : Sum);
    }
}

bool GetCaptureAudio(int* Rate, int* Channels)
{
    *Rate = Device.freq;
    *Channels = Device.channels;
    return Opened;
}

void PullCaptureAudio(Sint16* Samples, int Count, int Rate, int Channels)
{
    int Bytes = Count * Channels * 2;
    memset(Samples, 0, Bytes);
    if (Opened && !Paused && Device.freq == Rate && Device.channels == Channels)
        Device.callback(Device.userdata, (Uint8*)Samples, Bytes);
}
