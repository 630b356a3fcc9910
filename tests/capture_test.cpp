// The capture host's pure parts: its command line, the mix it does in
// SDL's place, and how many samples each frame carries.
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "capture.h"

// argv as the program gets it, its name first.
static CaptureOptions Read(std::initializer_list<const char*> Args)
{
    static std::vector<std::string> Text;
    static std::vector<char*> Argv;
    Text.assign({"pellacorn-capture"});
    Text.insert(Text.end(), Args.begin(), Args.end());
    Argv.clear();
    for (std::string& A : Text)
        Argv.push_back(&A[0]);
    Argv.push_back(NULL);
    return ReadCaptureOptions((int)Text.size(), Argv.data());
}

#define EXPECT_REFUSED(Call, Message) \
    EXPECT_EXIT(Call, ::testing::ExitedWithCode(2), "^pellacorn-capture: " Message "\nUsage:")

TEST(CaptureOptions, DefaultsAndChoices)
{
    CaptureOptions O = Read({"clip.mp4"});
    EXPECT_STREQ(O.Output, "clip.mp4");
    EXPECT_FALSE(O.WebM);
    EXPECT_EQ(O.Fps, 60);
    EXPECT_EQ(O.Frames, 600);
    EXPECT_FALSE(O.Stats);
    O = Read({"--seconds", "0.5", "--fps", "1000", "--stats", "clip.webm"});
    EXPECT_TRUE(O.WebM);
    EXPECT_EQ(O.Fps, 1000);
    EXPECT_EQ(O.Frames, 500);
    EXPECT_TRUE(O.Stats);
    // 0.1 s is no exact double; at 30 fps it still makes three frames.
    EXPECT_EQ(Read({"--seconds", "0.1", "--fps", "30", "clip.mp4"}).Frames, 3);
}

TEST(CaptureOptionsDeathTest, NumbersOutOfBounds)
{
    EXPECT_REFUSED(Read({"--seconds", "0", "clip.mp4"}), "needs a number above zero: --seconds");
    EXPECT_REFUSED(Read({"--seconds", "-1", "clip.mp4"}), "needs a number above zero: --seconds");
    EXPECT_REFUSED(Read({"--seconds", "inf", "clip.mp4"}), "needs a number above zero: --seconds");
    EXPECT_REFUSED(Read({"--fps", "nan", "clip.mp4"}), "needs a number above zero: --fps");
    EXPECT_REFUSED(Read({"--fps", "1001", "clip.mp4"}),
        "needs a whole number of frames a second, at most 1000: --fps");
    EXPECT_REFUSED(Read({"--fps", "29.97", "clip.mp4"}),
        "needs a whole number of frames a second, at most 1000: --fps");
    // Less than a frame, a part of one, or more than ten million frames.
    EXPECT_REFUSED(Read({"--seconds", "0.01", "--fps", "30", "clip.mp4"}),
        "needs a whole number of frames, at least one: --seconds");
    EXPECT_REFUSED(Read({"--seconds", "0.05", "--fps", "30", "clip.mp4"}),
        "needs a whole number of frames, at least one: --seconds");
    EXPECT_REFUSED(Read({"--seconds", "200000", "--fps", "60", "clip.mp4"}),
        "needs a whole number of frames, at least one: --seconds");
}

TEST(CaptureOptionsDeathTest, NotNumbersOrMissingValues)
{
    EXPECT_REFUSED(Read({"--seconds", "ten", "clip.mp4"}), "needs a number above zero: --seconds");
    EXPECT_REFUSED(Read({"--fps", "30fps", "clip.mp4"}), "needs a number above zero: --fps");
    EXPECT_REFUSED(Read({"--fps", "", "clip.mp4"}), "needs a number above zero: --fps");
    EXPECT_REFUSED(Read({"clip.mp4", "--seconds"}), "needs a number above zero: --seconds");
    // The file name is not taken for the missing number.
    EXPECT_REFUSED(Read({"--fps", "clip.mp4"}), "needs a number above zero: --fps");
}

