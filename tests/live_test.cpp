// The live host's parts that need no window: the carry of variables from
// one version to the next, the reading of a library's symbol table, the
// line a failed build shows, and the watch on the sources' folders.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "build.h"
#include "code.h"
#include "state.h"

// ---- Carrying variables ----

TEST(CarryLiveVariables, CarriesAVariableOfTheSameNameAndSize)
{
    int OldFrames = 41, NewFrames = 0;
    long OldSpeed = 7, NewSpeed = 1;
    std::vector<LiveVariable> From
        = {{"Frames", &OldFrames, sizeof OldFrames}, {"Speed", &OldSpeed, sizeof OldSpeed}};
    std::vector<LiveVariable> To
        = {{"Speed", &NewSpeed, sizeof NewSpeed}, {"Frames", &NewFrames, sizeof NewFrames}};
    EXPECT_EQ(CarryLiveVariables(From, To), 2);
    EXPECT_EQ(NewFrames, 41);
    EXPECT_EQ(NewSpeed, 7);
}

TEST(CarryLiveVariables, KeepsTheNewValueOfAVariableWhoseSizeChanged)
{
    long long OldCount = 0x1122334455667788LL;
    int NewCount = 5, OldFrames = 3, NewFrames = 0;
    std::vector<LiveVariable> From
        = {{"Count", &OldCount, sizeof OldCount}, {"Frames", &OldFrames, sizeof OldFrames}};
    std::vector<LiveVariable> To
        = {{"Count", &NewCount, sizeof NewCount}, {"Frames", &NewFrames, sizeof NewFrames}};
    std::vector<std::string> Resized;
    EXPECT_EQ(CarryLiveVariables(From, To, &Resized), 1);
    EXPECT_EQ(NewCount, 5);
    EXPECT_EQ(NewFrames, 3);
    EXPECT_EQ(Resized, std::vector<std::string>{"Count"}) << "named, for the log";
}

TEST(CarryLiveVariables, LeavesANameOfOneVersionAlone)
{
    int Gone = 3, Fresh = 9;
    // File statics of the same name in two files stay apart.
    int OldA = 1, OldB = 2, NewA = 0, NewB = 0;
    std::vector<LiveVariable> From = {{"Gone", &Gone, sizeof Gone},
        {"a.cpp:_ZL5Count", &OldA, sizeof OldA}, {"b.cpp:_ZL5Count", &OldB, sizeof OldB}};
    std::vector<LiveVariable> To = {{"b.cpp:_ZL5Count", &NewB, sizeof NewB},
        {"Fresh", &Fresh, sizeof Fresh}, {"a.cpp:_ZL5Count", &NewA, sizeof NewA}};
    EXPECT_EQ(CarryLiveVariables(From, To), 2);
    EXPECT_EQ(Fresh, 9);
    EXPECT_EQ(Gone, 3);
    EXPECT_EQ(NewA, 1);
    EXPECT_EQ(NewB, 2);
}

// ---- Reading a library's variables ----

static void WriteFile(const std::string& Path, const std::string& Text)
{
    FILE* F = fopen(Path.c_str(), "wb");
    ASSERT_NE(F, nullptr) << Path;
    fwrite(Text.data(), 1, Text.size(), F);
    ASSERT_EQ(fclose(F), 0);
}

static std::string ReadFile(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// A scene library's kinds of variables, and a constant that is none.
static const char LibrarySource[] = R"(
int Counter = 3;
double Table[5];
static long Hidden = 7;
const int Constant = 1;
int Function() { static short Calls; return ++Calls + Hidden + Constant; }
)";

class ReadLiveVariablesTest : public testing::Test
{
protected:
    static std::string Root, Library;

    static void SetUpTestSuite()
    {
        char Pattern[] = "/tmp/pellacorn-live-test-XXXXXX";
        ASSERT_NE(mkdtemp(Pattern), nullptr);
        Root = Pattern;
        std::string Source = Root + "/scene.cpp";
        Library = Root + "/scene.so";
        WriteFile(Source, LibrarySource);
        std::string Command
            = std::string(LIVE_TEST_COMPILER) + " -shared -fPIC -o " + Library + " " + Source;
        ASSERT_EQ(system(Command.c_str()), 0) << Command;
    }

