// The demo scene object linked with a stand-in shell: its set-up, its
// animation arithmetic, the 3D pass read back from GL, and sound effects.
// Runs under its own X server, from the repo root, with dummy audio.
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <unistd.h>

#include <array>
#include <string>

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

class Scene : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        Window = SDL_SetVideoMode(640, 480, 32, SDL_OPENGL);
        ASSERT_NE(Window, nullptr) << SDL_GetError();

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

float F(double V)
{
    return (float)V;
}

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

TEST_F(Scene, UpdateWithoutKeysOnlyAdvancesTheAnimation)
{
    angle = cnt1 = cnt2 = Lx = Ly = 0.0f;
    Ltype = false;
    Update(7, nullptr);
    // Floating-point division: an integer 7 / 5 would give 1, 7 / 2000 zero.
    EXPECT_EQ(angle, 1.4f);
    EXPECT_EQ(Lx, 0.0035f);
    EXPECT_EQ(cnt1, 0.01f);
    EXPECT_EQ(cnt2, 0.008f);
    EXPECT_EQ(Ly, 0.03f);
    EXPECT_EQ(ServiceCalls, "");
}

TEST_F(Scene, ZeroMillisecondsStillTakesTheFixedSteps)
{
    angle = 12.5f, Lx = 0.5f, cnt1 = 1.0f, cnt2 = 2.0f, Ly = 3.0f;
    Ltype = false;
    Update(0, nullptr);
    EXPECT_EQ(angle, 12.5f);
    EXPECT_EQ(Lx, 0.5f);
    // Each step is a float sum, stored back as a float.
    EXPECT_EQ(cnt1, 1.0f + 0.01f);
    EXPECT_EQ(cnt2, 2.0f + 0.008f);
    EXPECT_EQ(Ly, 3.0f + 0.03f);
}

TEST_F(Scene, LxTurnsOnceItPassesABound)
{
    Lx = 0.99f, Ltype = false;
    Update(60, nullptr);
    EXPECT_EQ(Lx, F(0.99f + 0.03f));
    EXPECT_TRUE(Ltype);
    Update(20, nullptr);
    EXPECT_EQ(Lx, F(F(0.99f + 0.03f) - 0.01f));

    Lx = 0.01f, Ltype = true;
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

    // A release seen for one frame, then a new press: one more toggle.
    Keys[SDLK_F1] = 0;
    Update(10, Keys.data());
    Keys[SDLK_F1] = 1;
    Update(10, Keys.data());
    Update(10, Keys.data());
    EXPECT_EQ(ServiceCalls, "F");
    Keys[SDLK_F1] = 0;
    Update(10, Keys.data());
}

// ---- The 3D pass, against matrices worked out here ----

using Mat = std::array<double, 16>; // column-major, as GL keeps it

Mat Multiply(const Mat& A, const Mat& B)
{
    Mat R {};
    for (int C = 0; C < 4; C++)
        for (int Row = 0; Row < 4; Row++)
            for (int K = 0; K < 4; K++)
                R[C * 4 + Row] += A[K * 4 + Row] * B[C * 4 + K];
    return R;
}

Mat Translation(double X, double Y, double Z)
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, X, Y, Z, 1};
}

Mat RotationY(double Degrees)
{
    double A = Degrees * M_PI / 180, C = cos(A), S = sin(A);
    return {C, 0, -S, 0, 0, 1, 0, 0, S, 0, C, 0, 0, 0, 0, 1};
}

Mat RotationX(double Degrees)
{
    double A = Degrees * M_PI / 180, C = cos(A), S = sin(A);
    return {1, 0, 0, 0, 0, C, S, 0, 0, -S, C, 0, 0, 0, 0, 1};
}

std::array<double, 4> Apply(const Mat& M, double X, double Y, double Z)
{
    std::array<double, 4> R {};
    for (int Row = 0; Row < 4; Row++)
        R[Row] = M[Row] * X + M[4 + Row] * Y + M[8 + Row] * Z + M[12 + Row];
    return R;
}

void SetProjection()
{
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void CheckDraw3D(float Angle, float C1, float C2)
{
    SCOPED_TRACE(testing::Message() << "angle " << Angle << " cnt1 " << C1 << " cnt2 " << C2);
    angle = Angle, cnt1 = C1, cnt2 = C2;
    ASSERT_TRUE(InitGL(Window));
    SetProjection();
    Draw3D(Window);
    EXPECT_EQ(rot1, 2);
    EXPECT_EQ(rot2, 2);

    // The model-view after the pass: every rotation piled up, none undone.
    Mat Base = Multiply(Translation(cos((double)C1), sin((double)C2), -6.0), RotationY(Angle));
    Mat Step = Multiply(RotationY(90), RotationX(180));
    Mat Final = Multiply(Multiply(Base, Step), Multiply(RotationY(180), RotationY(180)));
    Final = Multiply(Multiply(Final, Step), Multiply(RotationY(180), RotationY(180)));
    GLfloat Got[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, Got);
    for (int I = 0; I < 16; I++)
        EXPECT_NEAR(Got[I], Final[I], 1e-5) << "element " << I;

    // Each triangle's centroid, where it is nearest the eye, shows the
    // even mix of its red, green and blue corners.
    const double Focal = 1 / tan(M_PI / 8); // gluPerspective(45, 4/3, 1, 100)
    const Mat Projection
        = {Focal * 3 / 4, 0, 0, 0, 0, Focal, 0, 0, 0, 0, -101.0 / 99, -1, 0, 0, -200.0 / 99, 0};
    Mat M = Base;
    double BestZ = -1e9, BX = 0, BY = 0;
    for (int R1 = 0; R1 < 2; R1++) {
        M = Multiply(M, Step);
        for (int R2 = 0; R2 < 2; R2++) {
            M = Multiply(M, RotationY(180));
            auto Eye = Apply(M, 0, -1.0 / 3, 2.0 / 3); // the centroid
            if (Eye[2] > BestZ) {
                auto Clip = Apply(Multiply(Projection, M), 0, -1.0 / 3, 2.0 / 3);
                BestZ = Eye[2];
                BX = (Clip[0] / Clip[3] + 1) * 320;
                BY = (Clip[1] / Clip[3] + 1) * 240;
            }
        }
    }
    Uint8 Pixel[4];
    glReadPixels((int)BX, (int)BY, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, Pixel);
    for (int K = 0; K < 3; K++)
        EXPECT_NEAR(Pixel[K], 85, 12) << "channel " << K << " at " << BX << "," << BY;
    glReadPixels(2, 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, Pixel);
    EXPECT_EQ(Pixel[0] + Pixel[1] + Pixel[2], 0) << "the corner stays clear";
}

TEST_F(Scene, Draw3DDrawsTheFigureWhereTheMatricesPutIt)
{
    CheckDraw3D(0.0f, 0.0f, 0.0f);
    CheckDraw3D(30.0f, 0.5f, 0.3f);
    CheckDraw3D(400.0f, 2.0f, -1.0f);
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
