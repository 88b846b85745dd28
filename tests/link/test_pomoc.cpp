// The register link on a scripted port: reply reading, the time-out and its
// fill, frames and their check, the transmission log, status replies and the
// error-handling mode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ByteText.h"
#include "Pomoc.h"
#include "RecordingUi.h"
#include "ScriptedPort.h"
#include "TempFiles.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using bytetext::BS;
using bytetext::ESC;
using bytetext::StatusReply;  // header, number, one character, two closing characters, ESC, backslash

std::string ReplyBytes(Connection& link, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(link.ReplyArea()), n);
}

using testfiles::Slurp;

class LinkTest : public ::testing::Test {
protected:
    Connection link;
    void SetUp() override {
        link.Reset();
        port = InstallScriptedPort(link);
        InstallUi(&ui);
        saved = fs::current_path();
        dir = testfiles::MakeTempDir("linktest");
        fs::current_path(dir);
    }
    void TearDown() override {
        InstallUi(nullptr);
        link.Reset();
        fs::current_path(saved);
        fs::remove_all(dir);
    }
    std::string Log() const { return Slurp(dir / "LogFile.log"); }

    ScriptedPort* port = nullptr;
    RecordingUi ui;
    fs::path saved, dir;
};

TEST_F(LinkTest, ReadReplyFramesAndLeftovers) {
    const std::string frame = ESC + "P00data12" + ESC + BS;
    struct Case {
        const char* name;
        std::string input;
        long afterPoll;
        int pollLimit;
        bool ok;
        std::string reply;     // reply area content when ok
        std::string leftover;  // bytes still queued afterwards
    };
    const std::vector<Case> cases = {
        {"one frame", frame, 0, 1000, true, frame, ""},
        {"second frame stays queued", frame + ESC + "P2" + ESC + BS, 0, 1000, true, frame, ESC + "P2" + ESC + BS},
        // A reply starts at ESC 'P': stray bytes before it are dropped, so
        // noise never shifts the fields of the reply after it.
        {"backslash first does not end", BS + ESC + "Pab" + ESC + BS + "z", 0, 1000, true, ESC + "Pab" + ESC + BS, "z"},
        {"stray bytes before the frame", "\x13#7" + frame, 0, 1000, true, frame, ""},
        {"ESC without P starts nothing", ESC + ESC + "xy" + frame, 0, 1000, true, frame, ""},
        {"backslash in data ends early", ESC + "Pab\\cd" + ESC + BS, 0, 1000, true, ESC + "Pab\\",
         "cd" + ESC + BS},
        {"zero bytes kept", ESC + "P\0\0x"s + ESC + BS, 0, 1000, true, ESC + "P\0\0x"s + ESC + BS, ""},
        {"ESC right before backslash is no frame", "ab" + ESC + BS, 0, 1000, false, "", ""},
        {"backslash before any ESC", "a\\b\\" + ESC + "P" + BS, 0, 1000, true, ESC + "P" + BS, ""},
        // A frame of n bytes needs n polls that take a byte; the poll that reaches
        // the limit takes none.
        {"limit one above the frame", frame, 0, int(frame.size()) + 1, true, frame, ""},
        {"limit equal to the frame", frame, 0, int(frame.size()), false, "", frame.substr(frame.size() - 1)},
        {"limit 1 fails at once", frame, 0, 1, false, "", frame},
        {"late reply within the limit", frame, 500, 1000, true, frame, ""},
        {"late reply after the limit", frame, 500, 400, false, "", frame},
        {"limit 0 means the default", frame, 150000, 0, true, frame, ""},
        {"negative limit means the default", frame, 150000, -7, true, frame, ""},
        {"default limit reached", frame, 199995, 0, false, "", frame.substr(4)},
        {"nothing arrives", "", 0, 300, false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        link.Reset();
        port = InstallScriptedPort(link);
        link.Settings().pollLimit = c.pollLimit;
        port->Feed(c.input, c.afterPoll);
        EXPECT_EQ(link.ReadReply(), c.ok);
        if (c.ok) {
            EXPECT_EQ(ReplyBytes(link, c.reply.size()), c.reply);
            EXPECT_EQ(link.ReplyArea()[c.reply.size()], 0);
            EXPECT_EQ(link.ReplyLength(), c.reply.size());
        } else {
            EXPECT_EQ(link.ReplyLength(), 0u);
            EXPECT_EQ(port->polls, c.pollLimit > 0 ? c.pollLimit : kDefaultPollLimit);
        }
        EXPECT_EQ(port->Pending(), c.leftover);
        EXPECT_EQ(port->drains, 1);
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(LinkTest, OverlongReplyEndsAsTimeOutWithoutOverrun) {
    // 600 bytes without a backslash: the read stops when the reply area is full.
    std::string junk = ESC + "P";
    while (junk.size() < 600) junk += char('A' + junk.size() % 26);
    port->Feed(junk);
    link.ClearRequestArea(0x77);
    link.Settings().logging = 1;
    EXPECT_FALSE(link.ReadReply());
    EXPECT_EQ(port->reads, 511);
    EXPECT_EQ(ReplyBytes(link, 511), junk.substr(0, 511));
    EXPECT_EQ(link.ReplyArea()[511], 0);
    for (std::size_t i = 0; i < kRequestAreaSize; ++i) ASSERT_EQ(link.RequestArea()[i], 0x77) << i;
    EXPECT_EQ(port->Pending(), junk.substr(511));
    EXPECT_FALSE(fs::exists(dir / "LogFile.log"));

    // With the warning the area is filled like any time-out.
    link.ReadReplyOrWarn();
    EXPECT_EQ(link.ReplyText(), std::string(511, '\xff'));
}

TEST_F(LinkTest, ReadReplyOrWarnOnTimeOut) {
    link.Settings().pollLimit = 50;
    link.Settings().logging = 1;
    port->Feed(ESC + "P12");  // never completed
    const std::uint8_t* r = link.ReadReplyOrWarn();
    EXPECT_EQ(r, link.ReplyArea());
    for (int i = 0; i < 511; ++i) ASSERT_EQ(r[i], 0xFF) << i;
    EXPECT_EQ(r[511], 0);
    EXPECT_EQ(link.ReplyText().size(), 511u);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "message");
    EXPECT_EQ(ui.shown[0].text, "Brak odpowiedzi z kasy");
    EXPECT_EQ(ui.shown[0].caption, "Uwaga!");
    EXPECT_EQ(ui.shown[0].icon, UiIcon::Warning);
    EXPECT_FALSE(fs::exists(dir / "LogFile.log"));

    // A reply after that clears the fill and shows nothing.
    ui.Clear();
    port->Feed(ESC + "Pok" + ESC + BS, port->polls);
    link.ReadReplyOrWarn();
    EXPECT_EQ(link.ReplyText(), ESC + "Pok" + ESC + BS);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(LinkTest, NoPortInstalledTimesOut) {
    link.UsePort(nullptr);
    EXPECT_FALSE(link.OpenPort("COM1"));
    link.Settings().pollLimit = 20;
    link.SendSimpleCommand("0^");
    link.ReadReplyOrWarn();
    EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 1);
}

TEST_F(LinkTest, TransmissionLogBytes) {
    link.Settings().logging = 1;
    fs::path log = dir / "LogFile.log";
    {
        std::ofstream f(log, std::ios::binary);
        f << "old\r";
    }
    // A request written longer than its frame: the trailing zero is logged too.
    link.ClearRequestArea(0);
    const std::size_t n = link.BuildFrame("0;1P");
    ASSERT_EQ(n, 10u);
    EXPECT_TRUE(link.WriteRequest(11));
    const std::string frame = ESC + "P0;1P95" + ESC + BS;
    EXPECT_EQ(port->writes.back(), frame + "\0"s);

    // A reply with zero bytes inside is logged whole.
    const std::string reply = ESC + "P\0a\0"s + ESC + BS;
    port->Feed(reply + "rest");
    ASSERT_TRUE(link.ReadReply());

    // A time-out adds nothing.
    link.Settings().pollLimit = 3;
    port->input.clear();
    EXPECT_FALSE(link.ReadReply());

    EXPECT_EQ(Slurp(log), "old\r"s + "Wyslano:\r" + frame + "\0"s + "\r" + "Odebrano:\r" + reply + "\r");

    // Logging off writes nothing.
    link.Settings().logging = 0;
    link.Settings().pollLimit = 1000;
    link.SendSimpleCommand("0^");
    port->Feed(reply);
    ASSERT_TRUE(link.ReadReply());
    EXPECT_EQ(Slurp(log).size(), 4 + 9 + 11 + 1 + 10 + reply.size() + 1);
}

TEST_F(LinkTest, FrameCheckAndSimpleFrames) {
    struct Case {
        std::string payload;
        std::string check;
    };
    const std::vector<Case> cases = {
        {"0^", "91"}, {"_", "A0"}, {"0;1P", "95"}, {"", "FF"}, {"\xff", "00"},
        {"\xf5", "0A"},  // leading zero kept
        {"a\0b"s, "FC"},  // zero bytes are part of the payload
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.payload);
        EXPECT_EQ(FrameCheck(c.payload), c.check);
        EXPECT_EQ(FrameCheck(reinterpret_cast<const std::uint8_t*>(c.payload.data()), c.payload.size()),
                  c.check);
    }

    struct Frame {
        std::string payload;
        std::string bytes;
    };
    const std::vector<Frame> frames = {
        {"0^", "\x1b\x50\x30\x5e\x39\x31\x1b\x5c"},
        {"_", "\x1b\x50\x5f\x41\x30\x1b\x5c"},
        {"0;12Q", ESC + "P0;12Q" + FrameCheck("0;12Q") + ESC + BS},
    };
    for (const auto& f : frames) {
        SCOPED_TRACE(f.payload);
        link.ClearRequestArea(0xFF);  // SendSimpleCommand clears it itself
        port->writes.clear();
        EXPECT_EQ(link.SendSimpleCommand(f.payload), f.bytes);
        ASSERT_EQ(port->writes.size(), 1u);
        EXPECT_EQ(port->writes[0], f.bytes);
        EXPECT_EQ(link.RequestArea()[f.bytes.size()], 0);
    }
    EXPECT_EQ(port->polls, 0);  // sending reads nothing
}

TEST_F(LinkTest, BuildFrameAndWriteStayInTheRequestArea) {
    std::memset(link.ReplyArea(), 0x55, kReplyAreaSize);
    link.ClearRequestArea(0xFF);
    // Bytes after the frame keep the fill the caller chose.
    EXPECT_EQ(link.BuildFrame("0X"), 8u);
    EXPECT_EQ(link.RequestArea()[8], 0xFF);

    const std::string big(700, 'x');
    EXPECT_EQ(link.BuildFrame(big), kRequestAreaSize);
    EXPECT_EQ(link.RequestArea()[kRequestAreaSize - 1], kBackslash);
    EXPECT_EQ(link.RequestArea()[kRequestAreaSize - 2], kEsc);
    link.WriteRequest(5000);
    EXPECT_EQ(port->writes.back().size(), kRequestAreaSize);
    link.WriteRequest(-3);
    EXPECT_EQ(port->writes.back().size(), 0u);
    for (std::size_t i = 0; i < kReplyAreaSize; ++i) ASSERT_EQ(link.ReplyArea()[i], 0x55) << i;
}

TEST_F(LinkTest, CheckReplyStatusMessages) {
    struct Case {
        const char* name;
        std::string reply;
        std::string shown;  // empty: nothing shown
    };
    const std::vector<Case> cases = {
        {"status 0", StatusReply("0"), ""},
        {"status 00", StatusReply("00"), ""},
        {"status 21", StatusReply("21"), "Błąd bajtu kontrolnego"},
        {"status 25", StatusReply("25"), "Niezerowe totalizery. Wykonaj raport dobowy"},
        {"status 27", StatusReply("27"), "Niezerowe totalizery. Wykonaj raport dobowy"},
        {"two digits read whole", StatusReply("78"), "Towar nie istnieje w kasie"},
        {"status 79", StatusReply("79"), "Towar spoza zakresu ustalonego w konfiguracji kasy"},
        {"one digit without text", StatusReply("5"), "Błąd kasy nr 5"},
        {"two digits without text", StatusReply("45"), "Błąd kasy nr 45"},
        {"above the table", StatusReply("95"), "Błąd kasy nr 95"},
        {"three digits unreadable", StatusReply("100"), ""},
        {"negative", StatusReply("-5"), ""},
        {"not a number", StatusReply("ab"), ""},
        {"no backslash", ESC + "P0021#ab" + ESC, ""},
        {"backslash too early", ESC + "P00\\", ""},
        {"short reply", ESC + "P", ""},
        {"empty reply", "", ""},
        {"after a time-out", std::string(511, '\xff'), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.Clear();
        std::memset(link.ReplyArea(), 0, kReplyAreaSize);
        std::memcpy(link.ReplyArea(), c.reply.data(), c.reply.size());
        link.CheckReplyStatus();
        if (c.shown.empty()) {
            EXPECT_TRUE(ui.shown.empty());
        } else {
            ASSERT_EQ(ui.shown.size(), 1u);
            EXPECT_EQ(ui.shown[0].kind, "message");
            EXPECT_EQ(ui.shown[0].text, c.shown);
            EXPECT_EQ(ui.shown[0].caption, "");
            EXPECT_EQ(ui.shown[0].icon, UiIcon::None);
        }
    }
}

TEST_F(LinkTest, StatusMessageTable) {
    const std::vector<std::pair<int, std::string>> cases = {
        {-1, ""},
        {0, ""},
        {1, "Błąd kasy nr 1"},
        {19, "Błąd kasy nr 19"},
        {20, "Błędny znak"},
        {22, "Błąd parametru"},
        {23, "Błąd danych"},
        {24, "Błąd rozkazu"},
        {26, "Operacja niedozwolona w trybie fiskalnym"},
        {28, "Nieunikalna nazwa towaru"},
        {29, "Błąd kasy nr 29"},
        {31, "Operacja niemożliwa w trybie fiskalnym"},
        {77, "Błąd kasy nr 77"},
        {80, "Błąd kasy nr 80"},
        {2147483647, "Błąd kasy nr 2147483647"},
    };
    for (const auto& [n, text] : cases) EXPECT_EQ(StatusMessage(n), text) << n;
}

TEST_F(LinkTest, AwaitStatusReadsOnlyAboveModeOne) {
    for (int mode = 0; mode <= 3; ++mode) {
        SCOPED_TRACE(mode);
        ui.Clear();
        port->input.clear();
        link.Settings().errorMode = mode;
        port->Feed(StatusReply("21"));
        link.AwaitStatus();
        const bool reads = mode > 1;
        EXPECT_EQ(port->Pending().empty(), reads);
        EXPECT_EQ(ui.Count("Błąd bajtu kontrolnego"), reads ? 1 : 0);
    }
    // A missing status reply warns once and shows no status.
    ui.Clear();
    port->input.clear();
    link.Settings().pollLimit = 10;
    link.AwaitStatus();
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Brak odpowiedzi z kasy"});
}

TEST_F(LinkTest, SetErrorModeStatusRule) {
    struct Case {
        int oldMode;
        std::string text;
        int newMode;
        bool readsStatus;
    };
    const std::vector<Case> cases = {
        {3, "0", 0, true},  {2, "0", 0, false}, {3, "1", 1, true},  {2, "1", 1, false},
        {1, "2", 2, true},  {0, "3", 3, true},  {1, "1", 1, false}, {0, "0", 0, false},
        {3, "3", 3, true},  {2, "2", 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.oldMode) + " -> " + c.text);
        link.Reset();
        port = InstallScriptedPort(link);
        ui.Clear();
        link.Settings().errorMode = c.oldMode;
        link.Settings().pollLimit = 1000;
        port->Feed("stale");                   // left from earlier: purged before the command
        port->answers.push_back(StatusReply("27"));  // the register's status answer
        link.SetErrorMode(c.text);

        EXPECT_EQ(link.Settings().errorMode, c.newMode);
        const std::vector<std::string> order = {"sleep 1000", "purge", "write 11"};
        ASSERT_GE(port->events.size(), 3u);
        EXPECT_EQ(std::vector<std::string>(port->events.begin(), port->events.begin() + 3), order);
        const std::string payload = "0;" + c.text + "P";
        EXPECT_EQ(port->writes[0], ESC + "P" + payload + FrameCheck(payload) + ESC + BS + "\0"s);
        EXPECT_EQ(port->Pending(), c.readsStatus ? "" : StatusReply("27"));
        EXPECT_EQ(ui.Count("Niezerowe totalizery. Wykonaj raport dobowy"), c.readsStatus ? 1 : 0);
        EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 0);
    }
}