    static void TearDownTestSuite()
    {
        std::string Command = "rm -rf " + Root;
        EXPECT_EQ(system(Command.c_str()), 0);
    }

    // The library with Change made to its bytes, as a new file.
    static std::string Damaged(const char* Name, void (*Change)(std::string&))
    {
        std::string Bytes = ReadFile(Library);
        Change(Bytes);
        std::string Path = Root + "/" + Name;
        WriteFile(Path, Bytes);
        return Path;
    }

    static void ExpectRefused(const std::string& Path, const char* Expected)
    {
        std::vector<LiveVariable> Variables;
        std::string Error;
        EXPECT_FALSE(ReadLiveVariables(Path.c_str(), 0, &Variables, &Error)) << Path;
        EXPECT_EQ(Error, Expected) << Path;
        EXPECT_TRUE(Variables.empty());
    }
};
std::string ReadLiveVariablesTest::Root, ReadLiveVariablesTest::Library;

static const LiveVariable* Find(const std::vector<LiveVariable>& Variables, const std::string& Name)
{
    for (const LiveVariable& V : Variables)
        if (V.Name == Name)
            return &V;
    return nullptr;
}

TEST_F(ReadLiveVariablesTest, FindsTheWritableVariablesWhereTheyAreLoaded)
{
    void* Loaded = dlopen(Library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Loaded, nullptr) << dlerror();
    struct link_map* Map = nullptr;
    ASSERT_EQ(dlinfo(Loaded, RTLD_DI_LINKMAP, &Map), 0);
    std::vector<LiveVariable> Variables;
    std::string Error;
    ASSERT_TRUE(ReadLiveVariables(Library.c_str(), (size_t)Map->l_addr, &Variables, &Error))
        << Error;

    const LiveVariable* Counter = Find(Variables, "Counter");
    ASSERT_NE(Counter, nullptr);
    EXPECT_EQ(Counter->Size, sizeof(int));
    EXPECT_EQ(Counter->Address, dlsym(Loaded, "Counter"));
    EXPECT_EQ(*(int*)Counter->Address, 3);
    const LiveVariable* Table = Find(Variables, "Table");
    ASSERT_NE(Table, nullptr);
    EXPECT_EQ(Table->Size, 5 * sizeof(double));
    EXPECT_EQ(Table->Address, dlsym(Loaded, "Table"));
    // Statics, at file and function level, under their source file's name.
    const LiveVariable* Hidden = Find(Variables, "scene.cpp:_ZL6Hidden");
    ASSERT_NE(Hidden, nullptr);
    EXPECT_EQ(Hidden->Size, sizeof(long));
    EXPECT_EQ(*(long*)Hidden->Address, 7);
    const LiveVariable* Calls = Find(Variables, "scene.cpp:_ZZ8FunctionvE5Calls");
    ASSERT_NE(Calls, nullptr);
    EXPECT_EQ(Calls->Size, sizeof(short));
    int (*Function)() = (int (*)())dlsym(Loaded, "_Z8Functionv");
    ASSERT_NE(Function, nullptr);
    Function();
    EXPECT_EQ(*(short*)Calls->Address, 1);
    // Read-only data is no state.
    for (const LiveVariable& V : Variables)
        EXPECT_EQ(V.Name.find("Constant"), std::string::npos) << V.Name;
    dlclose(Loaded);
}

TEST_F(ReadLiveVariablesTest, RefusesAStrippedLibrary)
{
    std::string Stripped = Root + "/stripped.so";
    std::string Command
        = std::string(LIVE_TEST_STRIP) + " --strip-all -o " + Stripped + " " + Library;
    ASSERT_EQ(system(Command.c_str()), 0) << Command;
    ExpectRefused(Stripped, "no symbol table (was it stripped?)");
}

