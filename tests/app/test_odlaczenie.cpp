// The register's line goes away while the program runs (a USB adapter pulled
// out; here the emulator's pseudo-terminal closing) and comes back under the
// same name: a command meanwhile runs into its time-out as on a silent line,
// sleeping rather than spinning a core, and the connection check opens the
// port again and finds the register.
#include <gtest/gtest.h>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "NativeSerialPort.h"
#include "Polaczenie.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "RecordingUi.h"
#include "Sekwencje.h"
#include "Tabele.h"

namespace {

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

TEST(LineGoesAway, CommandsTimeOutQuietlyAndTheCheckReopens) {
    Connection link;
    link.Reset();
    link.UsePort(std::make_unique<NativeSerialPort>());
    RecordingUi ui;
    InstallUi(&ui);
    const std::string name = std::string(testing::TempDir()) + "zeltra-kasa-line";
    ::unlink(name.c_str());

    auto first = std::make_unique<PtyServer>();
    ASSERT_TRUE(first->Start());
    ASSERT_EQ(::symlink(first->SlavePath().c_str(), name.c_str()), 0);
    Configuration config;
    config.portName = name;
    config.pollLimit = 50'000;  // about half a second
    TableSet tables;
    ASSERT_TRUE(StartUp(link, config, tables).onLine);

    first->Stop();  // unplugged
    ui.shown.clear();
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadRegisterState(link), std::string(14, '\xFF'));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = ProcessCpuSeconds() - cpu0;
    EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 1);
    EXPECT_GT(wall, 0.4);
    EXPECT_LT(cpu, wall * 0.25) << "the time-out spun the CPU";

    // Plugged in again; the same name leads to the new line.
    PtyServer second;
    ASSERT_TRUE(second.Start());
    ::unlink(name.c_str());
    ASSERT_EQ(::symlink(second.SlavePath().c_str(), name.c_str()), 0);
    ui.shown.clear();
    EXPECT_TRUE(CheckConnection(link, tables).onLine);
    EXPECT_EQ(ReadRegisterState(link).size(), 14u);
    EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 0);

    InstallUi(nullptr);
    link.Reset();
    second.Stop();
    ::unlink(name.c_str());
}

}  // namespace