TEST(CaptureOptionsDeathTest, BadOutput)
{
    EXPECT_REFUSED(Read({"--fps", "30"}), "missing: OUTPUT");
    EXPECT_REFUSED(Read({"clip.avi"}), "the file must end in .mp4 or .webm: clip.avi");
    EXPECT_REFUSED(Read({".mp4"}), "the file must end in .mp4 or .webm: .mp4");
    EXPECT_REFUSED(Read({"clip.mp4", "other.mp4"}), "unexpected argument: other.mp4");
    EXPECT_REFUSED(Read({"--frames", "10", "clip.mp4"}), "unexpected argument: --frames");
    EXPECT_REFUSED(Read({"no/such/folder/clip.mp4"}),
        "no such folder for the file: no/such/folder/clip.mp4");
    // A file where the folder should be.
    EXPECT_REFUSED(Read({"/dev/null/clip.webm"}), "no such folder for the file: /dev/null/clip.webm");
    EXPECT_STREQ(Read({"/clip.mp4"}).Output, "/clip.mp4");
}

// Found before the scene starts, rather than when the finished file cannot
// take the folder's place.
TEST(CaptureOptionsDeathTest, OutputThatIsAFolder)
{
    char Folder[] = "/tmp/pellacorn-capture-XXXXXX";
    ASSERT_NE(mkdtemp(Folder), nullptr);
    std::string Clip = std::string(Folder) + "/clip.webm";
    ASSERT_EQ(mkdir(Clip.c_str(), 0755), 0);
    std::string Link = std::string(Folder) + "/link.mp4";
    ASSERT_EQ(symlink("clip.webm", Link.c_str()), 0);
    EXPECT_EXIT(Read({Clip.c_str()}), ::testing::ExitedWithCode(2),
        "^pellacorn-capture: OUTPUT is a folder: " + Clip + "\nUsage:");
    // The finished file replaces a link, wherever it points.
    EXPECT_STREQ(Read({Link.c_str()}).Output, Link.c_str());
    unlink(Link.c_str());
    rmdir(Clip.c_str());
    rmdir(Folder);
}

// SDL_MixAudio on buffers of 16-bit samples; Len counts bytes.
static std::vector<Sint16> Mix(std::vector<Sint16> To, std::vector<Sint16> From, int Volume)
{
    SDL_MixAudio((Uint8*)To.data(), (const Uint8*)From.data(), (Uint32)From.size() * 2, Volume);
    return To;
}

TEST(CaptureMix, LoudSignalsClipRatherThanWrap)
{
    std::vector<Sint16> Out =
        Mix({30000, -30000, 32767, -32768, 100}, {30000, -30000, 1, -1, -300}, SDL_MIX_MAXVOLUME);
    EXPECT_EQ(Out, (std::vector<Sint16> {32767, -32768, 32767, -32768, -200}));
}

TEST(CaptureMix, VolumeScalesTheAddedSignalOnly)
{
    EXPECT_EQ(Mix({1000, -1000, 7}, {1000, -1000, 128}, SDL_MIX_MAXVOLUME / 2),
        (std::vector<Sint16> {1500, -1500, 71}));
    EXPECT_EQ(Mix({5, -5}, {30000, -30000}, 0), (std::vector<Sint16> {5, -5}));
    // Only Len bytes are mixed, not Len samples.
    std::vector<Sint16> To = {0, 0, 0, 0}, From = {1, 2, 3, 4};
    SDL_MixAudio((Uint8*)To.data(), (const Uint8*)From.data(), 4, SDL_MIX_MAXVOLUME);
    EXPECT_EQ(To, (std::vector<Sint16> {1, 2, 0, 0}));
}

TEST(CaptureSamples, NoDriftOverAnHour)
{
    // 22060 Hz at 60 fps is 367.67 samples a frame: neither count alone
    // keeps the sound with the picture.
    const int Rate = 22060, Fps = 60;
    const long Frames = 3600L * Fps;
    long long Sum = 0;
    for (long N = 0; N < Frames; N++) {
        int Count = SamplesInFrame(N, Rate, Fps);
        ASSERT_TRUE(Count == Rate / Fps || Count == Rate / Fps + 1) << "frame " << N;
        Sum += Count;
        if (N % 3 == 2) { // every 3 frames, exactly 1103 samples
            ASSERT_EQ(Sum, (N + 1) / 3 * 1103) << "frame " << N;
        }
    }
    EXPECT_EQ(Sum, 3600LL * Rate);
    EXPECT_EQ(SampleAt(0, Rate, Fps), 0);
    EXPECT_EQ(SampleAt(Frames, Rate, Fps), 3600LL * Rate); // N * Rate is past 2^31
    // Frame n starts at floor(n * R / N): 48000 Hz at 7 fps.
    EXPECT_EQ(SampleAt(1, 48000, 7), 6857);
    EXPECT_EQ(SamplesInFrame(1, 48000, 7), 6857);
    EXPECT_EQ(SamplesInFrame(6, 48000, 7), 6858);
}