TEST_F(ReadLiveVariablesTest, RefusesACutOrGarbledFile)
{
    ExpectRefused(Damaged("empty.so", [](std::string& B) { B.clear(); }),
        "not a shared library of this machine");
    ExpectRefused(Damaged("cut-header.so", [](std::string& B) { B.resize(20); }),
        "not a shared library of this machine");
    ExpectRefused(Damaged("half.so", [](std::string& B) { B.resize(B.size() / 2); }),
        "a damaged section table");
    ExpectRefused(Damaged("garbage.so", [](std::string& B) { memset(&B[0], 0xa5, 64); }),
        "not a shared library of this machine");
}

static ElfW(Ehdr) HeaderOf(const std::string& Bytes)
{
    ElfW(Ehdr) Header;
    memcpy(&Header, Bytes.data(), sizeof Header);
    return Header;
}

// Where the field Offset of section Index's header lies in the file.
static size_t SectionField(const std::string& Bytes, size_t Index, size_t Offset)
{
    return HeaderOf(Bytes).e_shoff + Index * sizeof(ElfW(Shdr)) + Offset;
}

static size_t SymbolTableIndex(const std::string& Bytes)
{
    ElfW(Ehdr) Header = HeaderOf(Bytes);
    for (size_t I = 0; I < Header.e_shnum; I++) {
        ElfW(Shdr) Section;
        memcpy(&Section, Bytes.data() + SectionField(Bytes, I, 0), sizeof Section);
        if (Section.sh_type == SHT_SYMTAB)
            return I;
    }
    return 0;
}

// An offset or size near the top of the address space, which wraps around
// in a careless bounds check.
static const uint64_t Wrapping = ~(uint64_t)0 - 0x3f;

static void Put(std::string& Bytes, size_t At, uint64_t Value, size_t Size)
{
    memcpy(&Bytes[At], &Value, Size);
}

// The library with Size bytes at At set to Value, as a new file.
static std::string Changed(
    const std::string& Library, const std::string& Path, size_t At, uint64_t Value, size_t Size)
{
    std::string Bytes = ReadFile(Library);
    Put(Bytes, At, Value, Size);
    WriteFile(Path, Bytes);
    return Path;
}

TEST_F(ReadLiveVariablesTest, RefusesADamagedSectionTable)
{
    std::string Bytes = ReadFile(Library);
    size_t SectionTable = offsetof(ElfW(Ehdr), e_shoff), Symbols = SymbolTableIndex(Bytes);
    ASSERT_NE(Symbols, 0u);
    size_t SymbolsAt = SectionField(Bytes, Symbols, offsetof(ElfW(Shdr), sh_offset));
    size_t SymbolsSize = SectionField(Bytes, Symbols, offsetof(ElfW(Shdr), sh_size));
    size_t SymbolsNames = SectionField(Bytes, Symbols, offsetof(ElfW(Shdr), sh_link));
    std::string Path = Root + "/damaged.so";
    ExpectRefused(Changed(Library, Path, SectionTable, Wrapping, sizeof(ElfW(Off))),
        "a damaged section table");
    ExpectRefused(
        Changed(Library, Path, SectionTable, HeaderOf(Bytes).e_shoff + 1, sizeof(ElfW(Off))),
        "a damaged section table");
    ExpectRefused(
        Changed(Library, Path, SymbolsAt, Wrapping, sizeof(ElfW(Off))), "a damaged symbol table");
    ExpectRefused(Changed(Library, Path, SymbolsSize, Wrapping, sizeof(ElfW(Xword))),
        "a damaged symbol table");
    ExpectRefused(
        Changed(Library, Path, SymbolsNames, 0xffff, sizeof(ElfW(Word))), "a damaged symbol table");

    // Any one field of any section set to such a value: read or refused,
    // never a crash or a read outside the file.
    size_t Fields = HeaderOf(Bytes).e_shnum * sizeof(ElfW(Shdr)) / 8;
    for (size_t Field = 0; Field < Fields; Field++) {
        Changed(Library, Path, HeaderOf(Bytes).e_shoff + Field * 8, Wrapping, 8);
        std::vector<LiveVariable> Variables;
        std::string Error;
        bool Read = ReadLiveVariables(Path.c_str(), 0, &Variables, &Error);
        EXPECT_TRUE(Read || !Error.empty()) << "field " << Field;
    }
}

// ---- The line a failed build shows ----

