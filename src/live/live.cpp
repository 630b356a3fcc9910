// The live program's host: the five hooks that the shell calls, passed on
// to the current version of the scene library. A save rebuilds the library
// in the background and swaps the new version in, with the variables of
// the old one; a version that crashes is taken out again.
#include <GL/gl.h>
#include <cxxabi.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <setjmp.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "build.h"
#include "code.h"
#include "error.h"
#include "main.h"
#include "shell/crash.h"
#include "state.h"

// Written for each scene by pellacorn_add_live_scene: the library as its
// build leaves it, the command that rebuilds it, its sources and the
// objects compiled from them.
extern const char* const LiveLibrary;
extern const char* const LiveBuildCommand[];
extern const char* const LiveSources[];
extern const char* const LiveObjects[];

// The scene library calls the shell's services, and its layer updates go
// through the shell's wraps; nothing in the host calls them itself: keep
// them linked, and so exported.
extern "C" void __wrap_SDL_UpdateRects(SDL_Surface* S, int N, SDL_Rect* R);
extern "C" void __wrap_SDL_UpdateRect(SDL_Surface* S, Sint32 X, Sint32 Y, Uint32 W, Uint32 H);
__attribute__((used)) static void* const ShellForScenes[] = {(void*)__wrap_SDL_UpdateRects,
    (void*)__wrap_SDL_UpdateRect, (void*)TerminateApplication, (void*)ToggleFullscreen};

struct SceneVersion {
    int Number;
    bool (*InitGL)(SDL_Surface*);
    bool (*Initialize)();
    void (*Update)(Uint32, Uint8*);
    void (*Draw)(SDL_Surface*);
    void (*Deinitialize)();
    std::vector<LiveVariable> Variables;
    std::string InitGLCode; // what InitGL's code does, empty if unknown
};

// Every version that loaded stays mapped, so that whatever a scene carried
// over that points into an older version's code or constants stays good.
static std::vector<SceneVersion*> Versions;
static SceneVersion* Current;  // null while no version runs
static SceneVersion* Previous; // where a crash of Current goes back to
static SDL_Surface* LiveScreen;
static bool SavePending, F5WasDown;
// The version whose build is timed on the terminal at its first frame, 0
// for none: a crash may take it out before then.
static int TimedVersion;
static double BuildStarted, BuildEnded;

static double Seconds()
{
    struct timespec Now;
    clock_gettime(CLOCK_MONOTONIC, &Now);
    return (double)Now.tv_sec + (double)Now.tv_nsec / 1e9;
}

// ---- Crashes in the scene's code ----

static struct sigaction ShellActions[FatalSignalCount];
static sigjmp_buf CrashReturn;
static volatile sig_atomic_t InScene;

// Outside the scene's code the shell's report and end stand.
static void CatchSceneCrash(int Signal, siginfo_t* Info, void* Context)
{
    (void)Context;
    if (InScene) {
        InScene = 0;
        siglongjmp(CrashReturn, Signal);
    }
    PassOnFatalSignal(Signal, Info, ShellActions);
}

static void RedoGLSetUp();

static void TakeOut(SceneVersion* Crashed, const char* Hook, int Signal)
{
    std::string Name = std::string("SIG") + sigabbrev_np(Signal);
    SceneVersion* Back = Previous != Crashed ? Previous : NULL;
    if (Back != NULL)
        LogTo(stdout, "Live: version %d crashed in %s (%s), back to version %d\n", Crashed->Number,
            Hook, Name.c_str(), Back->Number);
    else
        LogTo(stdout, "Live: version %d crashed in %s (%s), waiting for the next save\n",
            Crashed->Number, Hook, Name.c_str());
    Current = Back;
    Previous = NULL;
    // The GL set-up of the version that comes back, where the crashed one
    // had set up its own.
    if (Back != NULL && Back->InitGLCode != Crashed->InitGLCode)
        RedoGLSetUp();
}

// Run one hook of the current version, if one runs; a crash in it takes
// that version out.
template <class Call> static void RunInScene(const char* Hook, Call Hooked)
{
    SceneVersion* Running = Current;
    if (Running == NULL)
        return;
    int Signal = sigsetjmp(CrashReturn, 1);
    if (Signal == 0) {
        InScene = 1;
        Hooked(Running);
        InScene = 0;
        return;
    }
    TakeOut(Running, Hook, Signal);
}

// The current version's InitGL again, on the projection and model-view
// matrices the shell set up before the first.
static void RedoGLSetUp()
{
    ReshapeGL(ScreenWidth, ScreenHeight);
    RunInScene("InitGL", [](SceneVersion* V) { V->InitGL(LiveScreen); });
}

// ---- Versions ----

// A variable's name as its source writes it: the file a static is named
// with left out, a function's static shown with its function.
static std::string SourceName(const std::string& Name)
{
    std::string Symbol = Name.substr(Name.rfind(':') + 1);
    int Status = 0;
    char* Plain = abi::__cxa_demangle(Symbol.c_str(), NULL, NULL, &Status);
    if (Plain == NULL)
        return Symbol;
    Symbol = Plain;
    free(Plain);
    return Symbol;
}

