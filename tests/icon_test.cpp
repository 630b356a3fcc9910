// The window icon: the mask handed to SDL_WM_SetIcon (wrapped at link time)
// and each refusal with its log line. The log is a recording stand-in.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "main.h"
#include "recording_log.h"

static int SetIconCalls;
static SDL_Surface* GivenIcon;
static std::vector<Uint8> GivenMask;

extern "C" void __wrap_SDL_WM_SetIcon(SDL_Surface* Icon, Uint8* Mask)
{
    SetIconCalls++;
    GivenIcon = Icon;
    GivenMask.assign(Mask, Mask + Icon->w * Icon->h / 8);
    // The program keeps its mask until exit; this process makes many.
    free(Mask);
}

namespace
{

using Pixels = std::vector<std::pair<int, int>>; // (row, column)

// An 8-bit BMP of W x H in Background, with the listed pixels in index 5.
std::string WritePalettised(const char* Name, int W, int H, Uint8 Background, const Pixels& Set)
{
    SDL_Surface* S = SDL_CreateRGBSurface(SDL_SWSURFACE, W, H, 8, 0, 0, 0, 0);
    SDL_Color Colours[8];
    for (int I = 0; I < 8; I++)
        Colours[I] = {(Uint8)(I * 30), (Uint8)(255 - I * 30), (Uint8)(I * 10), 0};
    SDL_SetColors(S, Colours, 0, 8);
    for (int Y = 0; Y < H; Y++)
        memset((Uint8*)S->pixels + Y * S->pitch, Background, W);
    for (auto [R, C] : Set)
        ((Uint8*)S->pixels)[R * S->pitch + C] = 5;
    std::string Path = testing::TempDir() + Name;
    SDL_SaveBMP(S, Path.c_str());
    SDL_FreeSurface(S);
    return Path;
}

std::string WriteTrueColour(const char* Name, int W, int H)
{
    SDL_Surface* S = SDL_CreateRGBSurface(SDL_SWSURFACE, W, H, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    std::string Path = testing::TempDir() + Name;
    SDL_SaveBMP(S, Path.c_str());
    SDL_FreeSurface(S);
    return Path;
}

std::string WriteText(const char* Name, const std::string& Bytes)
{
    std::string Path = testing::TempDir() + Name;
    FILE* F = fopen(Path.c_str(), "wb");
    fwrite(Bytes.data(), 1, Bytes.size(), F);
    fclose(F);
    return Path;
}

// The mask worked out from the layout: rows of W / 8 bytes, the first
// pixel of each group of eight in the top bit.
std::vector<Uint8> ExpectedMask(int W, int H, const Pixels& Set)
{
    std::vector<Uint8> M(W * H / 8, 0);
    for (auto [R, C] : Set)
        M[R * (W / 8) + C / 8] |= (Uint8)(0x80 >> (C % 8));
    return M;
}

class Icon : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LoggedText.clear();
        SetIconCalls = 0;
        GivenIcon = nullptr;
        GivenMask.clear();
    }
    SDL_Surface* Load(const std::string& Path)
    {
        return SetUpIcon((char*)Path.c_str());
    }
};

TEST_F(Icon, TheMaskShowsEveryPixelThatDiffersFromTheTopLeft)
{
    const Pixels Set = {{0, 1}, {0, 7}, {0, 8}, {1, 0}, {5, 13}, {17, 22}, {31, 31}, {31, 24}};
    SDL_Surface* S = Load(WritePalettised("pattern.bmp", 32, 32, 3, Set));
    ASSERT_NE(S, nullptr) << LoggedText;
    EXPECT_EQ(SetIconCalls, 1);
    EXPECT_EQ(GivenIcon, S);
    EXPECT_EQ(GivenMask.size(), 128u);
    EXPECT_EQ(GivenMask, ExpectedMask(32, 32, Set));
    EXPECT_EQ(GivenMask[0], 0x41) << "pixels 1 and 7 of row 0";
    EXPECT_EQ(GivenMask[4], 0x80) << "row 1 starts at byte 4";
    // Transparent by the first pixel's index, without run-length encoding.
    EXPECT_TRUE(S->flags & SDL_SRCCOLORKEY);
    EXPECT_FALSE(S->flags & (SDL_RLEACCELOK | SDL_RLEACCEL));
    EXPECT_EQ(S->format->colorkey, 3u);
    EXPECT_EQ(LoggedText, "");
}

TEST_F(Icon, OtherSizesKeepTheirRowsApart)
{
    // Narrow, wider than a word, the largest taken, and all one colour.
    struct Case {
        int W, H;
        Pixels Set;
    } Cases[] = {{8, 4, {{0, 2}, {1, 5}, {2, 0}, {3, 3}}}, {16, 4, {{0, 2}, {1, 5}, {3, 11}}},
        {40, 4, {{0, 2}, {1, 39}, {2, 8}, {3, 32}}}, {1024, 1024, {{1023, 1023}}}, {32, 32, {}}};
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::to_string(C.W) + " x " + std::to_string(C.H));
        ASSERT_NE(Load(WritePalettised("sized.bmp", C.W, C.H, 1, C.Set)), nullptr) << LoggedText;
        EXPECT_EQ(GivenMask, ExpectedMask(C.W, C.H, C.Set));
    }
}

TEST_F(Icon, UnsuitableFilesAreRefusedWithTheirLogLine)
{
    struct Case {
        std::string Path, Line;
    } Cases[] = {
        {testing::TempDir() + "no-such-icon.bmp", "Unable to load icon: "},
        {WriteText("text.bmp", "this is not a bitmap\n"), "Unable to load icon: "},
        {WritePalettised("wide.bmp", 36, 32, 0, {}), "Icon width must be a multiple of 8\n"},
        // Too wide and true colour: the width is tested first.
        {WriteTrueColour("wide24.bmp", 36, 32), "Icon width must be a multiple of 8\n"},
        {WriteTrueColour("deep.bmp", 32, 32), "Icon file must have a palette.\n"},
        // Far larger than an icon: an X error (and a hang on sdl12-compat).
        {WritePalettised("huge.bmp", 1032, 8, 0, {}), "Icon must be at most 1024 x 1024 pixels\n"},
        {WritePalettised("tall.bmp", 8, 1025, 0, {}), "Icon must be at most 1024 x 1024 pixels\n"},
        // A header that claims a 0 x 0, 8-bit image.
        {WriteText("empty.bmp",
             std::string("BM\x3e\0\0\0\0\0\0\0\x3e\0\0\0\x28\0\0\0"
                         "\0\0\0\0\0\0\0\0\x01\0\x08\0\0\0\0\0",
                 34)
                 + std::string(28, '\0')),
            "Unable to load icon: "},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Path);
        LoggedText.clear();
        EXPECT_EQ(Load(C.Path), nullptr);
        EXPECT_EQ(SetIconCalls, 0);
        EXPECT_EQ(LoggedText.compare(0, C.Line.size(), C.Line), 0) << LoggedText;
        EXPECT_EQ(LoggedText.find('\n'), LoggedText.size() - 1) << "one line: " << LoggedText;
    }
}

} // namespace
