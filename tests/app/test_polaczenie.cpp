// Start-up, the connection check and the end of communication through the
// real serial code, against the emulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "NativeSerialPort.h"
#include "Polaczenie.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "RecordingUi.h"
#include "Tabele.h"

namespace {

const char* const kStart = "Uruchom w kasie tryb komunikacji";
const char* const kNoAnswer = "Brak odpowiedzi z kasy";
constexpr int kShortPollLimit = 20000;  // about 0.2 s: keeps the silent cases quick

class LinkTest : public ::testing::Test {
protected:
    Connection link;
    void SetUp() override {
        link.Reset();
        link.UsePort(std::make_unique<NativeSerialPort>());
        InstallUi(&ui);
        ASSERT_TRUE(server.Start());
        config.portName = server.SlavePath();
        config.pollLimit = 200000;  // Timeout=2; the silent cases use 0.2 s
    }
    void TearDown() override {
        link.Reset();
        InstallUi(nullptr);
        server.Stop();
    }
    template <class F>
    void Register(F&& f) {
        server.WithEmulator([&](Emulator& e) { f(e); });
    }
    std::vector<std::string> Requests() {
        return server.WithEmulator([](Emulator& e) { return e.requests; });
    }
    // Nothing the register sent is left unread.
    int LeftQueued() {
        link.Port().SleepMs(50);
        return link.Port().Poll();
    }