// One line for the variables that start again, a few of them by name.
static void SayResized(const std::vector<std::string>& Names)
{
    const size_t Shown = 3;
    std::string List;
    for (size_t I = 0; I < Names.size() && I < Shown; I++)
        List += (I == 0 ? "" : I + 1 == Names.size() ? " and " : ", ") + SourceName(Names[I]);
    if (Names.size() > Shown)
        List += " and " + std::to_string(Names.size() - Shown) + " more";
    if (Names.size() == 1)
        LogTo(stdout, "Live: %s starts again: its size changed\n", List.c_str());
    else if (!Names.empty())
        LogTo(stdout, "Live: %s start again: their sizes changed\n", List.c_str());
}

// The library as built, under a fresh name in its own folder: the loader
// takes a known name for the library it has, and a build may overwrite the
// file later.
static bool CopyLibrary(std::string* Copy, std::string* Error)
{
    std::string Folder = LiveLibrary;
    Folder.erase(Folder.rfind('/') + 1);
    std::vector<char> Name(Folder.begin(), Folder.end());
    const char Pattern[] = ".live-XXXXXX";
    Name.insert(Name.end(), Pattern, Pattern + sizeof Pattern);
    int To = mkstemp(Name.data());
    int From = open(LiveLibrary, O_RDONLY | O_CLOEXEC);
    bool Copied = To >= 0 && From >= 0;
    char Buffer[65536];
    ssize_t Length;
    while (Copied && (Length = read(From, Buffer, sizeof Buffer)) != 0)
        Copied = Length > 0 && write(To, Buffer, (size_t)Length) == Length;
    if (!Copied)
        *Error = std::string(LiveLibrary) + ": " + strerror(errno);
    if (From >= 0)
        close(From);
    if (To >= 0 && close(To) != 0)
        Copied = false;
    *Copy = Name.data();
    if (!Copied && To >= 0)
        unlink(Copy->c_str());
    return Copied;
}

static void* FindHook(void* Library, const char* Symbol, const char* Hook, std::string* Error)
{
    void* Found = dlsym(Library, Symbol);
    if (Found == NULL && Error->empty())
        *Error = std::string("the new version has no ") + Hook;
    return Found;
}

