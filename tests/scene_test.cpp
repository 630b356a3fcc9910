// The demo scene object linked with a stand-in shell: its set-up, its
// animation arithmetic, the 3D pass read back from GL, and sound effects.
// Runs under its own X server, from the repo root, with dummy audio.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "app.h"
#include "main.h"
#include "test_shell.h"

namespace
{

SDL_Surface* Window;
bool InitializeResult;
struct Snapshot {
    float angle, cnt1, cnt2, Lx, Ly;
    bool Ltype;
    Sint16 Ix, Iy, IxOff, IyOff;
} AfterInitialize;

// The GL window every suite draws in, opened once, as the shell opens it:
// with the 2D layer over the GL frame. SDL_Quit at exit, as in
// the shell, ends SDL's threads before the libraries unload: sdl12-compat's
// audio thread, left running, may call into an unloaded SDL 2 and crash.
void OpenWindow()
{
    if (Window != nullptr)
        return;
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    atexit(SDL_Quit);
    ASSERT_TRUE(CreateWindowGL(ScreenWidth, ScreenHeight, ScreenDepth,
                               SDL_HWSURFACE | SDL_OPENGLBLIT))
        << SDL_GetError();
    Window = Screen;
}

class Scene : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        OpenWindow();
        ASSERT_NE(Window, nullptr);

        // Leftovers that Initialize must reset.
        angle = cnt1 = cnt2 = Lx = Ly = 7.0f;
        Ltype = true;
        Ix = Iy = 9;
        IxOff = IyOff = -1;
        InitializeResult = Initialize();
        AfterInitialize = {angle, cnt1, cnt2, Lx, Ly, Ltype, Ix, Iy, IxOff, IyOff};
    }
    void SetUp() override
    {
        ServiceCalls.clear();
        LoggedText.clear();
    }
};

TEST_F(Scene, InitializeResetsStateLoadsLogosAndOpensAudio)
{
    ASSERT_TRUE(InitializeResult);
    EXPECT_TRUE(AppStatus.Visible && AppStatus.MouseFocus && AppStatus.KeyboardFocus);
    const Snapshot& S = AfterInitialize;
    EXPECT_EQ(S.angle, 0.0f);
    EXPECT_EQ(S.cnt1, 0.0f);
    EXPECT_EQ(S.cnt2, 0.0f);
    EXPECT_EQ(S.Lx, 0.0f);
    EXPECT_EQ(S.Ly, 0.0f);
    EXPECT_FALSE(S.Ltype);
    EXPECT_EQ(S.Ix, 0);
    EXPECT_EQ(S.Iy, 0);
    EXPECT_EQ(S.IxOff, 1);
    EXPECT_EQ(S.IyOff, 1);

    for (SDL_Surface* Logo : {Zarn_Logo, SDL_Logo, QN_Logo}) {
        ASSERT_NE(Logo, nullptr);
        // Classic SDL marks the surface for RLE and encodes it at the first
        // blit; sdl12-compat (1.2.50 and later) never reports the RLE flags.
        EXPECT_TRUE(Logo->flags & SDL_SRCCOLORKEY);
        if (SDL_Linked_Version()->patch < 50) {
            EXPECT_TRUE(Logo->flags & (SDL_RLEACCELOK | SDL_RLEACCEL));
        }
        EXPECT_EQ(Logo->format->colorkey, SDL_MapRGB(Logo->format, 0, 0, 0));
    }

    int Rate = 0, Channels = 0;
    Uint16 Format = 0;
    ASSERT_EQ(Mix_QuerySpec(&Rate, &Format, &Channels), 1);
    EXPECT_EQ(Rate, 22060);
    EXPECT_EQ(Format, AUDIO_S16LSB);
    EXPECT_EQ(Channels, 2);
    EXPECT_NE(music, nullptr);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_EQ(LoggedText, "");
}

