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
#include <set>
#include <string>
#include <vector>

#include "app.h"
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

// The GL window every suite draws in, opened once. SDL_Quit at exit, as in
// the shell, ends SDL's threads before the libraries unload: sdl12-compat's
// audio thread, left running, may call into an unloaded SDL 2 and crash.
void OpenWindow()
{
    if (Window != nullptr)
        return;
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    atexit(SDL_Quit);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    Window = SDL_SetVideoMode(640, 480, 32, SDL_OPENGL);
    ASSERT_NE(Window, nullptr) << SDL_GetError();
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
        // A 640 x 480 window's usual view; the shell's own is checked with
        // the real shell (test_shell_loop.py).
        glViewport(0, 0, 640, 480);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 640.0 / 480.0, 1.0, 100.0);
        glMatrixMode(GL_MODELVIEW);
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

// ---- Sound effects ----

// A short 440 Hz tone at the mixer's own format.
std::string WriteTone(const char* Name)
{
    std::string Path = testing::TempDir() + std::to_string(getpid()) + Name;
    const int Rate = 22060, Frames = Rate / 2;
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