// Real outputs of "cmake --build" (Makefiles) on a scene library whose
// source misses a semicolon, as the live program collects them.
static const char GccOutput[]
    = R"([ 50%] Building CXX object CMakeFiles/blink-live-scene.dir/scene.cpp.o
/tmp/cap/scene.cpp: In function 'void Update()':
/tmp/cap/scene.cpp:4:13: error: expected ';' before '}' token
    4 |     Frames++
      |             ^
      |             ;
    5 | }
      | ~            
gmake[3]: *** [CMakeFiles/blink-live-scene.dir/build.make:76: CMakeFiles/blink-live-scene.dir/scene.cpp.o] Error 1
gmake[2]: *** [CMakeFiles/Makefile2:83: CMakeFiles/blink-live-scene.dir/all] Error 2
gmake[1]: *** [CMakeFiles/Makefile2:90: CMakeFiles/blink-live-scene.dir/rule] Error 2
gmake: *** [Makefile:124: blink-live-scene] Error 2
)";

static const char ClangOutput[]
    = R"([ 50%] Building CXX object CMakeFiles/blink-live-scene.dir/scene.cpp.o
/tmp/cap/scene.cpp:4:13: error: expected ';' after expression
    Frames++
            ^
            ;
1 error generated.
gmake[3]: *** [CMakeFiles/blink-live-scene.dir/build.make:76: CMakeFiles/blink-live-scene.dir/scene.cpp.o] Error 1
gmake[2]: *** [CMakeFiles/Makefile2:83: CMakeFiles/blink-live-scene.dir/all] Error 2
gmake[1]: *** [CMakeFiles/Makefile2:90: CMakeFiles/blink-live-scene.dir/rule] Error 2
gmake: *** [Makefile:124: blink-live-scene] Error 2
)";

// The same, with a header error_codes.h that draws a -Wall warning first.
static const char GccWarnedOutput[]
    = R"([ 50%] Building CXX object CMakeFiles/blink-live-scene.dir/scene.cpp.o
In file included from /tmp/cap/scene.cpp:1:
/tmp/cap/error_codes.h: In function 'bool Below(int, unsigned int)':
/tmp/cap/error_codes.h:2:59: warning: comparison of integer expressions of different signedness: 'int' and 'unsigned int' [-Wsign-compare]
    2 | inline bool Below(int Code, unsigned Limit) { return Code < Limit; }
      |                                                      ~~~~~^~~~~~~
/tmp/cap/scene.cpp: In function 'void Update()':
/tmp/cap/scene.cpp:5:13: error: expected ';' before '}' token
    5 |     Frames++
      |             ^
      |             ;
    6 | }
      | ~            
gmake[3]: *** [CMakeFiles/blink-live-scene.dir/build.make:76: CMakeFiles/blink-live-scene.dir/scene.cpp.o] Error 1
gmake[2]: *** [CMakeFiles/Makefile2:83: CMakeFiles/blink-live-scene.dir/all] Error 2
gmake[1]: *** [CMakeFiles/Makefile2:90: CMakeFiles/blink-live-scene.dir/rule] Error 2
gmake: *** [Makefile:124: blink-live-scene] Error 2
)";

static const char ClangWarnedOutput[]
    = R"([ 50%] Building CXX object CMakeFiles/blink-live-scene.dir/scene.cpp.o
In file included from /tmp/cap/scene.cpp:1:
/tmp/cap/error_codes.h:2:59: warning: comparison of integers of different signs: 'int' and 'unsigned int' [-Wsign-compare]
inline bool Below(int Code, unsigned Limit) { return Code < Limit; }
                                                     ~~~~ ^ ~~~~~
/tmp/cap/scene.cpp:5:13: error: expected ';' after expression
    Frames++
            ^
            ;
1 warning and 1 error generated.
gmake[3]: *** [CMakeFiles/blink-live-scene.dir/build.make:76: CMakeFiles/blink-live-scene.dir/scene.cpp.o] Error 1
gmake[2]: *** [CMakeFiles/Makefile2:83: CMakeFiles/blink-live-scene.dir/all] Error 2
gmake[1]: *** [CMakeFiles/Makefile2:90: CMakeFiles/blink-live-scene.dir/rule] Error 2
gmake: *** [Makefile:124: blink-live-scene] Error 2
)";