TEST_F(Scene, SpinAndSweepFollowTimeWhileDriftAndSwayFollowFrames)
{
    // One second as two uneven frames or as a hundred even ones: the spin
    // (200 degrees a second) and the sweep (half a unit) come out the same.
    // Integer division would lose the 7 ms frame's share.
    struct Phases {
        float cnt1, cnt2, Ly;
    } After[2];
    for (int Run = 0; Run < 2; Run++) {
        angle = cnt1 = cnt2 = Lx = Ly = 0.0f;
        Ltype = false;
        for (int Frame = 0; Frame < (Run == 0 ? 2 : 100); Frame++)
            Update(Run == 0 ? (Frame == 0 ? 7 : 993) : 10, nullptr);
        EXPECT_NEAR(angle, 200.0f, 1e-3) << "run " << Run;
        EXPECT_NEAR(Lx, 0.5f, 1e-5) << "run " << Run;
        After[Run] = {cnt1, cnt2, Ly};
    }
    // The drift and the sway step once a frame, whatever the time: fifty
    // times the frames, fifty times the phase.
    EXPECT_GT(After[0].cnt1, 0.0f);
    EXPECT_NEAR(After[1].cnt1, 50 * After[0].cnt1, 1e-4);
    EXPECT_NEAR(After[1].cnt2, 50 * After[0].cnt2, 1e-4);
    EXPECT_NEAR(After[1].Ly, 50 * After[0].Ly, 1e-4);
    float Drift = cnt1, Spin = angle, Sweep = Lx;
    Update(0, nullptr); // a frame with no time still steps the phases
    EXPECT_GT(cnt1, Drift);
    EXPECT_EQ(angle, Spin);
    EXPECT_EQ(Lx, Sweep);
    EXPECT_EQ(ServiceCalls, "") << "no keys, no services";
}

TEST_F(Scene, LxTurnsOnlyOnceItIsPastABound)
{
    // Landing exactly on a bound is not past it: Lx goes on one more step.
    Lx = 0.5f, Ltype = false;
    Update(1000, nullptr);
    EXPECT_EQ(Lx, 1.0f);
    EXPECT_FALSE(Ltype);
    Update(20, nullptr);
    EXPECT_GT(Lx, 1.0f);
    EXPECT_TRUE(Ltype);
    Update(20, nullptr);
    EXPECT_EQ(Lx, 1.0f);

    Lx = 0.5f, Ltype = true;
    Update(1000, nullptr);
    EXPECT_EQ(Lx, 0.0f);
    EXPECT_TRUE(Ltype);
    Update(40, nullptr);
    EXPECT_LT(Lx, 0.0f);
    EXPECT_FALSE(Ltype);
}

TEST_F(Scene, ALongPauseMovesLxFarThenItComesBackAtTheNormalRate)
{
    Lx = 0.5f, Ltype = false;
    Update(10 * 60 * 1000, nullptr); // ten minutes hidden
    EXPECT_EQ(Lx, 300.5f);
    EXPECT_TRUE(Ltype);
    Update(2000, nullptr);
    EXPECT_EQ(Lx, 299.5f); // one unit per two seconds
}

TEST_F(Scene, EscapeActsEveryFrameAndF1OncePerPress)
{
    std::array<Uint8, SDLK_LAST> Keys {};
    Update(10, Keys.data());
    EXPECT_EQ(ServiceCalls, "");

    Keys[SDLK_ESCAPE] = 1;
    Update(10, Keys.data());
    Update(10, Keys.data()); // Escape is read live: held, it asks again
    EXPECT_EQ(ServiceCalls, "TT");

    ServiceCalls.clear();
    Keys[SDLK_F1] = 1;
    Update(10, Keys.data());
    EXPECT_EQ(ServiceCalls, "TF"); // Escape is tested first

    // F1 held over many frames, some without a key table, toggles no more.
    ServiceCalls.clear();
    Keys[SDLK_ESCAPE] = 0;
    for (int Frame = 0; Frame < 50; Frame++)
        Update(10, Frame % 10 == 5 ? nullptr : Keys.data());
    EXPECT_EQ(ServiceCalls, "");

    // F1 reading up for a moment, as after classic SDL's toggle emptied the
    // table, is no release: no second toggle.
    Keys[SDLK_F1] = 0;
    Update(10, Keys.data());
    Update(200, Keys.data());
    Keys[SDLK_F1] = 1;
    Update(10, Keys.data());
    EXPECT_EQ(ServiceCalls, "");

    // A real release, then a new press: one more toggle.
    Keys[SDLK_F1] = 0;
    Update(10, Keys.data());
    Update(600, Keys.data());
    Keys[SDLK_F1] = 1;
    Update(10, Keys.data());
    Update(10, Keys.data());
    EXPECT_EQ(ServiceCalls, "F");
    Keys[SDLK_F1] = 0;
    Update(600, Keys.data());
}

