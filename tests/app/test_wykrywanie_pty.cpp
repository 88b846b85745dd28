// Finding the register through the real serial code: the emulator on a
// pseudo-terminal, set to one speed, among a line nobody answers on, a line
// another program holds and a port that is not there; and the program's own
// connection on the register's port.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "NativeSerialPort.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "RecordingUi.h"
#include "Wykrywanie.h"

namespace {

const char* const kMissing = "/dev/zeltra-nie-ma-takiego-portu";

int IdentifyRequests(PtyServer& server) {
    return server.WithEmulator([](Emulator& e) {
        int n = 0;
        for (const std::string& r : e.requests) n += r == "0^";
        return n;
    });
}

TEST(DetectionPty, FindsTheRegisterAtItsSpeedAmongTheRest) {
    Connection link;
    for (int speed : {9600, 19200, 38400}) {
        SCOPED_TRACE(speed);
        link.Reset();
        PtyServer nobody, registerLine, held;
        nobody.WithEmulator([](Emulator& e) { e.switches.silent = true; });
        registerLine.WithEmulator([speed](Emulator& e) {
            e.SetModel(3);
            e.state.serial = "654321";
            e.state.errorMode = 2;  // a status reply follows the identification
            e.switches.lineSpeed = speed;
        });
        ASSERT_TRUE(nobody.Start());
        ASSERT_TRUE(registerLine.Start());
        ASSERT_TRUE(held.Start());
        auto other = std::make_unique<NativeSerialPort>();  // another program on that line
        ASSERT_TRUE(other->Open(held.SlavePath(), 9600));

        RecordingUi ui;
        const std::vector<std::string> ports = {nobody.SlavePath(), registerLine.SlavePath(),
                                                held.SlavePath(), kMissing};
        const std::vector<PortProbe> found = DetectRegister(link, ports, ui);

        ASSERT_EQ(found.size(), 4u);
        EXPECT_EQ(found[0].outcome, ProbeOutcome::Silent);
        EXPECT_EQ(found[1].outcome, ProbeOutcome::Answered);
        EXPECT_EQ(found[1].baud, speed);
        EXPECT_EQ(found[1].id.shownModel, "ZELTRA ARK MAXI 20k");
        EXPECT_EQ(found[1].id.serial, "654321");
        EXPECT_EQ(found[2].outcome, ProbeOutcome::Busy);
        EXPECT_EQ(found[3].outcome, ProbeOutcome::CannotOpen);
        // The register heard only the try at its own speed.
        EXPECT_EQ(IdentifyRequests(registerLine), 1);
        EXPECT_EQ(IdentifyRequests(held), 0);

        // No line is left open: each can be had exclusively now.
        other.reset();
        for (PtyServer* s : {&nobody, &registerLine, &held}) {
            NativeSerialPort check;
            EXPECT_TRUE(check.Open(s->SlavePath(), 9600)) << s->SlavePath();
        }
    }
}

// The program's own port is on the register: closed for the search, so the
// register is found there rather than reported busy, then opened again and
// working, with no reply of the search left to be taken for another's.
TEST(DetectionPty, TheProgramsOwnPortIsReopened) {
    Connection link;
    link.Reset();
    PtyServer server;
    server.WithEmulator([](Emulator& e) {
        e.state.errorMode = 2;
        e.switches.lineSpeed = 19200;
    });
    ASSERT_TRUE(server.Start());
    link.UsePort(std::make_unique<NativeSerialPort>());
    link.Settings().baud = 19200;
    link.Settings().pollLimit = 100000;
    link.Settings().errorMode = 2;
    ASSERT_TRUE(link.OpenPort(server.SlavePath()));

    RecordingUi ui;
    InstallUi(&ui);
    const std::vector<PortProbe> found = DetectRegister(link, {server.SlavePath()}, ui);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].outcome, ProbeOutcome::Answered);
    EXPECT_EQ(found[0].baud, 19200);

    ASSERT_TRUE(link.Port().IsOpen());
    // The next command gets its own reply, then its status.
    const Identification id = Identify(link, 1);
    EXPECT_TRUE(id.onLine);
    link.AwaitStatus();
    link.Port().SleepMs(50);
    EXPECT_EQ(link.Port().Poll(), 0);
    EXPECT_TRUE(ui.shown.empty());
    InstallUi(nullptr);
    link.Reset();
}

}  // namespace