TEST(FirstBuildError, IsTheCompilersErrorLine)
{
    EXPECT_EQ(FirstBuildError(GccOutput),
        "/tmp/cap/scene.cpp:4:13: error: expected ';' before '}' token");
    EXPECT_EQ(FirstBuildError(ClangOutput),
        "/tmp/cap/scene.cpp:4:13: error: expected ';' after expression");
}

TEST(FirstBuildError, PassesOverAWarningInAFileNamedError)
{
    EXPECT_EQ(FirstBuildError(GccWarnedOutput),
        "/tmp/cap/scene.cpp:5:13: error: expected ';' before '}' token");
    EXPECT_EQ(FirstBuildError(ClangWarnedOutput),
        "/tmp/cap/scene.cpp:5:13: error: expected ';' after expression");
}

TEST(FirstBuildError, FallsBackToAMentionOfAnError)
{
    // A build that fails before any compiler runs, as CMake reports it.
    EXPECT_EQ(FirstBuildError("CMake Error at CMakeLists.txt:4 (pellacorn_add_scene):\n"
                              "  Cannot find source file:\n\n    scene.cpp\n"
                              "gmake: *** [Makefile:181: cmake_check_build_system] Error 1\n"),
        "CMake Error at CMakeLists.txt:4 (pellacorn_add_scene):");
    EXPECT_EQ(FirstBuildError("Terminated\n"), "the build failed without saying why");
}

// ---- The watch on the sources' folders ----

static bool SavedWithin(double Seconds)
{
    auto Deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
    do {
        if (LiveSourcesSaved())
            return true;
        usleep(1000);
    } while (std::chrono::steady_clock::now() < Deadline);
    return false;
}

class WatchTest : public testing::Test
{
protected:
    std::string Root;

    void SetUp() override
    {
        char Pattern[] = "/tmp/pellacorn-live-watch-XXXXXX";
        ASSERT_NE(mkdtemp(Pattern), nullptr);
        Root = Pattern;
    }

    void TearDown() override
    {
        StopWatchingLiveSources();
        std::string Command = "rm -rf " + Root;
        EXPECT_EQ(system(Command.c_str()), 0);
    }

    void Watch(std::vector<std::string> Files)
    {
        std::vector<const char*> List;
        for (const std::string& F : Files)
            List.push_back(F.c_str());
        List.push_back(nullptr);
        std::string Error;
        ASSERT_TRUE(WatchLiveSources(List.data(), &Error)) << Error;
        ASSERT_FALSE(LiveSourcesSaved());
    }
};

TEST_F(WatchTest, AHeaderSavedInPlaceOrByRenameStartsABuild)
{
    WriteFile(Root + "/scene.cpp", "int Frames;\n");
    WriteFile(Root + "/scene.h", "extern int Frames;\n");
    Watch({Root + "/scene.cpp"});
    WriteFile(Root + "/scene.h", "extern int Frames; // saved\n");
    EXPECT_TRUE(SavedWithin(5));
    EXPECT_FALSE(LiveSourcesSaved()) << "one save is one build";

    // An editor's new file is no save until it is renamed into place.
    WriteFile(Root + "/scene.h.new", "extern int Frames; // renamed\n");
    EXPECT_FALSE(LiveSourcesSaved());
    ASSERT_EQ(rename((Root + "/scene.h.new").c_str(), (Root + "/scene.h").c_str()), 0);
    EXPECT_TRUE(SavedWithin(5));
}

TEST_F(WatchTest, AnUnrelatedFileStartsNoBuild)
{
    WriteFile(Root + "/scene.cpp", "int Frames;\n");
    Watch({Root + "/scene.cpp"});
    // The event of a close is queued before close returns, so a look right
    // after it sees it.
    WriteFile(Root + "/notes.txt", "to do\n");
    EXPECT_FALSE(LiveSourcesSaved());
    WriteFile(Root + "/scene.cpp", "int Frames = 1;\n");
    EXPECT_TRUE(SavedWithin(5)) << "the watch still runs";
}

