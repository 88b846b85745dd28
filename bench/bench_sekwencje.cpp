// The largest PLU table through the real serial code and the emulator on a
// pseudo-terminal: a full model-3 upload (19 200 records, mode 0) and download
// (19 201 exchanges), then a short download and upload with the emulator
// pacing its output at 9600 baud, for the program's share of one core.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "EmulatorPort.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "NativeSerialPort.h"
#include "Sekwencje.h"
#include "Tabele.h"
#include "Ui.h"

namespace {

// Stands in for the window: labels and bars kept, pending events handled when
// the sequence asks for a repaint; message boxes counted.
class BenchUi final : public SilentUi {
public:
    int messages = 0;
    int repaints = 0;
    std::string lastLabel;
    void Message(const std::string&, const std::string&, UiIcon) override { ++messages; }
    void SetLabel(UiLabel, const std::string& text) override { lastLabel = text; }
    void ProcessEvents() override { ++repaints; }
};

void FillPlu(TableSet& set) {
    for (int r = 1; r <= set.Rows(TableId::Plu); ++r) {
        const std::string n = std::to_string(r);
        const std::vector<std::string> cells = {n, "Towar " + n, "590" + n, "A", "0", "1.00", "12.000", "TAK"};
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) set.SetCell(TableId::Plu, c, r, cells[c]);
    }
}

int StoredPlu(PtyServer& server) {
    return server.WithEmulator([](Emulator& e) { return static_cast<int>(e.state.records[7].size()); });
}

struct Run {
    double seconds;
    double cpu;
};

template <typename F>
Run Measure(F f) {
    const double start = Now();
    const double cpuStart = ThreadCpuSeconds();
    f();
    return {Now() - start, ThreadCpuSeconds() - cpuStart};
}

}  // namespace

int main() {
    Connection link;  // the one register this program talks to
    BenchUi ui;
    InstallUi(&ui);

    PtyServer server;
    if (!server.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    server.WithEmulator([](Emulator& e) {
        e.SetModel(3);
        e.state.errorMode = 0;
    });
    link.UsePort(std::make_unique<NativeSerialPort>());
    link.Settings().pollLimit = 200000;  // Timeout=2
    link.Settings().errorMode = 0;
    if (!link.OpenPort(server.SlavePath())) {
        std::fprintf(stderr, "cannot open %s\n", server.SlavePath().c_str());
        return 1;
    }

    TableSet sent, got;
    sent.ApplyModel(3, PluRule::Capacity);
    got.ApplyModel(3, PluRule::Capacity);
    FillPlu(sent);
    const int records = sent.Rows(TableId::Plu);

    // Upload, mode 0: frames back to back, nothing read.
    Run up = Measure([&] { SendPluTable(link, sent); });
    for (int i = 0; i < 200 && StoredPlu(server) < records; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::printf("PLU upload, model 3, mode 0: %d frames in %.2f s = %.0f frames/s (target <= 5 s), CPU %.2f s "
                "(%.0f %% of the wall time), %d stored by the emulator\n",
                records, up.seconds, records / up.seconds, up.cpu, 100 * up.cpu / up.seconds, StoredPlu(server));

    // Download: one exchange per index, the rows filled and the labels set as it goes.
    Run down = Measure([&] { ReadPluTable(link, got); });
    int same = 0;
    for (int r = 1; r <= records; ++r) same += got.Cell(TableId::Plu, 1, r) == sent.Cell(TableId::Plu, 1, r);
    std::printf("PLU download, model 3, mode 0: %d exchanges in %.2f s = %.0f exchanges/s (target <= 10 s), "
                "CPU %.2f s (%.0f %%), %d rows as sent, %d repaints, %d messages\n",
                records + 1, down.seconds, (records + 1) / down.seconds, down.cpu, 100 * down.cpu / down.seconds,
                same, ui.repaints, ui.messages);

    // With the emulator pacing at 9600 baud, as a real line would: a short
    // download, then a short upload in mode 2 (a status reply per record).
    server.WithEmulator([](Emulator& e) {
        e.switches.baud = 9600;
        e.state.errorMode = 2;
    });
    link.Settings().errorMode = 2;
    TableSet small;
    small.SetPluCount(40);
    small.ApplyModel(3, PluRule::Configured);
    Run paced = Measure([&] { ReadPluTable(link, small); });
    std::printf("PLU download at 9600 baud, mode 2: %d exchanges in %.2f s, CPU %.3f s = %.1f %% of one core "
                "(target <= 5 %%)\n",
                small.Rows(TableId::Plu) + 1, paced.seconds, paced.cpu, 100 * paced.cpu / paced.seconds);
    Run pacedUp = Measure([&] { SendPluTable(link, small); });
    std::printf("PLU upload at 9600 baud, mode 2: %d frames in %.2f s, CPU %.3f s = %.1f %% of one core "
                "(target <= 5 %%), %d messages\n",
                small.Rows(TableId::Plu), pacedUp.seconds, pacedUp.cpu, 100 * pacedUp.cpu / pacedUp.seconds,
                ui.messages);

    link.ClosePort();
    server.Stop();

    // The same full transfer without a line: the program's own share.
    Emulator emu;
    emu.SetModel(3);
    emu.state.errorMode = 0;
    // Wired straight to an emulator in this thread: no line, no system calls,
    // so what it measures is the sequences' own work (frames, decoding, rows,
    // labels) plus the reply loop.
    link.UsePort(std::make_unique<EmulatorPort>(emu, true));
    link.Settings().errorMode = 0;
    TableSet again;
    again.ApplyModel(3, PluRule::Capacity);
    Run loopUp = Measure([&] { SendPluTable(link, sent); });
    Run loopDown = Measure([&] { ReadPluTable(link, again); });
    std::printf("without a line: upload %.0f us CPU per record, download %.0f us CPU per record "
                "(frames, decoding, rows, labels, reply loop)\n",
                1e6 * loopUp.cpu / records, 1e6 * loopDown.cpu / (records + 1));

    InstallUi(nullptr);
    link.Reset();
    return 0;
}