// Load the library as built now, carry the current version's variables into
// it and make it the current version.
static bool LoadVersion(std::string* Error)
{
    std::string Copy;
    if (!CopyLibrary(&Copy, Error))
        return false;
    void* Library = dlopen(Copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    SceneVersion* New = new SceneVersion();
    struct link_map* Map = NULL;
    if (Library == NULL) {
        *Error = dlerror();
    } else {
        New->InitGL
            = (bool (*)(SDL_Surface*))FindHook(Library, "_Z6InitGLP11SDL_Surface", "InitGL", Error);
        New->Initialize = (bool (*)())FindHook(Library, "_Z10Initializev", "Initialize", Error);
        New->Update = (void (*)(Uint32, Uint8*))FindHook(Library, "_Z6UpdatejPh", "Update", Error);
        New->Draw
            = (void (*)(SDL_Surface*))FindHook(Library, "_Z4DrawP11SDL_Surface", "Draw", Error);
        New->Deinitialize
            = (void (*)())FindHook(Library, "_Z12Deinitializev", "Deinitialize", Error);
        if (Error->empty() && dlinfo(Library, RTLD_DI_LINKMAP, &Map) != 0)
            *Error = dlerror();
        if (Error->empty())
            ReadLiveVariables(Copy.c_str(), (size_t)Map->l_addr, &New->Variables, Error);
    }
    std::string Unknown;
    if (Error->empty()
        && !FingerprintFunction(LiveObjects, "_Z6InitGLP11SDL_Surface", &New->InitGLCode, &Unknown))
        LogTo(
            stdout, "Live: cannot tell whether InitGL changed (%s): F5 runs it\n", Unknown.c_str());
    unlink(Copy.c_str());
    if (!Error->empty()) {
        if (Library != NULL)
            dlclose(Library);
        delete New;
        return false;
    }
    std::vector<std::string> Resized;
    if (Current != NULL)
        CarryLiveVariables(Current->Variables, New->Variables, &Resized);
    New->Number = (int)Versions.size() + 1;
    Versions.push_back(New);
    Previous = Current;
    Current = New;
    LogTo(stdout, "Live: version %d\n", New->Number);
    SayResized(Resized);
    return true;
}

// Run the build to its end, for the start: the saves it sees are built next.
static int BuildNow(std::string* Output, std::string* Error)
{
    BuildStarted = Seconds();
    if (!StartLiveBuild(LiveBuildCommand, LiveObjects, Error))
        return -1;
    int Built;
    while ((Built = PollLiveBuild(Output)) == 0) {
        if (LiveSourcesSaved())
            SavePending = true;
        usleep(20000);
    }
    BuildEnded = Seconds();
    fputs(Output->c_str(), stderr);
    *Error = Built < 0 ? FirstBuildError(*Output) : "";
    return Built;
}

// Start a build on a save, and swap in what a finished build made.
static void FollowSaves()
{
    std::string Error, Output;
    if (LiveSourcesSaved())
        SavePending = true;
    if (SavePending && !LiveBuildRunning()) {
        SavePending = false;
        BuildStarted = Seconds();
        if (!StartLiveBuild(LiveBuildCommand, LiveObjects, &Error))
            LogTo(stdout, "Live: build failed: %s\n", Error.c_str());
        return;
    }
    int Built = LiveBuildRunning() ? PollLiveBuild(&Output) : 0;
    if (Built == 0)
        return;
    fputs(Output.c_str(), stderr);
    if (Built < 0) {
        LogTo(stdout, "Live: build failed: %s\n", FirstBuildError(Output).c_str());
        return;
    }
    BuildEnded = Seconds();
    SceneVersion* Old = Current;
    if (!LoadVersion(&Error)) {
        LogTo(stdout, "Live: build failed: %s\n", Error.c_str());
        return;
    }
    TimedVersion = Current->Number;
    // With nothing to carry over, the version starts as in its own program;
    // otherwise only a changed GL set-up runs again.
    if (Old == NULL) {
        RunInScene("InitGL", [](SceneVersion* V) { V->InitGL(LiveScreen); });
        RunInScene("Initialize", [](SceneVersion* V) { V->Initialize(); });
    } else if (Current->InitGLCode != Old->InitGLCode) {
        RedoGLSetUp();
    }
}

// ---- The hooks the shell calls ----

bool InitGL(SDL_Surface* S)
{
    LiveScreen = S;
    CatchFatalSignals(CatchSceneCrash, ShellActions);
    std::string Error, Output;
    if (!WatchLiveSources(LiveSources, &Error)) {
        LogTo(stdout, "Live: cannot watch the sources: %s\n", Error.c_str());
        return false;
    }
    // Sources edited while the program did not run are built first.
    if (LiveLibraryOutdated(LiveLibrary, LiveSources)) {
        LogTo(stdout, "Live: the sources changed since the last build: building\n");
        if (BuildNow(&Output, &Error) < 0)
            LogTo(stdout, "Live: build failed: %s\n", Error.c_str());
        else
            TimedVersion = 1;
        if (LiveLibraryOutdated(LiveLibrary, LiveSources) && access(LiveLibrary, R_OK) == 0)
            LogTo(stdout, "Live: running the last build, older than the sources\n");
    }
    if (!LoadVersion(&Error)) {
        LogTo(stdout, "Live: %s\n", Error.c_str());
        return false;
    }
    bool Ready = false;
    RunInScene("InitGL", [&](SceneVersion* V) { Ready = V->InitGL(S); });
    return Current == NULL || Ready;
}

bool Initialize()
{
    bool Ready = false;
    RunInScene("Initialize", [&](SceneVersion* V) { Ready = V->Initialize(); });
    if (Current != NULL)
        return Ready;
    // No version runs: the window goes on, to take the next save.
    AppStatus.Visible = AppStatus.MouseFocus = AppStatus.KeyboardFocus = true;
    return true;
}

void Update(Uint32 Milliseconds, Uint8* Keys)
{
    FollowSaves();
    bool F5 = Keys != NULL && Keys[SDLK_F5];
    if (F5 && !F5WasDown && Current != NULL) {
        LogTo(stdout, "Live: version %d restarted\n", Current->Number);
        RunInScene("Deinitialize", [](SceneVersion* V) { V->Deinitialize(); });
        RedoGLSetUp();
        RunInScene("Initialize", [](SceneVersion* V) { V->Initialize(); });
    }
    F5WasDown = F5;
    RunInScene("Update", [&](SceneVersion* V) { V->Update(Milliseconds, Keys); });
}

void Draw(SDL_Surface* Screen)
{
    if (Current == NULL)
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    RunInScene("Draw", [&](SceneVersion* V) { V->Draw(Screen); });
    if (TimedVersion == 0)
        return;
    if (Current != NULL && Current->Number == TimedVersion)
        printf("Live: version %d built in %.0f ms, drawn %.1f ms after its build\n", TimedVersion,
            (BuildEnded - BuildStarted) * 1000.0, (Seconds() - BuildEnded) * 1000.0);
    else
        printf("Live: version %d built in %.0f ms, taken out before its first frame\n",
            TimedVersion, (BuildEnded - BuildStarted) * 1000.0);
    TimedVersion = 0;
    fflush(stdout);
}

void Deinitialize()
{
    StopLiveBuild();
    StopWatchingLiveSources();
    RunInScene("Deinitialize", [](SceneVersion* V) { V->Deinitialize(); });
}
