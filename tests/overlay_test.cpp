// The logo overlay on a software layer, with logos of known sizes and
// colours. SDL's fill, blit and update calls are wrapped at link time, so
// the test sees every call the overlay makes and the rectangles it passes.
// The first test must run first: it checks the empty rectangles that the
// overlay starts with.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app.h"
#include "shell/layer.h"
#include "test_shell.h"

struct Call {
    char Kind;  // 'F' fill, 'B' blit, 'U' update
    SDL_Rect R; // the rectangle as passed (before any clipping)
    bool Null;  // no rectangle: the whole surface
    int Count;  // rectangles in an update
};
static std::vector<Call> Calls;

extern "C" {
int __real_SDL_FillRect(SDL_Surface* D, SDL_Rect* R, Uint32 C);
int __real_SDL_UpperBlit(SDL_Surface* S, SDL_Rect* SR, SDL_Surface* D, SDL_Rect* DR);

int __wrap_SDL_FillRect(SDL_Surface* D, SDL_Rect* R, Uint32 C)
{
    Calls.push_back({'F', R ? *R : SDL_Rect {}, R == nullptr, 1});
    return __real_SDL_FillRect(D, R, C);
}
int __wrap_SDL_UpperBlit(SDL_Surface* S, SDL_Rect* SR, SDL_Surface* D, SDL_Rect* DR)
{
    Calls.push_back({'B', DR ? *DR : SDL_Rect {}, DR == nullptr || SR != nullptr, 1});
    return __real_SDL_UpperBlit(S, SR, D, DR);
}
// What the stack shows, when a test watches: each upload reads the
// rectangle's bytes as R, G, B, A, as sdl12-compat's does, and they stay
// until the next upload there. The overlay's updates go through the
// shell's layer code (layer.h), as in the program. Otherwise an update is
// only recorded.
static std::vector<Uint8> Shown;

static void Upload(SDL_Surface* S, int N, SDL_Rect* R)
{
    for (int I = 0; I < N && !Shown.empty(); I++)
        for (int Y = R[I].y; Y < R[I].y + R[I].h; Y++)
            memcpy(&Shown[(Y * 640 + R[I].x) * 4], (Uint8*)S->pixels + Y * S->pitch + R[I].x * 4,
                R[I].w * 4);
}

void __wrap_SDL_UpdateRects(SDL_Surface* S, int N, SDL_Rect* R)
{
    Calls.push_back({'U', N > 0 ? R[0] : SDL_Rect {}, R == nullptr, N});
    UpdateLayerRectsGL(S, N, R, Upload);
}
void __wrap_SDL_UpdateRect(SDL_Surface*, Sint32, Sint32, Uint32, Uint32)
{
    Calls.push_back({'U', SDL_Rect {}, true, 1});
}
int __wrap_SDL_Flip(SDL_Surface*)
{
    Calls.push_back({'U', SDL_Rect {}, true, 1});
    return 0;
}
}