// The demo's live scene lists headers of other folders (src/shell/,
// include/pellacorn/); a copy of its tree stands in for the real one.
TEST_F(WatchTest, TheDemosHeaderInAnotherFolderStartsABuild)
{
    // The generated list: LiveSources[] = {"/path", "/path", 0};
    std::string Config = ReadFile(LIVE_TEST_DEMO_CONFIG);
    size_t At = Config.find("LiveSources[] = {");
    ASSERT_NE(At, std::string::npos) << Config;
    std::string Listed = Config.substr(At, Config.find('}', At) - At);
    std::string Source = LIVE_TEST_SOURCE_DIR;
    std::vector<std::string> Files;
    for (size_t Open = Listed.find('"'); Open != std::string::npos;) {
        size_t Close = Listed.find('"', Open + 1);
        ASSERT_NE(Close, std::string::npos) << Listed;
        std::string Path = Listed.substr(Open + 1, Close - Open - 1);
        Open = Listed.find('"', Close + 1);
        ASSERT_EQ(Path.compare(0, Source.size(), Source), 0) << Path;
        std::string Copy = Root + Path.substr(Source.size());
        std::string Command = "mkdir -p " + Copy.substr(0, Copy.rfind('/'));
        ASSERT_EQ(system(Command.c_str()), 0);
        WriteFile(Copy, "// a copy\n");
        Files.push_back(Copy);
    }
    ASSERT_GT(Files.size(), 1u) << Listed;
    Watch(Files);
    WriteFile(Root + "/src/shell/notes.txt", "to do\n");
    EXPECT_FALSE(LiveSourcesSaved());
    WriteFile(Root + "/src/shell/layer.h", "// saved\n");
    EXPECT_TRUE(SavedWithin(5));
}

// ---- The fingerprint of a function's code ----

// A scene whose InitGL calls a static helper the compiler may inline, one
// it must not and a function of a second file; Update is the function
// edited around it.
static const char FingerprintScene[] = R"(extern "C" void glClearColor(float, float, float, float);
extern "C" void glEnable(unsigned);
extern "C" int puts(const char*);
void Outside(int);
static int Frames;
float Speed = 1.5f;
// before InitGL
static void Helper(int X) { glEnable(X + 7); puts("helper"); }
__attribute__((noinline)) static void Paint(float Red) { glClearColor(Red, 0.25f, 0.5f, 1); }
bool InitGL()
{
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    Helper(3);
    Paint(0.75f);
    Outside(Frames);
    if (Frames > 100)
        Frames = 0;
    puts("ready");
    return true;
}
void Update()
{
    Frames++;
    Speed *= 1.25f;
    glClearColor(0.9f, 0.8f, 0.7f, 1.0f);
    if (Frames == 3)
        puts("three");
}
)";

static const char FingerprintOther[] = R"(extern "C" void glClearColor(float, float, float, float);
void Outside(int N) { glClearColor(N * 0.5f, 0, 0, 1); }
void Unused() { glClearColor(0.125f, 0, 0, 1); }
)";

// Each test at -O0 and at -O2 with debugging information, as scenes are
// built for the live program.
class FingerprintTest : public testing::TestWithParam<const char*>
{
protected:
    static std::string Root;

    static void SetUpTestSuite()
    {
        char Pattern[] = "/tmp/pellacorn-live-code-XXXXXX";
        ASSERT_NE(mkdtemp(Pattern), nullptr);
        Root = Pattern;
    }

    static void TearDownTestSuite()
    {
        std::string Command = "rm -rf " + Root;
        EXPECT_EQ(system(Command.c_str()), 0);
    }

    // Source with its first From made To, compiled as the object Name.o.
    static std::string Compile(
        const char* Name, std::string Source, const char* From = "", const char* To = "")
    {
        size_t At = Source.find(From);
        EXPECT_NE(At, std::string::npos) << From;
        if (At != std::string::npos)
            Source.replace(At, strlen(From), To);
        std::string Path = Root + "/" + Name;
        WriteFile(Path + ".cpp", Source);
        std::string Command = std::string(LIVE_TEST_COMPILER) + " -c -fPIC -ffunction-sections "
            + GetParam() + " -o " + Path + ".o " + Path + ".cpp";
        EXPECT_EQ(system(Command.c_str()), 0) << Command;
        return Path + ".o";
    }

