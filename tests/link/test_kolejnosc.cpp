// Replies that arrive in pieces while the window handles its events come out
// in the order they arrived, and every record is taken, in error-handling
// modes 2 and 3, where a status reply follows each data reply at once.
//
// On POSIX systems the register emulator serves a pseudo-terminal in this
// process. Elsewhere (Windows, under wine) the port named by ZELTRA_TEST_PORT
// is used, with an emulator that the caller started with --split; without it
// the test is skipped. Built with ZELTRA_QT_EVENTS, the window's events are
// Qt's own event loop, as in the program.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "NativeSerialPort.h"
#include "Pomoc.h"
#include "RecordingUi.h"
#include "Sekwencje.h"
#include "Tabele.h"

#ifndef _WIN32
#include "PtyServer.h"
#endif
#ifdef ZELTRA_QT_EVENTS
#include <QCoreApplication>
#endif

namespace {

// The window's event handling takes a while: bytes pile up in the line
// meanwhile, part of a reply or the whole status reply.
class SlowEventsUi : public RecordingUi {
public:
    void ProcessEvents() override {
        RecordingUi::ProcessEvents();
#ifdef ZELTRA_QT_EVENTS
        QCoreApplication::processEvents();
#endif
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
};

void Fill(TableSet& set) {
    for (int r = 1; r <= 15; ++r) {
        set.SetCell(TableId::Packaging, 0, r, std::to_string(r));
        set.SetCell(TableId::Packaging, 1, r, "Butelka " + std::to_string(r));
        set.SetCell(TableId::Packaging, 2, r, std::to_string(r) + ".25");
    }
    for (int r = 1; r <= 8; ++r) {
        set.SetCell(TableId::Cashier, 0, r, std::to_string(r));
        set.SetCell(TableId::Cashier, 1, r, "Kas" + std::to_string(r));
        set.SetCell(TableId::Cashier, 2, r, std::to_string(1000 + r));
    }
}

class InOrder : public ::testing::TestWithParam<int> {
protected:
    Connection link;
#ifdef ZELTRA_QT_EVENTS
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_kolejnosc_qt";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
#endif
    void SetUp() override {
        link.Reset();
        link.UsePort(std::make_unique<NativeSerialPort>());
        link.Settings().pollLimit = 300000;  // about 3 s
        std::string port;
        if (const char* named = std::getenv("ZELTRA_TEST_PORT")) port = named;
#ifndef _WIN32
        if (port.empty()) {
            server = std::make_unique<PtyServer>();
            server->WithEmulator([](Emulator& e) {
                e.switches.split = true;  // one byte at a time, with pauses
                e.switches.splitDelayUs = 150;
            });
            ASSERT_TRUE(server->Start());
            port = server->SlavePath();
        }
#endif
        if (port.empty()) GTEST_SKIP() << "ZELTRA_TEST_PORT names no port";
        ASSERT_TRUE(link.OpenPort(port));
        InstallUi(&ui);
    }
    void TearDown() override {
        InstallUi(nullptr);
        link.Reset();
#ifndef _WIN32
        if (server) server->Stop();
#endif
    }

    SlowEventsUi ui;
#ifndef _WIN32
    std::unique_ptr<PtyServer> server;
#endif
};

TEST_P(InOrder, RecordsReadInPiecesAreAllTaken) {
    link.SetErrorMode(std::to_string(GetParam()));
    TableSet sent, got;
    Fill(sent);
    SendPackagingTable(link, sent);
    SendCashierTable(link, sent);
    ReadPackagingTable(link, got);
    ReadCashierTable(link, got);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{});
    for (TableId t : {TableId::Packaging, TableId::Cashier})
        for (int r = 1; r <= (t == TableId::Packaging ? 15 : 8); ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(got.Cell(t, c, r), sent.Cell(t, c, r)) << "table " << int(t) << " row " << r << " column " << c;
    link.SetErrorMode("1");
}

INSTANTIATE_TEST_SUITE_P(Modes, InOrder, ::testing::Values(2, 3),
                         [](const ::testing::TestParamInfo<int>& info) { return "Mode" + std::to_string(info.param); });

}  // namespace
