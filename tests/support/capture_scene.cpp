// A scene for the capture test: black frames but for one white frame at
// each mark, and a tone burst started by Mix_PlayChannel in the same
// frame's Update. The flash follows SDL_GetTicks, the burst the sum of
// Update's milliseconds, so both clocks must agree for the two to meet.
#include <GL/gl.h>
#include <SDL_mixer.h>
#include <math.h>

#include <pellacorn/error.h>
#include <pellacorn/main.h>

const Uint32 Marks[] = {500, 1250, 1700}; // milliseconds
const int MarkCount = sizeof Marks / sizeof Marks[0];
const int Rate = 22050; // not a multiple of the frame rates, nor of 48000
const int BurstSamples = Rate / 40;

static Sint16 Burst[BurstSamples * 2]; // stereo, 25 ms of 1 kHz
static Mix_Chunk* Chunk;
static Uint32 Elapsed;
static int Flashed, Played;
static bool White;

bool InitGL(SDL_Surface* S)
{
    (void)S;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    return true;
}

bool Initialize()
{
    AppStatus.Visible = AppStatus.MouseFocus = AppStatus.KeyboardFocus = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0 || Mix_OpenAudio(Rate, AUDIO_S16SYS, 2, 512) < 0)
        return false;
    for (int I = 0; I < BurstSamples; I++)
        Burst[2 * I] = Burst[2 * I + 1] = (Sint16)(20000.0 * sin(2.0 * M_PI * 1000.0 * I / Rate));
    Chunk = Mix_QuickLoad_RAW((Uint8*)Burst, sizeof Burst);
    return Chunk != NULL;
}

void Update(Uint32 Milliseconds, Uint8* Keys)
{
    (void)Keys;
    Elapsed += Milliseconds;
    if (Played < MarkCount && Elapsed >= Marks[Played]) {
        Mix_PlayChannel(-1, Chunk, 0);
        Log("Burst at %u ms\n", Elapsed);
        Played++;
    }
    White = Flashed < MarkCount && SDL_GetTicks() >= Marks[Flashed];
    if (White)
        Flashed++;
}

void Draw(SDL_Surface* Screen)
{
    (void)Screen;
    float Level = White ? 1.0f : 0.0f;
    glClearColor(Level, Level, Level, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Deinitialize()
{
    Mix_HaltChannel(-1);
    Mix_FreeChunk(Chunk);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
