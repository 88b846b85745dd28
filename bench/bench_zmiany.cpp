// "Wyślij zmiany" at the wire's pace: 50 changed PLU records in a model-3
// table of 19 200, sent to an emulator on a pseudo-terminal that paces its
// output at 9600 baud (mode 2: a status reply after every record), sample
// check included; then the same to four emulators at once, one thread and
// one connection each.

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <stdlib.h>

#include "BenchSupport.h"
#include "Kopia.h"
#include "NativeSerialPort.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "Sekwencje.h"
#include "TempFiles.h"
#include "Ui.h"
#include "Zmiany.h"

namespace {

void FillPlu(TableSet& set) {
    for (int r = 1; r <= set.Rows(TableId::Plu); ++r) {
        const std::string n = std::to_string(r);
        const std::vector<std::string> cells = {n, "Towar " + n, "590" + n, "A", "0", "1.00", "12.000", "TAK"};
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) set.SetCell(TableId::Plu, c, r, cells[c]);
    }
}

// One register: its emulator, the connection to it and the copy behind it.
struct Register {
    PtyServer server;
    Connection link;
    SilentUi ui;
    RegisterIdentity id;
    double seconds = 0, cpu = 0;
    ChangesOutcome outcome;

    // The whole table sent unpaced in mode 0, the copy kept; then the line
    // as a real one: paced at 9600 baud, a status reply after each record.
    bool Prepare(const TableSet& set, const std::string& serial) {
        if (!server.Start()) return false;
        server.WithEmulator([&](Emulator& e) {
            e.SetModel(3);
            e.state.serial = serial;
            e.state.errorMode = 0;
        });
        link.SetUi(&ui);
        link.UsePort(std::make_unique<NativeSerialPort>());
        link.Settings().pollLimit = 200000;  // Timeout=2
        link.Settings().errorMode = 0;
        if (!link.OpenPort(server.SlavePath())) return false;
        SendPluTable(link, set);
        id = {3, serial};
        if (!UpdateCopyAfterSend(link, set, {CopyPart::Plu}, id)) return false;
        // Let the last frames arrive before the line slows down.
        for (int i = 0; i < 300; ++i) {
            const int stored =
                server.WithEmulator([](Emulator& e) { return static_cast<int>(e.state.records[7].size()); });
            if (stored >= set.Rows(TableId::Plu)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        server.WithEmulator([](Emulator& e) {
            e.switches.baud = 9600;
            e.state.errorMode = 2;
        });
        link.Settings().errorMode = 2;
        return true;
    }

    void SendTheChanges(const TableSet& set) {
        const double start = Now(), cpu0 = ThreadCpuSeconds();
        outcome = SendChanges(link, set, {CopyPart::Plu}, id);
        seconds = Now() - start;
        cpu = ThreadCpuSeconds() - cpu0;
    }
};

}  // namespace

int main() {
    const auto dir = testfiles::MakeTempDir("bench-zmiany");
    setenv("ZELTRA_DATA_DIR", dir.string().c_str(), 1);

    TableSet set;
    set.ApplyModel(3, PluRule::Capacity);
    FillPlu(set);
    const int records = set.Rows(TableId::Plu);

    // Five registers: one alone, then four at once.
    std::vector<std::unique_ptr<Register>> registers;
    for (int k = 0; k < 5; ++k) {
        registers.push_back(std::make_unique<Register>());
        if (!registers.back()->Prepare(set, "BENCH" + std::to_string(k))) {
            std::fprintf(stderr, "cannot prepare register %d\n", k);
            return 1;
        }
    }

    // 50 prices changed, spread over the table.
    for (int k = 0; k < 50; ++k) set.SetCell(TableId::Plu, 5, 1 + k * (records / 50), "2.50");

    Register& alone = *registers[0];
    alone.SendTheChanges(set);
    std::printf("Wyślij zmiany, 50 of %d PLU records, 9600 baud, mode 2: %.2f s wall (target <= 10 s), "
                "CPU %.3f s = %.1f %% of one core; %s\n",
                records, alone.seconds, alone.cpu, 100 * alone.cpu / alone.seconds, alone.outcome.text.c_str());

    const double start = Now();
    std::vector<std::thread> threads;
    for (int k = 1; k < 5; ++k) threads.emplace_back([&, k] { registers[k]->SendTheChanges(set); });
    for (std::thread& t : threads) t.join();
    const double wall = Now() - start;
    double worstCpu = 0;
    int sent = 0;
    for (int k = 1; k < 5; ++k) {
        worstCpu = std::max(worstCpu, registers[k]->cpu / registers[k]->seconds);
        sent += registers[k]->outcome.result == ChangesOutcome::Result::Sent ? registers[k]->outcome.sent : 0;
    }
    std::printf("the same to 4 registers at once: %.2f s wall = %.2f x one register's (target <= 1.15), "
                "CPU at most %.1f %% of a core per register (target <= 5 %%), %d records sent in all\n",
                wall, wall / alone.seconds, 100 * worstCpu, sent);

    for (auto& r : registers) {
        r->link.ClosePort();
        r->server.Stop();
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
