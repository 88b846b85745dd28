// The emulator on a real pseudo-terminal, talked to with plain POSIX calls as
// a serial port would be, and the zeltra-emulator program.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "PtyServer.h"

namespace {

using namespace std::string_literals;

const std::string kIdentify = "\x1bP0^91\x1b\\"s;
const std::string kMirra = "\x1bP1#ZELTRA ARK MIRRA/V1.07/563412AD\x1b\\"s;
const std::string kStatus0 = "\x1bP2#0#FD\x1b\\"s;

// Reads until `frames` replies have ended (ESC backslash) or a guard of a
// few seconds runs out, so a silent emulator fails the test instead of
// hanging it.
std::string ReadFrames(int fd, int frames, int guardMs = 5000) {
    std::string got;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(guardMs);
    int ended = 0;
    while (ended < frames && std::chrono::steady_clock::now() < until) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 50) <= 0) continue;
        char buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i) {
            got += buf[i];
            if (got.size() >= 2 && got[got.size() - 2] == '\x1b' && got.back() == '\\') ++ended;
        }
    }
    return got;
}

void WriteAll(int fd, const std::string& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

TEST(PtyServer, AnswersThroughThePortAndAfterReopening) {
    PtyServer server;
    ASSERT_TRUE(server.Start());
    ASSERT_FALSE(server.SlavePath().empty());

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        int fd = open(server.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        WriteAll(fd, kIdentify + std::string(4, '\0'));
        EXPECT_EQ(ReadFrames(fd, 1), kMirra);
        close(fd);
    }
    server.WithEmulator([](Emulator& emu) {
        EXPECT_EQ(emu.requests.size(), 2u);
        emu.state.errorMode = 2;
        emu.switches.split = true;
    });
    int fd = open(server.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    WriteAll(fd, kIdentify);
    EXPECT_EQ(ReadFrames(fd, 2), kMirra + kStatus0);
    close(fd);
    server.Stop();
    EXPECT_FALSE(server.Running());
    server.Stop();
}

TEST(PtyServer, StopsDuringASlowReply) {
    Emulator emu;
    emu.switches.baud = 50;  // five bytes a second: the reply takes seconds
    PtyServer server(emu);
    ASSERT_TRUE(server.Start());
    int fd = open(server.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    WriteAll(fd, kIdentify);
    std::string first = ReadFrames(fd, 1, 300);
    EXPECT_LT(first.size(), kMirra.size());
    EXPECT_EQ(kMirra.compare(0, first.size(), first), 0);
    server.Stop();  // must return, not finish the reply
    close(fd);
}

// Runs the program with the arguments; its stdout comes back through a pipe.
struct Program {
    pid_t pid = -1;
    FILE* out = nullptr;
};
Program Launch(const std::vector<std::string>& args) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(ZEMU_PROGRAM));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ZEMU_PROGRAM, argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    return {pid, fdopen(pipeFds[0], "r")};
}

int Finish(Program& p) {
    int status = 0;
    waitpid(p.pid, &status, 0);
    if (p.out) fclose(p.out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(EmulatorProgram, ServesUntilTerminated) {
    Program p = Launch({"--model", "3", "--serial=654321", "--error-mode", "2"});
    ASSERT_GT(p.pid, 0);
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, p.out), nullptr);
    std::string path(line);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), '\n');
    path.pop_back();
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    WriteAll(fd, kIdentify + '\0');
    EXPECT_EQ(ReadFrames(fd, 2), "\x1bP1#ZELTRA ARK MAXI/V1.07/214365/r59D\x1b\\"s + kStatus0);
    close(fd);
    kill(p.pid, SIGTERM);
    EXPECT_EQ(Finish(p), 0);
}

TEST(EmulatorProgram, HelpAndBadOptions) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        bool usageOnStdout;
    } cases[] = {
        {{"--help"}, 0, true},
        {{"--model", "4"}, 2, false},
        {{"--error-mode"}, 2, false},
        {{"--frobnicate"}, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        Program p = Launch(c.args);
        ASSERT_GT(p.pid, 0);
        char line[256] = {};
        bool gotLine = fgets(line, sizeof line, p.out) != nullptr;
        EXPECT_EQ(gotLine && std::string(line).rfind("Usage:", 0) == 0, c.usageOnStdout);
        EXPECT_EQ(Finish(p), c.exitCode);
    }
}

}  // namespace
