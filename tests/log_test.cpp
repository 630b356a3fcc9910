// The log module: its exact file, truncation, flushing, and what happens
// before it is opened, after it is closed and when it cannot be created.
// Each test runs in a fresh temporary directory.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "error.h"

namespace
{

const std::string Header = "Zarn OpenGL Basecode - SDL port by Quarnel V0.2 -- Log Init...\n\n";

std::string ReadLog()
{
    std::ifstream In("log.txt");
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

bool LogExists()
{
    struct stat St;
    return stat("log.txt", &St) == 0;
}

class ErrorLog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char Template[] = "/tmp/pellacorn-log-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Dir = Template;
        ASSERT_EQ(chdir(Dir.c_str()), 0);
    }
    void TearDown() override
    {
        CloseErrorLog();
        ASSERT_EQ(chdir("/"), 0);
        ASSERT_EQ(system(("rm -rf " + Dir).c_str()), 0);
    }
    std::string Dir;
};

TEST_F(ErrorLog, ANormalRunGivesExactlyFourLines)
{
    testing::internal::CaptureStderr();
    ASSERT_TRUE(InitErrorLog());
    std::string Err = testing::internal::GetCapturedStderr();
    CloseErrorLog();
    EXPECT_EQ(ReadLog(), Header + "\n-- Closing Log...\n");
    // perror's own form: the text, ": ", the errno message, a newline.
    EXPECT_EQ(Err.rfind("Trying to init Logfile!\n: ", 0), 0u) << Err;
    EXPECT_EQ(Err.back(), '\n');
}

TEST_F(ErrorLog, MessagesStandBetweenHeaderAndClosingLineAndReachTheFileAtOnce)
{
    testing::internal::CaptureStderr();
    InitErrorLog();
    testing::internal::GetCapturedStderr();
    Log("Unable to toggle fullscreen: %s\n", "no reason");
    EXPECT_EQ(ReadLog(), Header + "Unable to toggle fullscreen: no reason\n") << "flushed";
    Log("run on ");
    Log("into the next %d\n", 2);
    CloseErrorLog();
    EXPECT_EQ(ReadLog(),
        Header
            + "Unable to toggle fullscreen: no reason\n"
              "run on into the next 2\n"
              "\n-- Closing Log...\n");
}

TEST_F(ErrorLog, ASecondRunOverwritesTheFirst)
{
    std::ofstream("log.txt") << "an old run's log, much longer than the new one\n"
                             << std::string(500, 'x');
    testing::internal::CaptureStderr();
    InitErrorLog();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadLog(), Header);
}

TEST_F(ErrorLog, NothingIsWrittenBeforeTheLogOpensOrAfterItCloses)
{
    EXPECT_EQ(Log("too early\n"), 0);
    EXPECT_FALSE(LogExists());

    testing::internal::CaptureStderr();
    InitErrorLog();
    testing::internal::GetCapturedStderr();
    CloseErrorLog();
    std::string Closed = ReadLog();
    EXPECT_EQ(Log("too late\n"), 0);
    EXPECT_EQ(ReadLog(), Closed);
}

TEST_F(ErrorLog, ALogThatCannotBeCreatedEndsTheProcessWithBothMessages)
{
    ASSERT_EQ(mkdir("log.txt", 0755), 0);
    EXPECT_EXIT(InitErrorLog(), testing::ExitedWithCode(1),
        "^Trying to init Logfile!\n: [^\n]*\nCan't init Logfile!\n: Is a directory\n$");
}

} // namespace