    PtyServer server;
    RecordingUi ui;
    Configuration config;
    TableSet tables;
};

TEST_F(LinkTest, StartUpOnLineForEveryModel) {
    struct Case {
        int preset;  // emulator model preset; -1: a model text the program does not know
        int model;
        std::string shown;
        int pluRows, keyRows, pluColumns;
    };
    const Case cases[] = {
        {0, 0, "ZELTRA ARK", 2636, 20, 7},
        {1, 1, "ZELTRA ARK MIRRA", 1000, 10, 8},
        {2, 2, "ZELTRA ARK MAXI", 9600, 20, 8},
        {3, 3, "ZELTRA ARK MAXI 20k", 19200, 20, 8},
        {-1, 1, "KASA TESTOWA", 1000, 10, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        link.Reset();
        link.UsePort(std::make_unique<NativeSerialPort>());
        ui.shown.clear();
        TableSet fresh;
        Register([&](Emulator& e) {
            if (c.preset >= 0) {
                e.SetModel(c.preset);
            } else {
                e.state.modelText = "KASA TESTOWA";
                e.state.capacityMarker.clear();
            }
            e.state.serial = "654321";
            e.state.version = "V3.14";
            e.requests.clear();
        });
        Identification id = StartUp(link, config, fresh);
        EXPECT_TRUE(id.onLine);
        EXPECT_EQ(id.model, c.model);
        EXPECT_EQ(id.shownModel, c.shown);
        EXPECT_EQ(id.serial, "654321");
        EXPECT_EQ(id.version, "V3.14");
        EXPECT_EQ(fresh.Model(), c.model);
        EXPECT_EQ(fresh.Rows(TableId::Plu), c.pluRows);
        EXPECT_EQ(fresh.Rows(TableId::Key), c.keyRows);
        EXPECT_EQ(fresh.Columns(TableId::Plu), c.pluColumns);
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{kStart});
        EXPECT_EQ(Requests(), (std::vector<std::string>{"0;1P", "0^"}));
    }
}

TEST_F(LinkTest, StartUpByErrorMode) {
    // Whether the register answers, and in which mode it was left and is
    // configured: the result, the warnings, and nothing left queued.
    struct Case {
        const char* name;
        int registerMode;  // the register's mode before start-up
        int configured;
        bool silent;
        bool onLine;
        int warnings;  // "Brak odpowiedzi z kasy"
    };
    const Case cases[] = {
        {"mode 1 reads no status", 1, 1, false, true, 0},
        {"mode 0 reads no status", 0, 0, false, true, 0},
        {"mode 2 reads two statuses", 1, 2, false, true, 0},
        {"mode 3 reads two statuses", 3, 3, false, true, 0},
        {"register left in mode 3, program in 0", 3, 0, false, true, 0},
        {"register left in mode 3, program in 1", 3, 1, false, true, 0},
        {"register left in mode 2, program in 0", 2, 0, false, true, 0},
        {"silent, mode 1", 1, 1, true, false, 1},
        // The mode's status and the identification; no status is waited
        // for after a reply that never came.
        {"silent, mode 2", 1, 2, true, false, 2},
        {"silent, mode 3", 1, 3, true, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.Reset();
        link.UsePort(std::make_unique<NativeSerialPort>());
        ui.shown.clear();
        Register([&](Emulator& e) {
            e.SetModel(2);
            e.state.errorMode = c.registerMode;
            e.switches.silent = c.silent;
        });
        Configuration cfg = config;
        cfg.errorMode = c.configured;
        if (c.silent) cfg.pollLimit = kShortPollLimit;
        TableSet fresh;
        Identification id = StartUp(link, cfg, fresh);
        EXPECT_EQ(id.onLine, c.onLine);
        EXPECT_EQ(ui.Count(kNoAnswer), c.warnings);
        EXPECT_EQ(ui.Count(kStart), 1);
        EXPECT_EQ(link.Settings().errorMode, c.configured);
        if (c.onLine) {
            EXPECT_EQ(id.model, 2);
            EXPECT_EQ(id.shownModel, "ZELTRA ARK MAXI");
        } else {
            EXPECT_EQ(id.shownModel, "");
            EXPECT_EQ(id.serial, "");
            EXPECT_EQ(fresh.Model(), 1);
        }
        EXPECT_EQ(LeftQueued(), 0);
        // What is left queued would spoil the next identification.
        if (c.onLine) {
            Identification again = CheckConnection(link, fresh);
            EXPECT_TRUE(again.onLine);
            EXPECT_EQ(ui.Count(kNoAnswer), 0);
        }
    }
}

TEST_F(LinkTest, StartUpOverASlowLine) {
    // Replies that trickle in byte by byte or at the line's real speed.
    struct Case {
        const char* name;
        bool split;
        int baud;
        int registerMode, configured;
    };
    const Case cases[] = {
        {"single bytes", true, 0, 1, 1},
        {"9600 baud", false, 9600, 1, 1},
        {"9600 baud, mode 2", false, 9600, 1, 2},
        {"9600 baud, register left in mode 3", false, 9600, 3, 0},
        {"single bytes, register left in mode 3", true, 0, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.Reset();
        link.UsePort(std::make_unique<NativeSerialPort>());
        ui.shown.clear();
        Register([&](Emulator& e) {
            e.SetModel(0);
            e.state.errorMode = c.registerMode;
            e.switches.split = c.split;
            e.switches.baud = c.baud;
        });
        Configuration cfg = config;
        cfg.errorMode = c.configured;
        TableSet fresh;
        Identification id = StartUp(link, cfg, fresh);
        EXPECT_TRUE(id.onLine);
        EXPECT_EQ(id.model, 0);
        EXPECT_EQ(id.serial, "123456");
        EXPECT_EQ(ui.Count(kNoAnswer), 0);
        EXPECT_EQ(LeftQueued(), 0);
    }
}

TEST_F(LinkTest, EndOfCommunicationThenConnectionCheck) {
    Register([](Emulator& e) { e.SetModel(3); });
    ASSERT_TRUE(StartUp(link, config, tables).onLine);
    EndCommunication(link);
    bool shownOnLine = false;
    Identification id = CheckConnection(link, tables, [&](const Identification& i) { shownOnLine = i.onLine; });
    EXPECT_TRUE(id.onLine);
    EXPECT_TRUE(shownOnLine);
    EXPECT_EQ(id.shownModel, "ZELTRA ARK MAXI 20k");
    EXPECT_EQ(tables.Model(), 3);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"0;1P", "0^", "_", "0^"}));
    EXPECT_EQ(ui.Count(kNoAnswer), 0);
}

TEST_F(LinkTest, EndOfCommunicationInMode2ReadsItsStatus) {
    config.errorMode = 2;
    ASSERT_TRUE(StartUp(link, config, tables).onLine);
    EndCommunication(link);
    EXPECT_EQ(LeftQueued(), 0);
    EXPECT_TRUE(CheckConnection(link, tables).onLine);
    EXPECT_EQ(ui.Count(kNoAnswer), 0);
}