    // The null-terminated list of paths the fingerprint reads.
    static std::vector<const char*> ListOf(const std::vector<std::string>& Objects)
    {
        std::vector<const char*> List;
        for (const std::string& O : Objects)
            List.push_back(O.c_str());
        List.push_back(nullptr);
        return List;
    }

    static std::string PrintOf(
        const std::vector<std::string>& Objects, const char* Symbol = "_Z6InitGLv")
    {
        std::vector<const char*> List = ListOf(Objects);
        std::string Print, Error;
        EXPECT_TRUE(FingerprintFunction(List.data(), Symbol, &Print, &Error)) << Error;
        EXPECT_FALSE(Print.empty());
        return Print;
    }

    static void ExpectRefused(
        const std::vector<std::string>& Objects, const char* Symbol, const std::string& Expected)
    {
        std::vector<const char*> List = ListOf(Objects);
        std::string Print, Error;
        EXPECT_FALSE(FingerprintFunction(List.data(), Symbol, &Print, &Error)) << Objects[0];
        EXPECT_EQ(Error, Expected) << Objects[0];
    }
};
std::string FingerprintTest::Root;

INSTANTIATE_TEST_SUITE_P(Levels, FingerprintTest, testing::Values("-O0", "-O2 -g"));

TEST_P(FingerprintTest, ChangesWithInitGLOrWhatItCalls)
{
    std::string Other = Compile("other", FingerprintOther);
    std::string Print = PrintOf({Compile("scene", FingerprintScene), Other});
    EXPECT_EQ(PrintOf({Compile("scene", FingerprintScene), Other}), Print) << "built again";
    EXPECT_NE(
        PrintOf({Compile("color", FingerprintScene, "0.1f, 0.2f", "0.15f, 0.2f"), Other}), Print);
    EXPECT_NE(PrintOf({Compile("helper", FingerprintScene, "X + 7", "X + 8"), Other}), Print);
    EXPECT_NE(PrintOf({Compile("paint", FingerprintScene, "0.5f, 1", "0.625f, 1"), Other}), Print);
    EXPECT_NE(PrintOf({Compile("ready", FingerprintScene, "\"ready\"", "\"set\""), Other}), Print);
    std::string Scene = Compile("scene", FingerprintScene);
    EXPECT_NE(PrintOf({Scene, Compile("outside", FingerprintOther, "0.5f", "0.375f")}), Print);
}

TEST_P(FingerprintTest, StaysWithAnEditElsewhere)
{
    std::string Other = Compile("other", FingerprintOther);
    std::string Print = PrintOf({Compile("scene", FingerprintScene), Other});
    auto Edited = [&](const char* Name, const char* From, const char* To) {
        return PrintOf({Compile(Name, FingerprintScene, From, To), Other});
    };
    EXPECT_EQ(Edited("update", "0.9f, 0.8f", "0.9f, 0.85f"), Print);
    EXPECT_EQ(Edited("speed", "1.25f", "1.5f"), Print);
    EXPECT_EQ(Edited("three", "\"three\"", "\"four!\""), Print);
    // The padding after InitGL's string that Update's string took.
    EXPECT_EQ(Edited("no-string", "puts(\"three\")", "glEnable(3)"), Print);
    EXPECT_EQ(Edited("constants", "    if (Frames == 3)",
                  "    if (Frames == 4)\n        glClearColor(0.33f, 0.44f, 0, 1);\n"
                  "    if (Frames == 5)\n        puts(\"more and more\");\n    if (Frames == 3)"),
        Print);
    // Variables and a function before InitGL move its constants and the
    // variables it reads in the object (one compiler lays variables out in
    // the order written, another in the reverse).
    EXPECT_EQ(Edited("around", "static int Frames;",
                  "static int Before;\nstatic int Frames;\nstatic int After;\n"
                  "void Count() { Before++; After += 2; }"),
        Print);
    EXPECT_EQ(Edited("variables", "// before InitGL",
                  "static int Counter;\nstatic float Extra[3] = {1, 2, 3};\nint Visible = 4;\n"
                  "static const double Slope[2] = {0.5, 0.25};\n"
                  "double Use() { return Counter + Extra[Visible] + Slope[Counter]; }"),
        Print);
    EXPECT_EQ(
        Edited("function", "// before InitGL",
            "void Reset() { glClearColor(0.4f, 0.4f, 0.4f, 1); puts(\"reset\"); Frames = 0; }"),
        Print);
    std::string Scene = Compile("scene", FingerprintScene);
    EXPECT_EQ(PrintOf({Scene, Compile("unused", FingerprintOther, "0.125f", "0.0625f")}), Print);
    // Update's own print does change.
    EXPECT_NE(PrintOf({Compile("update", FingerprintScene, "0.9f, 0.8f", "0.9f, 0.85f"), Other},
                  "_Z6Updatev"),
        PrintOf({Scene, Other}, "_Z6Updatev"));
}