// ---- The 3D pass, as it looks ----

// The frame as RGB bytes, bottom row first, as GL keeps it.
std::vector<Uint8> DrawFrame(float Angle, float C1, float C2)
{
    angle = Angle, cnt1 = C1, cnt2 = C2;
    Draw3D(Window);
    std::vector<Uint8> Pixels(640 * 480 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, Pixels.data());
    return Pixels;
}

// The lit pixels' count and centre, x to the right and y up.
struct Spot {
    int Count;
    double X, Y;
};
Spot Lit(const std::vector<Uint8>& P)
{
    Spot S {0, 0, 0};
    for (int I = 0; I < 640 * 480; I++)
        if (P[I * 3] + P[I * 3 + 1] + P[I * 3 + 2] > 30)
            S.Count++, S.X += I % 640, S.Y += I / 640;
    if (S.Count > 0)
        S.X /= S.Count, S.Y /= S.Count;
    return S;
}

class Figure : public Scene
{
protected:
    // The window only: Initialize once more would open the audio again.
    static void SetUpTestSuite()
    {
        OpenWindow();
    }
    void SetUp() override
    {
        Scene::SetUp();
        ASSERT_TRUE(InitGL(Window));
        // The shell's own view of the window.
        ReshapeGL(ScreenWidth, ScreenHeight);
    }
};

TEST_F(Figure, FrontTrianglesHideBackOnes)
{
    // Half a turn brings every triangle to where another one was, drawn
    // in another order: only hidden-surface removal makes the two frames
    // the same.
    for (float Angle : {20.0f, 75.0f, 130.0f}) {
        std::vector<Uint8> Frame = DrawFrame(Angle, 1.0f, 0.5f);
        EXPECT_GT(Lit(Frame).Count, 5000) << Angle;
        std::vector<Uint8> Turned = DrawFrame(Angle + 180.0f, 1.0f, 0.5f);
        int Differ = 0;
        for (size_t I = 0; I < Frame.size(); I++)
            Differ += abs(Frame[I] - Turned[I]) > 8;
        EXPECT_LT(Differ, 200) << "bytes that differ at " << Angle;
    }
    EXPECT_EQ(rot1, 2);
    EXPECT_EQ(rot2, 2);
}

TEST_F(Figure, ItDriftsSidewaysWithCnt1AndUpAndDownWithCnt2AndIsSmoothShaded)
{
    Spot Right = Lit(DrawFrame(40.0f, 0.0f, 0.0f)), Left = Lit(DrawFrame(40.0f, M_PI, 0.0f));
    EXPECT_GT(Right.X, 350);
    EXPECT_LT(Left.X, 290);
    Spot Up = Lit(DrawFrame(40.0f, M_PI / 2, M_PI / 2)),
         Down = Lit(DrawFrame(40.0f, M_PI / 2, -M_PI / 2));
    EXPECT_GT(Up.Y, 270);
    EXPECT_LT(Down.Y, 210);

    // Red, green and blue corners blended across each face: many colours,
    // and the frame's corner clear.
    std::vector<Uint8> Frame = DrawFrame(40.0f, 0.3f, 0.2f);
    std::set<int> Colours;
    for (size_t I = 0; I < Frame.size(); I += 3)
        Colours.insert(Frame[I] << 16 | Frame[I + 1] << 8 | Frame[I + 2]);
    EXPECT_GT(Colours.size(), 1000u);
    EXPECT_EQ(Frame[0] + Frame[1] + Frame[2], 0);
}