namespace
{

const Uint32 Yellow = 0xFFFF00, Cyan = 0x00FFFF, Magenta = 0xFF00FF;
SDL_Surface* Layer;

SDL_Surface* MakeLogo(int W, int H, Uint32 RGB)
{
    SDL_Surface* S = SDL_CreateRGBSurface(SDL_SWSURFACE, W, H, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    __real_SDL_FillRect(S, nullptr, SDL_MapRGB(S->format, RGB >> 16, (RGB >> 8) & 255, RGB & 255));
    SDL_SetColorKey(S, SDL_SRCCOLORKEY | SDL_RLEACCEL, SDL_MapRGB(S->format, 0, 0, 0));
    return S;
}

// The colour at (X, Y) as 0xRRGGBB, with the alpha byte on top.
Uint32 Pixel(int X, int Y)
{
    Uint32 P = ((Uint32*)((Uint8*)Layer->pixels + Y * Layer->pitch))[X];
    Uint8 R, G, B, A;
    SDL_GetRGBA(P, Layer->format, &R, &G, &B, &A);
    return (Uint32)A << 24 | (Uint32)R << 16 | (Uint32)G << 8 | B;
}

bool Same(const SDL_Rect& R, int X, int Y, int W, int H)
{
    return R.x == X && R.y == Y && R.w == W && R.h == H;
}

std::string Show(const SDL_Rect& R)
{
    return std::to_string(R.x) + "," + std::to_string(R.y) + " " + std::to_string(R.w) + "x"
        + std::to_string(R.h);
}

// Draw one frame and return the calls it made.
std::vector<Call> Frame()
{
    Calls.clear();
    Draw2D(Layer);
    return Calls;
}

class Overlay : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Layer = SDL_CreateRGBSurface(
            SDL_SWSURFACE, 640, 480, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
        Zarn_Logo = MakeLogo(200, 50, Yellow);
        SDL_Logo = MakeLogo(120, 40, Cyan);
        QN_Logo = MakeLogo(100, 60, Magenta);
    }
    void SetUp() override
    {
        Lx = Ly = 0.0f;
        Ix = Iy = 0;
        IxOff = IyOff = 1;
    }
};

TEST_F(Overlay, TheFirstFrameErasesNothingAndStartsEachLogoAtItsOrigin)
{
    std::vector<Call> C = Frame();
    ASSERT_EQ(C.size(), 9u);
    for (int I : {0, 3, 6})
        EXPECT_TRUE(Same(C[I].R, 0, 0, 0, 0)) << "empty erase " << Show(C[I].R);
    EXPECT_TRUE(Same(C[1].R, 0, 1, 200, 50)) << Show(C[1].R);
    EXPECT_TRUE(Same(C[4].R, 1, 180, 120, 40)) << Show(C[4].R);   // sin 0 = 0: 260 - 80
    EXPECT_TRUE(Same(C[7].R, 264, 360, 100, 60)) << Show(C[7].R); // 370 - 106, 170 + 270 - 80
    EXPECT_EQ(Pixel(5, 5), 0xFF000000 | Yellow);
    EXPECT_EQ(Pixel(0, 0), 0u) << "the row above the first logo stays transparent";
    EXPECT_EQ(Pixel(1, 180), 0xFF000000 | Cyan);
    EXPECT_EQ(Pixel(264 + 99, 360 + 59), 0xFF000000 | Magenta);
}

TEST_F(Overlay, EveryFrameMakesThreeFillsThreeBlitsAndThreeSingleUpdates)
{
    for (int F = 0; F < 50; F++) {
        Lx = F / 50.0f, Ly = F * 0.03f;
        std::vector<Call> C = Frame();
        int Fills = 0, Blits = 0, Updates = 0;
        for (const Call& X : C) {
            EXPECT_FALSE(X.Null) << X.Kind << " on the whole surface or a part of a logo";
            Fills += X.Kind == 'F', Blits += X.Kind == 'B';
            if (X.Kind == 'U') {
                Updates++;
                EXPECT_EQ(X.Count, 1);
                EXPECT_FALSE(Same(X.R, 0, 0, 640, 480));
            }
        }
        EXPECT_EQ(Fills, 3);
        EXPECT_EQ(Blits, 3);
        EXPECT_EQ(Updates, 3);
    }
}

TEST_F(Overlay, EachBounceTurnsOnePixelBeyondItsBound)
{
    Iy = 480 - 50 - 1, Ix = 640 - 120 - 1;
    std::vector<Call> C = Frame();
    EXPECT_EQ(C[1].R.y, 430); // on the bound: keeps going
    EXPECT_EQ(IyOff, 1);
    EXPECT_EQ(C[4].R.x, 520);
    EXPECT_EQ(IxOff, 1);
    C = Frame();
    EXPECT_EQ(C[1].R.y, 431); // one beyond: drawn there, then turns
    EXPECT_EQ(IyOff, -1);
    EXPECT_EQ(C[4].R.x, 521);
    EXPECT_EQ(IxOff, -1);
    C = Frame();
    EXPECT_EQ(C[1].R.y, 430);
    EXPECT_EQ(C[4].R.x, 520);

    Iy = 1, IyOff = -1, Ix = 1, IxOff = -1;
    C = Frame();
    EXPECT_EQ(C[1].R.y, 0);
    EXPECT_EQ(IyOff, -1);
    EXPECT_EQ(C[4].R.x, 0);
    EXPECT_EQ(IxOff, -1);
    C = Frame();
    EXPECT_EQ(C[1].R.y, -1);
    EXPECT_EQ(IyOff, 1);
    EXPECT_EQ(C[4].R.x, -1);
    EXPECT_EQ(IxOff, 1);
    // The blit clipped both to the surface, and that is what gets updated.
    EXPECT_TRUE(Same(C[2].R, 0, 0, 200, 49)) << Show(C[2].R);
    EXPECT_EQ(C[5].R.x, 0);
    EXPECT_EQ(C[5].R.w, 119);
}

TEST_F(Overlay, LogosFollowThePhases)
{
    Lx = 0.25f, Ly = 0.5f;
    std::vector<Call> C = Frame();
    // Worked out by hand: 440 * 0.25; 170 sin 0.5 + 260 - 80 = 261.50;
    // 170 sin 0.25 + 370 - 106 = 306.06; 170 cos 0.5 + 270 - 80 = 339.19.
    EXPECT_EQ(C[1].R.x, 110);
    EXPECT_EQ(C[4].R.y, 261);
    EXPECT_EQ(C[7].R.x, 306);
    EXPECT_EQ(C[7].R.y, 339);
}

TEST_F(Overlay, PositionsTruncateTowardZero)
{
    SDL_Surface* Tall = SDL_Logo;
    SDL_Logo = MakeLogo(120, 1, Cyan);
    Ly = -1.5f;
    std::vector<Call> C = Frame();
    // 170 sin(-1.5) + (1 + 480) div 2 - 80 = -9.57: toward zero is -9.
    EXPECT_EQ(C[4].R.y, -9);
    SDL_FreeSurface(SDL_Logo);
    SDL_Logo = Tall;
}

TEST_F(Overlay, AClippedLogoIsErasedOnlyWhereItWasDrawn)
{
    Lx = 1.2f; // 440 * 1.2 = 528: 88 of 200 columns hang off the right
    Iy = 99;
    std::vector<Call> C = Frame();
    EXPECT_TRUE(Same(C[2].R, 528, 100, 112, 50)) << Show(C[2].R);
    EXPECT_EQ(Pixel(639, 120), 0xFF000000 | Yellow);
    Lx = 0.5f;
    C = Frame();
    EXPECT_TRUE(Same(C[0].R, 528, 100, 112, 50)) << Show(C[0].R);
    EXPECT_EQ(Pixel(639, 120), 0u);
}

TEST_F(Overlay, ALaterEraseClearsWhatAnEarlierLogoDrewThere)
{
    __real_SDL_FillRect(Layer, nullptr, 0);
    Lx = 0.25f, Ly = 0.5f; // the third logo at 306,339
    Frame();
    // Now the first logo covers 264..463 x 329..378, and the third moves
    // away, erasing its old place on top of the first.
    Lx = 0.6f, Ly = 2.0f, Iy = 328;
    Frame();
    EXPECT_EQ(Pixel(300, 335), 0xFF000000 | Yellow);
    EXPECT_EQ(Pixel(310, 345), 0u) << "cleared by the third logo's erase";
    EXPECT_EQ(Pixel(400, 375), 0u);
    EXPECT_EQ(Pixel(450, 345), 0xFF000000 | Yellow);
}

TEST_F(Overlay, ASecondLogoWiderThanTheScreenJitters)
{
    SDL_Surface* Normal = SDL_Logo;
    SDL_Logo = MakeLogo(700, 40, Cyan);
    std::vector<int> Xs;
    for (int F = 0; F < 4; F++)
        Xs.push_back(Frame()[4].R.x);
    EXPECT_EQ(Xs, (std::vector<int> {1, 0, 1, 0}));
    SDL_FreeSurface(SDL_Logo);
    SDL_Logo = Normal;
}

TEST_F(Overlay, AFarOutLxKeepsTheFirstLogoOffTheSurface)
{
    for (float Far : {1.0e6f, -1.0e6f, 300.5f, -75.0f}) {
        __real_SDL_FillRect(Layer, nullptr, 0);
        Lx = Far, Iy = 10;
        std::vector<Call> C = Frame();
        EXPECT_TRUE(C[1].R.x >= 640 || C[1].R.x <= -200) << Far << ": " << C[1].R.x;
        EXPECT_TRUE(Same(C[2].R, C[2].R.x, C[2].R.y, 0, 0)) << "nothing drawn: " << Show(C[2].R);
        EXPECT_NE(Pixel(0, 20), 0xFF000000 | Yellow);
        EXPECT_NE(Pixel(639, 20), 0xFF000000 | Yellow);
    }
    Lx = 1.0e6f;
    EXPECT_EQ(Frame()[1].R.x, 32767);
    Lx = -1.0e6f;
    EXPECT_EQ(Frame()[1].R.x, -32768);
}

TEST_F(Overlay, OverTimeTheFirstSweepsInTwoSecondsTheSecondSwaysEvery210Frames)
{
    // 10 ms frames from the state Initialize leaves: each logo's place
    // (as blitted, before clipping) frame by frame.
    angle = cnt1 = cnt2 = 0.0f, Ltype = false;
    std::vector<SDL_Rect> First, Second, Third;
    for (int F = 0; F < 500; F++) {
        Update(10, nullptr);
        std::vector<Call> C = Frame();
        First.push_back(C[1].R), Second.push_back(C[4].R), Third.push_back(C[7].R);
    }
    // Across its 440-pixel range in two seconds and back, a pixel a frame
    // down; the second logo a pixel a frame across.
    EXPECT_NEAR(First[99].x, 220, 3);
    EXPECT_NEAR(First[199].x, 440, 3);
    EXPECT_NEAR(First[299].x, 220, 6); // it turns a step past each end
    EXPECT_NEAR(First[399].x, 0, 6);
    EXPECT_EQ(First[99].y - First[9].y, 90);
    EXPECT_EQ(Second[99].x - Second[9].x, 90);
    // The sway: 170 pixels either way, once every 2 pi / 0.03 = 209 frames,
    // the third logo's a quarter turn ahead of the second's.
    auto Peak = [](const std::vector<SDL_Rect>& Path, int From, int To) {
        int Best = From;
        for (int F = From; F < To; F++)
            Best = Path[F].y > Path[Best].y ? F : Best;
        return Best;
    };
    int Top = Peak(Second, 0, 150), Next = Peak(Second, 150, 400);
    EXPECT_NEAR(Next - Top, 209, 2);
    int Low = Top;
    for (int F = Top; F < Next; F++)
        Low = Second[F].y < Second[Low].y ? F : Low;
    EXPECT_NEAR(Second[Top].y - Second[Low].y, 340, 2);
    EXPECT_NEAR(Peak(Third, 0, 150), 0, 2) << "cos peaks at the start";
    EXPECT_NEAR(Peak(Third, 150, 300), 209, 6); // the first of the top row
}

} // namespace