TEST_P(FingerprintTest, RefusesAFunctionNoObjectDefines)
{
    std::string Other = Compile("other", FingerprintOther);
    ExpectRefused({Other}, "_Z6InitGLv", "no object defines _Z6InitGLv");
    // A variable is no function, and a call is no definition.
    std::string Scene = Compile("scene", FingerprintScene);
    ExpectRefused({Scene}, "Speed", "no object defines Speed");
    ExpectRefused({Scene}, "_Z7Outsidei", "no object defines _Z7Outsidei");
    const char* None[] = {nullptr};
    std::string Print, Error;
    EXPECT_FALSE(FingerprintFunction(None, "_Z6InitGLv", &Print, &Error));
    EXPECT_EQ(Error, "no object defines _Z6InitGLv");
}

TEST_P(FingerprintTest, RefusesACutOrGarbledObject)
{
    std::string Other = Compile("other", FingerprintOther);
    std::string Scene = Compile("scene", FingerprintScene);
    std::string Bytes = ReadFile(Scene);
    auto Damaged = [&](void (*Change)(std::string&)) {
        std::string Copy = Bytes;
        Change(Copy);
        WriteFile(Root + "/damaged.o", Copy);
        return std::vector<std::string> {Root + "/damaged.o", Other};
    };
    const char* Foreign = "damaged.o: not a relocatable object of this machine";
    ExpectRefused(Damaged([](std::string& B) { B.clear(); }), "_Z6InitGLv", Foreign);
    ExpectRefused(Damaged([](std::string& B) { B.resize(20); }), "_Z6InitGLv", Foreign);
    ExpectRefused(Damaged([](std::string& B) { memset(&B[0], 0xa5, 64); }), "_Z6InitGLv", Foreign);
    ExpectRefused(Damaged([](std::string& B) { B.resize(B.size() / 2); }), "_Z6InitGLv",
        "damaged.o: a damaged section table");
    ExpectRefused({Root + "/missing.o"}, "_Z6InitGLv", "missing.o: No such file or directory");

    // Any 8 bytes of the file set to a value that wraps around in a
    // careless bounds check, or cut short anywhere: read or refused, never
    // a crash or a read outside the file.
    std::string Path = Root + "/damaged.o";
    const char* List[] = {Path.c_str(), Other.c_str(), nullptr};
    int Refused = 0;
    for (size_t At = 0; At + 8 <= Bytes.size(); At += 8) {
        std::string Copy = Bytes;
        Put(Copy, At, Wrapping, 8);
        WriteFile(Path, Copy);
        std::string Print, Error;
        if (!FingerprintFunction(List, "_Z6InitGLv", &Print, &Error)) {
            EXPECT_FALSE(Error.empty()) << "at " << At;
            Refused++;
        }
    }
    EXPECT_GT(Refused, 0);
    for (size_t Length = 0; Length < Bytes.size(); Length += 61) {
        WriteFile(Path, Bytes.substr(0, Length));
        std::string Print, Error;
        EXPECT_FALSE(FingerprintFunction(List, "_Z6InitGLv", &Print, &Error)) << Length;
        EXPECT_FALSE(Error.empty()) << Length;
    }
}
