// The committed assets load through the libraries the program uses, the
// module really plays, and the score compiler reports malformed scores.
// Runs from the repo root.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "module.h"
#include "score.h"

namespace
{

std::vector<Uint8> ReadFile(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::vector<Uint8>(std::istreambuf_iterator<char>(In), {});
}

// True when the whole top and bottom rows are pure black, the transparent
// colour, as they are for a logo on its own ground.
bool BorderIsTransparent(SDL_Surface* S)
{
    SDL_LockSurface(S);
    bool Clear = true;
    for (int X = 0; X < S->w; X++)
        for (int Y : {0, S->h - 1}) {
            Uint32 P = 0;
            memcpy(&P, (Uint8*)S->pixels + Y * S->pitch + X * S->format->BytesPerPixel,
                S->format->BytesPerPixel);
            Uint8 R, G, B;
            SDL_GetRGB(P, S->format, &R, &G, &B);
            Clear = Clear && R == 0 && G == 0 && B == 0;
        }
    SDL_UnlockSurface(S);
    return Clear;
}

TEST(Assets, TheLogosLoadAtTheirSizesOnATransparentGround)
{
    struct Logo {
        const char* Path;
        int W, H;
    } Logos[] = {{"data/logo.gif", 300, 80}, {"data/SDL_Title.bmp", 360, 44},
        {"data/QN_Title.bmp", 130, 130}};
    for (const Logo& L : Logos) {
        SCOPED_TRACE(L.Path);
        SDL_Surface* S = std::string(L.Path).find(".gif") != std::string::npos
            ? IMG_Load(L.Path)
            : SDL_LoadBMP(L.Path);
        ASSERT_NE(S, nullptr) << SDL_GetError();
        EXPECT_EQ(S->w, L.W);
        EXPECT_EQ(S->h, L.H);
        EXPECT_TRUE(BorderIsTransparent(S));
        SDL_FreeSurface(S);
    }
    std::vector<Uint8> Gif = ReadFile("data/logo.gif");
    EXPECT_EQ(std::string(Gif.begin(), Gif.begin() + 3), "GIF") << "a real GIF, not a renamed BMP";
}

TEST(Assets, TheIconIsPalettisedWithItsBackgroundTopLeft)
{
    SDL_Surface* S = SDL_LoadBMP("Zarn_Icon.bmp");
    ASSERT_NE(S, nullptr) << SDL_GetError();
    EXPECT_EQ(S->w, 32);
    EXPECT_EQ(S->h, 32);
    ASSERT_NE(S->format->palette, nullptr);
    EXPECT_EQ(S->format->BitsPerPixel, 8);
    Uint8* P = (Uint8*)S->pixels;
    int Shown = 0;
    for (int I = 0; I < 32 * 32; I++)
        Shown += P[I] != P[0];
    EXPECT_GT(Shown, 200) << "the design covers a good part of the icon";
    EXPECT_LT(Shown, 32 * 32 - 200) << "and the background the rest";
    SDL_FreeSurface(S);
}

TEST(Assets, TheModuleIsAFourChannelMKModuleOfTheRightLength)
{
    std::vector<Uint8> M = ReadFile("data/lktheme.mod");
    ASSERT_GT(M.size(), 1084u);
    EXPECT_EQ(std::string((char*)&M[1080], 4), "M.K.");
    int Orders = M[950], Patterns = 0;
    for (int I = 0; I < 128; I++)
        Patterns = std::max(Patterns, M[952 + I] + 1);
    size_t SampleBytes = 0;
    for (int I = 0; I < 31; I++)
        SampleBytes += 2 * (M[20 + I * 30 + 22] << 8 | M[20 + I * 30 + 23]);
    EXPECT_EQ(M.size(), 1084 + Patterns * 1024 + SampleBytes);
    // At speed 6 and 125 BPM a row lasts 0.12 s, unless an Fxx changes it.
    for (size_t I = 1084; I < 1084 + Patterns * 1024u; I += 4)
        ASSERT_NE(M[I + 2] & 0x0F, 0x0F) << "a speed change";
    double Seconds = Orders * 64 * 0.12;
    EXPECT_GE(Seconds, 30.0);
    EXPECT_LE(Seconds, 90.0);
}

TEST(Assets, TheModulePlaysRealSignal)
{
    std::string Capture = testing::TempDir() + "lktheme-" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", Capture.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "20", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(22060, AUDIO_S16LSB, 2, 512), 0) << SDL_GetError();
    Mix_Music* Music = Mix_LoadMUS("data/lktheme.mod");
    ASSERT_NE(Music, nullptr) << Mix_GetError();
    ASSERT_EQ(Mix_PlayMusic(Music, -1), 0);
    SDL_Delay(2500);
    Mix_HaltMusic();
    Mix_FreeMusic(Music);
    Mix_CloseAudio();
    SDL_Quit();

    std::vector<Uint8> Raw = ReadFile(Capture);
    const size_t Window = 2205 * 4; // a tenth of a second of stereo frames
    ASSERT_GE(Raw.size(), 15 * Window) << "at least 1.5 s captured";
    std::vector<double> Levels;
    for (size_t W = 0; W + Window <= Raw.size(); W += Window) {
        double Sum = 0;
        for (size_t I = W; I < W + Window; I += 2) {
            double V = (Sint16)(Raw[I] | Raw[I + 1] << 8) / 32768.0;
            Sum += V * V;
        }
        Levels.push_back(sqrt(Sum / (Window / 2)));
    }
    double Low = 1, High = 0;
    for (double L : Levels)
        Low = std::min(Low, L), High = std::max(High, L);
    EXPECT_GT(High, 0.05) << "well above silence";
    EXPECT_GT(High - Low, 0.01) << "the level changes: a beat, not a constant tone";
}

// ---- The score compiler ----

std::string Header()
{
    return "title test\ninstrument 1 bass 64\norder 0\npattern 0\n";
}

void ExpectRejected(const std::string& Text, const std::string& Message)
{
    Song S;
    std::string Error;
    EXPECT_FALSE(ParseScore(Text, "t.score", &S, &Error)) << Text;
    EXPECT_EQ(Error, Message);
}

TEST(Score, MalformedScoresAreRejectedNamingTheLine)
{
    ExpectRejected(Header() + "00 | H-2 01 ... | --- .. ... | --- .. ... | --- .. ...\n",
        "t.score:5: bad note 'H-2' (C-1 to B-3, or ---)");
    ExpectRejected(Header() + "00 | C-2 02 ... | --- .. ... | --- .. ... | --- .. ...\n",
        "t.score:5: unknown instrument '02'");
    ExpectRejected(Header() + "00 | C-2 01 G00 | --- .. ... | --- .. ... | --- .. ...\n",
        "t.score:5: bad effect 'G00' (three hex digits, or ...)");
    ExpectRejected(
        Header() + "\n00 | C-2 01 ... | --- .. ...\n", "t.score:6: a row needs four cells");
    ExpectRejected(Header()
            + "05 | --- .. ... | --- .. ... | --- .. ... | --- .. ...\n"
              "03 | --- .. ... | --- .. ... | --- .. ... | --- .. ...\n",
        "t.score:6: rows must go up within a pattern");
    ExpectRejected(Header() + "64 | --- .. ... | --- .. ... | --- .. ... | --- .. ...\n",
        "t.score:5: unknown line '64'");
    ExpectRejected("instrument 1 flute 64\n", "t.score:1: unknown voice 'flute'");
    ExpectRejected("title t\ninstrument 1 bass 64\norder 1\npattern 0\n",
        "t.score:5: the order names pattern 1, which is not written");
    ExpectRejected("title t\n", "t.score:2: the score has no pattern");
}

TEST(Score, SharpsAreNotesAndCommentsAreIgnored)
{
    Song S;
    std::string Error;
    ASSERT_TRUE(ParseScore(Header()
            + "# a comment\n02 | C#2 01 037 | --- .. ... | --- .. ... "
              "| --- .. ... # trailing\n",
        "t.score", &S, &Error))
        << Error;
    const Cell& C = S.Patterns[0].Cells[2][0];
    EXPECT_EQ(C.Period, 404);
    EXPECT_EQ(C.Instrument, 1);
    EXPECT_EQ(C.Effect, 0);
    EXPECT_EQ(C.Param, 0x37);
}

TEST(Score, TheModuleLaysOutCellsAsTrackersReadThem)
{
    Song S;
    std::string Error;
    ASSERT_TRUE(ParseScore("title t\ninstrument 17 lead 40\norder 0 0\npattern 0\n"
                           "63 | --- .. ... | --- .. ... | --- .. ... | A-3 17 C20\n",
        "t.score", &S, &Error))
        << Error;
    std::vector<uint8_t> M = BuildModule(S);
    EXPECT_EQ(M[950], 2);                  // song length
    EXPECT_EQ(M[20 + 16 * 30 + 25], 40);   // instrument 17's volume
    size_t Cell = 1084 + (63 * 4 + 3) * 4; // row 63, channel 4
    EXPECT_EQ(M[Cell], 0x10);              // instrument high nibble, period 120 >> 8
    EXPECT_EQ(M[Cell + 1], 127);
    EXPECT_EQ(M[Cell + 2], 0x1C);          // instrument low nibble, effect C
    EXPECT_EQ(M[Cell + 3], 0x20);
}

} // namespace