// The lit pixels' bounding box: width and height.
std::array<int, 2> Extent(const std::vector<Uint8>& P)
{
    int X0 = 640, X1 = -1, Y0 = 480, Y1 = -1;
    for (int I = 0; I < 640 * 480; I++)
        if (P[I * 3] + P[I * 3 + 1] + P[I * 3 + 2] > 30)
            X0 = std::min(X0, I % 640), X1 = std::max(X1, I % 640), Y0 = std::min(Y0, I / 640),
            Y1 = std::max(Y1, I / 640);
    return {X1 - X0 + 1, Y1 - Y0 + 1};
}

TEST_F(Figure, ItIsAsLargeAsTwoUnitsSixUnitsAwayWithPureCornersBlendedBetween)
{
    // Apexes one unit above and below the axis, six units from the eye
    // under a 45-degree view: 240 / tan 22.5 / 6 = 96.6 pixels each way.
    // The base corners, up to sqrt 2 off the axis, come no nearer than
    // 6 - sqrt 2: 240 / tan 22.5 / 4.59 = 126.3 pixels each way at most.
    // Turned so that a corner faces the eye, the figure is that tall.
    int Lowest = 480, Highest = 0;
    for (float Angle : {0.0f, 20.0f, 40.0f, 90.0f}) {
        int Height = Extent(DrawFrame(Angle, M_PI / 2, 0.0f))[1];
        Lowest = std::min(Lowest, Height), Highest = std::max(Highest, Height);
    }
    EXPECT_GE(Lowest, 190);
    EXPECT_LE(Highest, 254);
    EXPECT_GE(Highest, 240);
    // Every lit pixel blends pure red, green and blue, so its channels add
    // up to one full channel; and each corner colour shows nearly pure.
    std::vector<Uint8> Frame = DrawFrame(40.0f, 0.3f, 0.2f);
    int Off = 0, Pure[3] = {0, 0, 0};
    for (size_t I = 0; I < Frame.size(); I += 3) {
        int Sum = Frame[I] + Frame[I + 1] + Frame[I + 2];
        Off += Sum > 30 && abs(Sum - 255) > 6;
        for (int C = 0; C < 3; C++)
            Pure[C] += Frame[I + C] > 235;
    }
    EXPECT_EQ(Off, 0);
    for (int C = 0; C < 3; C++)
        EXPECT_GT(Pure[C], 0) << "channel " << C;
}

// Linked into this shell, which supplies the four names and nothing of the
// kit's, the scene still shows its logos over the figure, in their own
// colours, on whichever SDL 1.2 runs: each pixel a logo changes takes the
// colour of one of its opaque pixels, and every such pixel shows.
TEST_F(Figure, TheLogosShowOverTheFigureInTheirOwnColours)
{
    SDL_FillRect(Window, nullptr, SDL_MapRGBA(Window->format, 0, 0, 0, 0));
    auto Place = [] { Lx = 0.0f, Ly = 2.0f, Ix = Iy = 0, IxOff = IyOff = 1; }; // apart
    Place();
    std::vector<Uint8> Bare = DrawFrame(40.0f, 0.3f, 0.2f);
    Place();
    Draw(Window);
    std::vector<Uint8> Shown(640 * 480 * 3);
    glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, Shown.data());

    std::set<Uint32> Colours;
    size_t Opaque = 0;
    for (SDL_Surface* Logo : {Zarn_Logo, SDL_Logo, QN_Logo}) {
        SDL_Surface* Plain = SDL_CreateRGBSurface(SDL_SWSURFACE, Logo->w, Logo->h, 32, 0xFF0000,
                                                  0xFF00, 0xFF, 0);
        SDL_SetColorKey(Logo, 0, 0); // every pixel, black included, for the count
        SDL_BlitSurface(Logo, nullptr, Plain, nullptr);
        SDL_SetColorKey(Logo, SDL_SRCCOLORKEY | SDL_RLEACCEL, SDL_MapRGB(Logo->format, 0, 0, 0));
        for (int I = 0; I < Logo->w * Logo->h; I++)
            if (Uint32 P = ((Uint32*)Plain->pixels)[I] & 0xFFFFFF)
                Colours.insert(P), Opaque++;
        SDL_FreeSurface(Plain);
    }
    size_t Changed = 0, Foreign = 0;
    for (size_t I = 0; I < Shown.size(); I += 3) {
        Uint32 P = Shown[I] << 16 | Shown[I + 1] << 8 | Shown[I + 2];
        if (P != (Uint32)(Bare[I] << 16 | Bare[I + 1] << 8 | Bare[I + 2]))
            Changed++, Foreign += Colours.count(P) == 0;
    }
    EXPECT_EQ(Foreign, 0u) << "pixels in colours of no logo";
    // A logo pixel over the figure's pixel of the same colour changes none.
    EXPECT_GE(Changed, Opaque * 99 / 100);
    EXPECT_LE(Changed, Opaque);
}

