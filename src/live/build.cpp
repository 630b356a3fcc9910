// The folder watch (inotify) and the background build (a child process in a
// group of its own, its output read through a pipe) of the live program.
#include "build.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <set>

extern char** environ;

static int Watch = -1;
static std::set<std::string> Watched; // the files' own names
static pid_t Builder = -1;
static int BuildOutput = -1;
static std::string Collected;
// When the running (or last) build started, by the clock files are stamped
// with, and whether a save came while it ran.
static struct timespec BuildStart;
static bool SavedWhileBuilding;

static bool IsHeader(const std::string& Name)
{
    static const char* const Endings[] = {".h", ".hh", ".hpp", ".hxx", ".inl"};
    for (const char* Ending : Endings) {
        size_t N = strlen(Ending);
        if (Name.size() > N && Name.compare(Name.size() - N, N, Ending) == 0)
            return true;
    }
    return false;
}

// Path's folder, with its slash, and the file's own name in it.
static std::string FolderOf(const std::string& Path)
{
    size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? "./" : Path.substr(0, Slash + 1);
}

static std::string NameOf(const std::string& Path)
{
    size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

bool WatchLiveSources(const char* const* Files, std::string* Error)
{
    Watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (Watch < 0) {
        *Error = strerror(errno);
        return false;
    }
    for (; *Files != NULL; Files++) {
        std::string Path = *Files;
        std::string Folder = FolderOf(Path);
        Watched.insert(NameOf(Path));
        // Editors that save by renaming a new file over the old one show as
        // a move into the folder, the others as a write that closes.
        if (inotify_add_watch(Watch, Folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
            *Error = Folder + ": " + strerror(errno);
            return false;
        }
    }
    return true;
}

bool LiveSourcesSaved()
{
    alignas(struct inotify_event) char Buffer[4096];
    bool Saved = false;
    ssize_t Length;
    while (Watch >= 0 && (Length = read(Watch, Buffer, sizeof Buffer)) > 0) {
        for (char* P = Buffer; P < Buffer + Length;) {
            struct inotify_event* Event = (struct inotify_event*)P;
            std::string Name = Event->len > 0 ? Event->name : "";
            if (Watched.count(Name) || IsHeader(Name))
                Saved = true;
            P += sizeof *Event + Event->len;
        }
    }
    // Until the build is reaped, its objects may have been written after
    // the save, from what was there before.
    if (Saved && Builder > 0)
        SavedWhileBuilding = true;
    return Saved;
}

static bool Before(const struct timespec& A, const struct timespec& B)
{
    return A.tv_sec < B.tv_sec || (A.tv_sec == B.tv_sec && A.tv_nsec < B.tv_nsec);
}


bool LiveLibraryOutdated(const char* Library, const char* const* Files)
{
    struct stat Built, Source;
    if (stat(Library, &Built) != 0)
        return true;
    for (; *Files != NULL; Files++)
        if (stat(*Files, &Source) == 0 && Before(Built.st_mtim, Source.st_mtim))
            return true;
    return false;
}

// Remove the objects the last build wrote: a save that came while it ran
// may be missing from them, yet they are newer than it, so that the build
// tool would take them as they are.
static void ForgetObjectsOfLastBuild(const char* const* Objects)
{
    // File stamps come from a coarser clock than clock_gettime's.
    struct timespec Since = BuildStart;
    Since.tv_sec -= 1;
    struct stat Object;
    for (; Objects != NULL && *Objects != NULL; Objects++)
        if (stat(*Objects, &Object) == 0 && !Before(Object.st_mtim, Since))
            unlink(*Objects);
}

void StopWatchingLiveSources()
{
    if (Watch >= 0)
        close(Watch);
    Watch = -1;
    Watched.clear();
}

bool StartLiveBuild(const char* const* Command, const char* const* Objects, std::string* Error)
{
    if (SavedWhileBuilding)
        ForgetObjectsOfLastBuild(Objects);
    SavedWhileBuilding = false;
    clock_gettime(CLOCK_REALTIME, &BuildStart);
    int Pipe[2];
    if (pipe2(Pipe, O_CLOEXEC) != 0) {
        *Error = strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t Actions;
    posix_spawnattr_t Attributes;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 2);
    posix_spawnattr_init(&Attributes);
    // A group of its own, so that stopping it stops the compilers too.
    posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&Attributes, 0);
    int Failed
        = posix_spawnp(&Builder, Command[0], &Actions, &Attributes, (char* const*)Command, environ);
    posix_spawn_file_actions_destroy(&Actions);
    posix_spawnattr_destroy(&Attributes);
    close(Pipe[1]);
    if (Failed != 0) {
        close(Pipe[0]);
        Builder = -1;
        *Error = std::string(Command[0]) + ": " + strerror(Failed);
        return false;
    }
    fcntl(Pipe[0], F_SETFL, O_NONBLOCK);
    BuildOutput = Pipe[0];
    Collected.clear();
    return true;
}

bool LiveBuildRunning()
{
    return Builder > 0;
}

int PollLiveBuild(std::string* Output)
{
    if (Builder <= 0)
        return -1;
    char Buffer[4096];
    ssize_t Length;
    while ((Length = read(BuildOutput, Buffer, sizeof Buffer)) > 0)
        Collected.append(Buffer, (size_t)Length);
    // The output ends when every process of the build has closed the pipe;
    // only then is the build over, and its status read.
    if (Length < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    int Status = 0;
    if (waitpid(Builder, &Status, 0) != Builder)
        Status = -1;
    close(BuildOutput);
    Builder = -1;
    BuildOutput = -1;
    *Output = Collected;
    return WIFEXITED(Status) && WEXITSTATUS(Status) == 0 ? 1 : -1;
}

void StopLiveBuild()
{
    if (Builder <= 0)
        return;
    kill(-Builder, SIGTERM);
    waitpid(Builder, NULL, 0);
    close(BuildOutput);
    Builder = -1;
    BuildOutput = -1;
}

// Whether Line is a compiler's or linker's error diagnostic ("FILE:L:C:
// error:", "fatal error:", "collect2: error:"), which a mere mention of
// "error", as in a file name or a summary, is not.
static bool IsErrorDiagnostic(const std::string& Line)
{
    for (size_t At = Line.find("error:"); At != std::string::npos; At = Line.find("error:", At + 1))
        if (At == 0 || Line[At - 1] == ' ')
            return true;
    return false;
}

std::string FirstBuildError(const std::string& Output)
{
    std::string Mention, Fallback;
    for (size_t Start = 0; Start < Output.size();) {
        size_t End = Output.find('\n', Start);
        if (End == std::string::npos)
            End = Output.size();
        std::string Line = Output.substr(Start, End - Start);
        if (IsErrorDiagnostic(Line))
            return Line;
        if (Mention.empty() && Line.find("error") != std::string::npos)
            Mention = Line;
        if (Fallback.empty() && Line.find("Error") != std::string::npos)
            Fallback = Line;
        Start = End + 1;
    }
    if (!Mention.empty())
        return Mention;
    return Fallback.empty() ? "the build failed without saying why" : Fallback;
}