TEST_F(LinkTest, SetErrorModeWithoutAnswerWarns) {
    link.Settings().errorMode = 1;
    link.Settings().pollLimit = 20;
    link.SetErrorMode("2");
    EXPECT_EQ(link.Settings().errorMode, 2);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Brak odpowiedzi z kasy"});
}

TEST_F(LinkTest, OpenCloseAndPurge) {
    struct Case {
        int baud;
        int opened;
    };
    for (const Case c : {Case{9600, 9600}, Case{19200, 19200}, Case{38400, 38400}, Case{4800, 9600},
                         Case{115200, 9600}, Case{0, 9600}, Case{-1, 9600}}) {
        link.Settings().baud = c.baud;
        EXPECT_TRUE(link.OpenPort("/dev/pts/7"));
        EXPECT_EQ(port->openedBaud, c.opened) << c.baud;
        EXPECT_EQ(port->openedName, "/dev/pts/7");
    }
    port->openResult = false;
    EXPECT_FALSE(link.OpenPort("COM9"));

    port->open = true;
    port->events.clear();
    link.ClosePort();
    EXPECT_EQ(port->events, (std::vector<std::string>{"sleep 1000", "purge", "close"}));
    EXPECT_FALSE(port->IsOpen());

    // Bytes before a frame are no part of it; those after it stay queued
    // until purged.
    link.Settings().pollLimit = 100;
    port->Feed("xx" + ESC + "Pa" + ESC + BS + "zz");
    ASSERT_TRUE(link.ReadReply());
    EXPECT_EQ(link.ReplyText(), ESC + "Pa" + ESC + BS);
    EXPECT_EQ(port->Pending(), "zz");
    port->Feed("yy", port->polls + 1000);  // not yet arrived: a purge keeps it
    link.PurgePort();
    EXPECT_EQ(port->Pending(), "yy");
}

}  // namespace
