// The capture's command line: [--seconds S] [--fps N] [--stats] OUTPUT.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/stat.h>

#include "capture.h"

static const char* Program = "capture";

static void PrintUsage(FILE* To)
{
    fprintf(To,
        "Usage: %s [--seconds S] [--fps N] [--stats] OUTPUT\n"
        "Runs the scene on a virtual clock and writes S seconds (default 10) at N frames\n"
        "a second (default 60) with its sound to OUTPUT: .mp4 (H.264 and AAC) or .webm\n"
        "(VP9 and Opus). Run it from the scene's folder; without DISPLAY it starts its own\n"
        "Xvfb. --stats prints where the time went.\n",
        Program);
}

static void Refuse(const char* Reason, const char* What)
{
    fprintf(stderr, "%s: %s: %s\n", Program, Reason, What);
    PrintUsage(stderr);
    exit(2);
}

static bool EndsWith(const char* Text, const char* End)
{
    size_t N = strlen(Text), M = strlen(End);
    return N > M && strcmp(Text + N - M, End) == 0;
}

std::string OutputFolder(const char* Output)
{
    const char* Slash = strrchr(Output, '/');
    return Slash == NULL ? "." : Slash == Output ? "/" : std::string(Output, Slash);
}

// The folder OUTPUT goes in exists: found here, before the scene starts,
// rather than when the file is made.
static bool FolderExists(const char* Output)
{
    struct stat S;
    return stat(OutputFolder(Output).c_str(), &S) == 0 && S_ISDIR(S.st_mode);
}

// A folder by OUTPUT's own name, which the finished file could not replace.
// A link to one is no obstacle: the rename replaces the link.
static bool IsFolder(const char* Output)
{
    struct stat S;
    return lstat(Output, &S) == 0 && S_ISDIR(S.st_mode);
}

// A finite number above zero, and nothing after it.
static double ReadPositive(const char* Option, const char* Text)
{
    char* End;
    double Value = Text != NULL ? strtod(Text, &End) : 0.0;
    if (Text == NULL || End == Text || *End != '\0' || !(Value > 0.0) || !isfinite(Value))
        Refuse("needs a number above zero", Option);
    return Value;
}

CaptureOptions ReadCaptureOptions(int argc, char** argv)
{
    const char* Slash = argc > 0 ? strrchr(argv[0], '/') : NULL;
    Program = Slash != NULL ? Slash + 1 : argc > 0 ? argv[0] : Program;
    CaptureOptions O = {NULL, false, 60, 0, false};
    double Seconds = 10.0, Fps = 60.0;
    for (int I = 1; I < argc; I++) {
        const char* A = argv[I];
        const char* Next = I + 1 < argc ? argv[I + 1] : NULL;
        if (strcmp(A, "--help") == 0) {
            PrintUsage(stdout);
            exit(0);
        } else if (strcmp(A, "--seconds") == 0) {
            Seconds = ReadPositive(A, Next);
            I++;
        } else if (strcmp(A, "--fps") == 0) {
            Fps = ReadPositive(A, Next);
            I++;
        } else if (strcmp(A, "--stats") == 0) {
            O.Stats = true;
        } else if (A[0] == '-' || O.Output != NULL) {
            Refuse("unexpected argument", A);
        } else {
            O.Output = A;
        }
    }
    if (O.Output == NULL)
        Refuse("missing", "OUTPUT");
    if (!EndsWith(O.Output, ".mp4") && !EndsWith(O.Output, ".webm"))
        Refuse("the file must end in .mp4 or .webm", O.Output);
    O.WebM = EndsWith(O.Output, ".webm");
    if (!FolderExists(O.Output))
        Refuse("no such folder for the file", O.Output);
    if (IsFolder(O.Output))
        Refuse("OUTPUT is a folder", O.Output);
    if (Fps != floor(Fps) || Fps > 1000)
        Refuse("needs a whole number of frames a second, at most 1000", "--fps");
    O.Fps = (int)Fps;
    double Frames = Seconds * O.Fps;
    O.Frames = lround(Frames);
    if (fabs(Frames - (double)O.Frames) > 1e-6 || O.Frames < 1 || Frames > 1e7)
        Refuse("needs a whole number of frames, at least one", "--seconds");
    return O;
}