TEST_F(LinkTest, FailedConnectionCheckFallsBackToModel0) {
    struct Case {
        const char* name;
        int maxPlu;
        bool recordBeyond;  // a PLU record the fallback would drop
        std::deque<bool> answers;
        int model, pluRows;
        int questions;
    };
    const Case cases[] = {
        {"configured count ignored", 500, false, {}, 0, 2636, 0},
        {"default count", 0, false, {}, 0, 2636, 0},
        {"would lose a record, user says no", 0, true, {false}, 3, 19200, 1},
        {"would lose a record, user says yes", 0, true, {true}, 0, 2636, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.Reset();
        link.UsePort(std::make_unique<NativeSerialPort>());
        ui.shown.clear();
        ui.answers = c.answers;
        Register([](Emulator& e) {
            e.SetModel(3);
            e.switches.silent = false;
        });
        Configuration cfg = config;
        cfg.pluCount = c.maxPlu;
        TableSet fresh;
        ASSERT_TRUE(StartUp(link, cfg, fresh).onLine);
        if (c.recordBeyond) fresh.SetCell(TableId::Plu, 0, 5000, "5000");
        Register([](Emulator& e) { e.switches.silent = true; });
        link.Settings().pollLimit = kShortPollLimit;
        bool shownOffLine = false;
        Identification id = CheckConnection(link, fresh, [&](const Identification& i) { shownOffLine = !i.onLine; });
        EXPECT_FALSE(id.onLine);
        EXPECT_TRUE(shownOffLine);
        EXPECT_EQ(id.serial, "");
        EXPECT_EQ(id.version, "");
        EXPECT_EQ(ui.Count("Włączono tryb OFF-LINE"), 1);
        EXPECT_EQ(ui.Count(kNoAnswer), 1);
        int questions = 0;
        for (const auto& s : ui.shown) questions += s.kind == "question";
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(fresh.Model(), c.model);
        EXPECT_EQ(fresh.Rows(TableId::Plu), c.pluRows);
    }
}

// The check finds a register of another model. Refusing the records its
// model would drop keeps the model and the tables and goes OFF-LINE, saying
// why: nothing may later go out in a layout the register does not have. In
// mode 2 the register's status reply is read all the same.
TEST_F(LinkTest, ConnectionCheckFindsAnotherModel) {
    const std::string kOffLine =
        "Podłączona kasa (ZELTRA ARK MIRRA) jest innego typu niż tabele w programie.\r"
        "Tabele zostały bez zmian, dlatego program pracuje w trybie OFF-LINE:\r"
        "dane w obecnym układzie nie zostaną wysłane do tej kasy.";
    struct Case {
        const char* name;
        bool recordBeyond;  // key 15, past model 1's 10 keys
        std::deque<bool> answers;
        bool onLine;
        int questions;
        std::vector<std::string> messages;
        int model, pluRows, keyRows;
    };
    const Case cases[] = {
        // The configured rule keeps the PLU count model 3 set (19 200).
        {"nothing to lose", false, {}, true, 0, {}, 1, 19200, 10},
        {"records dropped on yes", true, {true}, true, 1, {}, 1, 19200, 10},
        {"no keeps the tables, OFF-LINE", true, {false}, false, 1, {kOffLine}, 3, 19200, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.Reset();
        link.UsePort(std::make_unique<NativeSerialPort>());
        Register([](Emulator& e) { e.SetModel(3); });
        Configuration cfg = config;
        cfg.errorMode = 2;
        TableSet fresh;
        ASSERT_TRUE(StartUp(link, cfg, fresh).onLine);
        ASSERT_EQ(fresh.Model(), 3);
        if (c.recordBeyond) fresh.SetCell(TableId::Key, 0, 15, "15");
        Register([](Emulator& e) { e.SetModel(1); });
        ui.shown.clear();
        ui.answers = c.answers;
        std::vector<bool> shown;
        Identification id = CheckConnection(link, fresh, [&](const Identification& i) { shown.push_back(i.onLine); });
        EXPECT_EQ(id.onLine, c.onLine);
        EXPECT_EQ(shown, std::vector<bool>{c.onLine});
        EXPECT_EQ(id.shownModel, c.onLine ? "ZELTRA ARK MIRRA" : "");
        EXPECT_EQ(id.serial.empty(), !c.onLine);
        int questions = 0;
        for (const auto& s : ui.shown) questions += s.kind == "question";
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(ui.Messages(), c.messages);
        EXPECT_EQ(fresh.Model(), c.model);
        EXPECT_EQ(fresh.Rows(TableId::Plu), c.pluRows);
        EXPECT_EQ(fresh.Rows(TableId::Key), c.keyRows);
        EXPECT_EQ(fresh.Cell(TableId::Key, 0, 15), c.recordBeyond && c.model == 3 ? "15" : "");
        EXPECT_EQ(LeftQueued(), 0);
    }
}

TEST_F(LinkTest, PortThatCannotOpenShowsAsNoAnswer) {
    config.portName = "/dev/zeltra-no-such-port";
    config.pollLimit = kShortPollLimit;
    Identification id = StartUp(link, config, tables);
    EXPECT_FALSE(id.onLine);
    EXPECT_EQ(ui.Messages(), (std::vector<std::string>{kStart, kNoAnswer}));
}

}  // namespace