// sdl12-compat's GL blit layer has no alpha and is uploaded as R, G, B, A
// bytes: there, and only there, what each update uploads is in that order
// and opaque where a logo is drawn, and no pixel is ever converted twice.
TEST_F(Overlay, ALayerWithoutAlphaIsUploadedOpaqueInRGBAOrderWithEveryColourKept)
{
    SDL_Surface *Alpha = Layer, *Third = QN_Logo;
    Layer = SDL_CreateRGBSurface(SDL_SWSURFACE, 640, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    Layer->flags |= SDL_OPENGLBLIT;
    // A frame whose black inside moves up over the first logo.
    QN_Logo = MakeLogo(100, 60, Magenta);
    SDL_Rect Inside = {4, 4, 92, 52};
    __real_SDL_FillRect(QN_Logo, &Inside, 0);
    Shown.assign(640 * 480 * 4, 0);
    auto At = [](int X, int Y) {
        return std::vector<Uint8>(&Shown[(Y * 640 + X) * 4], &Shown[(Y * 640 + X) * 4 + 4]);
    };
    const std::vector<Uint8> Clear {0, 0, 0, 0}, ShownYellow {255, 255, 0, 255};

    Lx = 1.0f, Iy = 199, Ly = 1.4232f;
    SDL_Rect Before = Frame()[7].R;
    Ly = 1.4824f;
    std::vector<Call> C = Frame();
    SDL_Rect First = C[1].R, Now = C[7].R;
    ASSERT_LT(Now.y, Before.y) << "the frame moved up";
    // Where the frame's new rectangle gained rows over the first logo, its
    // black shows the first logo as it was drawn: still yellow.
    int Seen = 0;
    for (int Y = Now.y + 4; Y < Before.y; Y++)
        for (int X = std::max<int>(First.x, Now.x + 4); X < std::min(First.x + First.w, Now.x + 96);
             X++, Seen++)
            ASSERT_EQ(At(X, Y), ShownYellow) << X << "," << Y;
    EXPECT_GT(Seen, 100);
    EXPECT_EQ(At(First.x + First.w - 1, First.y + First.h - 1), ShownYellow);
    EXPECT_EQ(At(Now.x + 1, Now.y + 1), (std::vector<Uint8> {255, 0, 255, 255}));
    EXPECT_EQ(At(First.x, First.y - 2), Clear) << "above the first logo";
    Uint32* Kept = (Uint32*)((Uint8*)Layer->pixels + First.y * Layer->pitch) + First.x;
    EXPECT_EQ(*Kept, 0xFFFF00u) << "between updates the layer keeps its own format";

    // Two overlapping rectangles in one update: each pixel still shows once
    // converted, and the layer is left as it was.
    SDL_Rect Both[2] = {First, {(Sint16)(First.x + 10), First.y, 50, 20}};
    Shown.assign(640 * 480 * 4, 0);
    Uint32 Own = Kept[20];
    __wrap_SDL_UpdateRects(Layer, 2, Both);
    EXPECT_EQ(At(First.x + 20, First.y), (std::vector<Uint8> {(Uint8)(Own >> 16), (Uint8)(Own >> 8),
                                             (Uint8)Own, 255}));
    EXPECT_EQ(Kept[20], Own);

    Layer->flags &= ~SDL_OPENGLBLIT; // a plain surface is left as blitted
    C = Frame();
    Uint8* Now1 = (Uint8*)Layer->pixels + C[1].R.y * Layer->pitch + 4 * C[1].R.x;
    EXPECT_EQ(*(Uint32*)Now1, 0xFFFF00u);
    Shown.clear();
    SDL_FreeSurface(QN_Logo);
    SDL_FreeSurface(Layer);
    Layer = Alpha, QN_Logo = Third;
}

// The assertion in Draw holds in every build type, NDEBUG or not.
TEST(DrawDeathTest, ANullScreenAbortsNamingIt)
{
    EXPECT_DEATH(Draw(nullptr), "Screen");
}