// ---- Sound effects ----

// A short 440 Hz tone at the mixer's own rate.
std::string WriteTone(const char* Name, double Seconds = 0.5)
{
    std::string Path = testing::TempDir() + std::to_string(getpid()) + Name;
    const int Rate = 22060, Frames = (int)(Rate * Seconds);
    FILE* F = fopen(Path.c_str(), "wb");
    auto U32 = [&](Uint32 V) { fwrite(&V, 4, 1, F); };
    auto U16 = [&](Uint16 V) { fwrite(&V, 2, 1, F); };
    fwrite("RIFF", 1, 4, F), U32(36 + Frames * 2), fwrite("WAVEfmt ", 1, 8, F);
    U32(16), U16(1), U16(1), U32(Rate), U32(Rate * 2), U16(2), U16(16);
    fwrite("data", 1, 4, F), U32(Frames * 2);
    for (int I = 0; I < Frames; I++)
        U16((Uint16)(Sint16)(8000 * sin(2 * M_PI * 440 * I / Rate)));
    fclose(F);
    return Path;
}

TEST_F(Scene, PlaySoundLoadsPlaysReplacesAndStops)
{
    std::string A = WriteTone("tone-a.wav"), B = WriteTone("tone-b.wav");
    PlaySound((char*)A.c_str(), -1);
    ASSERT_NE(chunk, nullptr);
    EXPECT_GT(Mix_Playing(-1), 0);

    PlaySound((char*)B.c_str(), 0);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(Mix_Playing(-1), 1) << "the first effect was stopped and freed";

    PlaySound(nullptr, 0);
    EXPECT_EQ(chunk, nullptr);
    EXPECT_EQ(Mix_Playing(-1), 0);

    PlaySound(nullptr, 0); // nothing left to free
    EXPECT_EQ(chunk, nullptr);
}

// What the mixer plays of each channel, counted on its audio thread.
std::atomic<long> PlayedBytes;
void CountPlayed(int, void*, int Length, void*)
{
    PlayedBytes += Length;
}

TEST_F(Scene, PlaySoundPlaysAnEffectOnceAndThenRepeatTimesMore)
{
    std::string Tone = WriteTone("tone-c.wav", 0.05);
    for (int Repeat : {0, 2}) {
        PlayedBytes = 0;
        for (int Channel = 0; Channel < MIX_CHANNELS; Channel++) // dropped as a channel ends
            Mix_RegisterEffect(Channel, CountPlayed, nullptr, nullptr);
        PlaySound((char*)Tone.c_str(), Repeat);
        ASSERT_NE(chunk, nullptr);
        Uint32 Deadline = SDL_GetTicks() + 10000;
        while (Mix_Playing(-1) > 0 && SDL_GetTicks() < Deadline)
            SDL_Delay(5);
        ASSERT_EQ(Mix_Playing(-1), 0) << "still playing after 10 s";
        EXPECT_EQ(PlayedBytes, (Repeat + 1) * (long)chunk->alen) << Repeat;
    }
    PlaySound(nullptr, 0);
}

TEST_F(Scene, PlaySoundReportsAMissingFileOnStandardError)
{
    testing::internal::CaptureStderr();
    PlaySound((char*)"no-such-effect.wav", 0);
    std::string Err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Err, "Failed to load sound: no-such-effect.wav\n");
    EXPECT_EQ(chunk, nullptr);
    EXPECT_EQ(LoggedText, "") << "not a log message";
}

TEST_F(Scene, DeinitializeClosesTheAudio)
{
    Deinitialize();
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

} // namespace
