// The emulator's answers, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "Emulator.h"

namespace {

using namespace std::string_literals;

const std::string kIdentify = "\x1bP0^91\x1b\\"s;  // 1B 50 30 5E 39 31 1B 5C
const std::string kStatus0 = "\x1bP2#0#FD\x1b\\"s;
const std::string kStatus21 = "\x1bP2#21#CE\x1b\\"s;
const std::string kStatus22 = "\x1bP2#22#CD\x1b\\"s;
const std::string kStatus24 = "\x1bP2#24#CB\x1b\\"s;
const std::string kMirra = "\x1bP1#ZELTRA ARK MIRRA/V1.07/563412AD\x1b\\"s;

// The program's reading of an identification reply: model text, version,
// serial number with its pairs reversed, and the capacity when a "/" follows.
struct Identity {
    std::string model, version, serial, capacity;
};
Identity ReadIdentity(const std::string& reply) {
    Identity id;
    std::string rest = reply.substr(4);
    auto slash = rest.find('/');
    id.model = rest.substr(0, slash);
    rest = rest.substr(slash + 1);
    slash = rest.find('/');
    id.version = rest.substr(0, slash);
    rest = rest.substr(slash + 1);
    std::string wire = rest.substr(0, 6);
    id.serial = wire.substr(4, 2) + wire.substr(2, 2) + wire.substr(0, 2);
    rest = rest.substr(6);
    if (rest.find('/') != std::string::npos) id.capacity = rest.substr(1, 2) == "r5" ? "20k" : "10k";
    return id;
}

TEST(EmulatorIdentify, AnswersEachModelExactly) {
    struct Case {
        int model;  // -1: the texts below
        std::string text, version, serial;
        std::string reply;
        Identity read;  // what the program makes of it
    } cases[] = {
        {0, "", "V1.07", "123456", "\x1bP1#ZELTRA ARK/V1.07/563412C8\x1b\\"s,
         {"ZELTRA ARK", "V1.07", "123456", ""}},
        {1, "", "V1.07", "123456", kMirra, {"ZELTRA ARK MIRRA", "V1.07", "123456", ""}},
        {2, "", "V1.07", "123456", "\x1bP1#ZELTRA ARK MAXI/V1.07/563412/r49C\x1b\\"s,
         {"ZELTRA ARK MAXI", "V1.07", "123456", "10k"}},
        {3, "", "V1.07", "123456", "\x1bP1#ZELTRA ARK MAXI/V1.07/563412/r59D\x1b\\"s,
         {"ZELTRA ARK MAXI", "V1.07", "123456", "20k"}},
        {-1, "KASA TESTOWA", "V2.00", "ABCDEF", "\x1bP1#KASA TESTOWA/V2.00/EFCDABD7\x1b\\"s,
         {"KASA TESTOWA", "V2.00", "ABCDEF", ""}},
        // A short serial number is padded to six characters; slashes and
        // backslashes would break the reply and are left out.
        {-1, "ZELTRA/ARK", "V1.0\\", "12", "\x1bP1#ZELTRAARK/V1.0/120000DB\x1b\\"s,
         {"ZELTRAARK", "V1.0", "000012", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        Emulator emu;
        if (c.model >= 0) {
            ASSERT_TRUE(emu.SetModel(c.model));
        } else {
            emu.state.modelText = c.text;
        }
        emu.state.version = c.version;
        emu.state.serial = c.serial;
        std::string out = emu.Feed(kIdentify);
        EXPECT_EQ(out, c.reply);
        Identity id = ReadIdentity(out);
        EXPECT_EQ(id.model, c.read.model);
        EXPECT_EQ(id.version, c.read.version);
        EXPECT_EQ(id.serial, c.read.serial);
        EXPECT_EQ(id.capacity, c.read.capacity);
    }
    Emulator emu;
    EXPECT_FALSE(emu.SetModel(4));
    EXPECT_EQ(emu.state.modelText, "ZELTRA ARK MIRRA");
}

TEST(EmulatorStatus, FollowsEveryCommandInModesTwoAndThree) {
    struct Case {
        int mode;
        std::string request;
        std::string reply;
    } cases[] = {
        {0, kIdentify, kMirra},
        {1, kIdentify, kMirra},
        {2, kIdentify, kMirra + kStatus0},
        {3, kIdentify, kMirra + kStatus0},
        // End of communication has no data reply.
        {1, "\x1bP_A0\x1b\\"s, ""},
        {2, "\x1bP_A0\x1b\\"s, kStatus0},
        // Unknown command.
        {1, "\x1bP0!EE\x1b\\"s, ""},
        {3, "\x1bP0!EE\x1b\\"s, kStatus24},
        // Wrong check: status 21 and no data reply.
        {0, "\x1bP0^90\x1b\\"s, ""},
        {1, "\x1bP0^90\x1b\\"s, ""},
        {2, "\x1bP0^90\x1b\\"s, kStatus21},
        {3, "\x1bP0^9G\x1b\\"s, kStatus21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " " + c.request.substr(2));
        Emulator emu;
        emu.state.errorMode = c.mode;
        EXPECT_EQ(emu.Feed(c.request), c.reply);
    }
    Emulator emu;
    emu.Feed("\x1bP0^90\x1b\\"s);
    EXPECT_EQ(emu.badChecks, 1);
    EXPECT_TRUE(emu.requests.empty());
    emu.Feed("\x1bP_A0\x1b\\"s);
    EXPECT_TRUE(emu.state.communicationEnded);
    emu.Feed(kIdentify);
    EXPECT_FALSE(emu.state.communicationEnded);
}

TEST(EmulatorErrorMode, StatusByNewAndOldMode) {
    struct Case {
        int oldMode;
        std::string payload;
        int newMode;
        std::string reply;
    } cases[] = {
        {0, "0;0P", 0, ""},
        {1, "0;0P", 0, ""},
        {2, "0;0P", 0, ""},           // leaving 2 sends nothing
        {3, "0;0P", 0, kStatus0},     // leaving 3 still answers
        {3, "0;1P", 1, kStatus0},
        {2, "0;1P", 1, ""},
        {1, "0;2P", 2, kStatus0},
        {0, "0;3P", 3, kStatus0},
        {3, "0;3P", 3, kStatus0},
        {2, "0;2P", 2, kStatus0},
        // A mode the register does not have: refused, mode kept.
        {2, "0;7P", 2, kStatus22},
        {1, "0;7P", 1, ""},
        {3, "0;P", 3, kStatus22},
        {2, "0;22P", 2, kStatus22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.oldMode) + " " + c.payload);
        Emulator emu;
        emu.state.errorMode = c.oldMode;
        std::string frame = RequestFrame(c.payload);
        // As the program sends it: 11 bytes, zero padded.
        frame.resize(11, '\0');
        EXPECT_EQ(emu.Feed(frame), c.reply);
        EXPECT_EQ(emu.state.errorMode, c.newMode);
    }
    EXPECT_EQ(RequestFrame("0;1P"), "\x1bP0;1P95\x1b\\"s);
}

TEST(EmulatorFraming, FindsFramesInAnyInput) {
    const std::string unknownBinary = RequestFrame("0!\x1b\\\xff\x00\x1b"s);
    struct Case {
        std::string name;
        std::vector<std::string> writes;
        std::string reply;
        std::size_t pending;
    } cases[] = {
        {"padding zeros after the frame", {kIdentify + std::string(20, '\0')}, kMirra + kStatus0, 0},
        {"two requests in one write", {kIdentify + '\0' + kIdentify}, kMirra + kStatus0 + kMirra + kStatus0, 0},
        {"one byte at a time", {}, kMirra + kStatus0, 0},
        {"noise before the frame", {"\x13\x11zz\x1b\x1b" + kIdentify}, kMirra + kStatus0, 0},
        {"ESC and backslash inside the payload", {unknownBinary}, kStatus24, 0},
        {"bad check then a good frame", {"\x1bP0^00\x1b\\"s + kIdentify}, kStatus21 + kMirra + kStatus0, 0},
        {"frame cut short then a whole one", {"\x1bP0;"s + kIdentify}, kMirra + kStatus0, 0},
        {"end not yet arrived", {"\x1bP0^9"s}, "", 5},
        {"ESC waiting for its P", {"\0\0\x1b"s}, "", 1},
        {"never ending frame is dropped", {"\x1bP"s + std::string(2000, 'A')}, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Emulator emu;
        emu.state.errorMode = 2;
        std::string out;
        if (c.writes.empty()) {
            for (char b : kIdentify + std::string(3, '\0')) out += emu.Feed(std::string(1, b));
        } else {
            for (const std::string& w : c.writes) out += emu.Feed(w);
        }
        EXPECT_EQ(out, c.reply);
        EXPECT_EQ(emu.Pending(), c.pending);
    }
    // The frame's own bytes go to the handler untouched.
    Emulator emu;
    emu.Feed(unknownBinary);
    ASSERT_EQ(emu.requests.size(), 1u);
    EXPECT_EQ(emu.requests[0], "0!\x1b\\\xff\x00\x1b"s);
}

TEST(EmulatorRequest, SplitsParametersLetterAndData) {
    struct Case {
        std::string payload;
        std::vector<std::string> params;
        char letter;
        std::string data;
    } cases[] = {
        {"0^", {"0"}, '^', ""},
        {"_", {}, '_', ""},
        {"0;2P", {"0", "2"}, 'P', ""},
        {"0;12;7H", {"0", "12", "7"}, 'H', ""},
        {"0;3@Woda\xff\xff", {"0", "3"}, '@', "Woda\xff\xff"},
        {"0G\x73\x91"s, {"0"}, 'G', "\x73\x91"},
        {"0;", {"0", ""}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        Request r = ParseRequest(c.payload);
        EXPECT_EQ(r.params, c.params);
        EXPECT_EQ(r.letter, c.letter);
        EXPECT_EQ(r.data, c.data);
    }
}

TEST(EmulatorSwitches, SilenceDropsAndNoise) {
    {
        Emulator emu;
        emu.switches.silent = true;
        EXPECT_EQ(emu.Feed(RequestFrame("0;2P") + kIdentify), "");
        EXPECT_EQ(emu.state.errorMode, 1);  // heard nothing
        emu.switches.silent = false;
        EXPECT_EQ(emu.Feed(kIdentify), kMirra);
    }
    {
        // Every third frame is lost: data, status, [data], status, data, [status].
        Emulator emu;
        emu.state.errorMode = 2;
        emu.switches.dropEvery = 3;
        EXPECT_EQ(emu.Feed(kIdentify), kMirra + kStatus0);
        EXPECT_EQ(emu.Feed(kIdentify), kStatus0);
        EXPECT_EQ(emu.Feed(kIdentify), kMirra);
    }
    {
        Emulator emu;
        emu.state.errorMode = 3;
        emu.switches.garbage = true;
        std::string out = emu.Feed(kIdentify);
        EXPECT_EQ(out.size(), kMirra.size() + kStatus0.size());
        EXPECT_EQ(out.find('\x1b'), std::string::npos);
        EXPECT_EQ(out.find('\\'), std::string::npos);
        EXPECT_NE(out.substr(0, kMirra.size()), kMirra);
    }
}

TEST(EmulatorSwitches, PlansOutput) {
    const std::string reply = kMirra;  // 37 bytes
    struct Case {
        std::string name;
        bool split;
        int baud;
        std::size_t chunks;
        std::size_t firstSize;
        int firstDelayUs;
    } cases[] = {
        {"at once", false, 0, 1, 37, 0},
        {"split", true, 0, 37, 1, 1000},
        {"9600 baud", false, 9600, 37, 1, 1041},
        {"115200 baud", false, 115200, 2, 23, 23 * 86},
        {"split at 1200 baud", true, 1200, 37, 1, 8333},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatorSwitches s;
        s.split = c.split;
        s.baud = c.baud;
        auto plan = PlanOutput(reply, s);
        ASSERT_EQ(plan.size(), c.chunks);
        EXPECT_EQ(plan[0].bytes.size(), c.firstSize);
        EXPECT_EQ(plan[0].delayAfterUs, c.firstDelayUs);
        std::string joined;
        for (const auto& chunk : plan) joined += chunk.bytes;
        EXPECT_EQ(joined, reply);
    }
    EXPECT_TRUE(PlanOutput("", EmulatorSwitches{}).empty());
}

}  // namespace
