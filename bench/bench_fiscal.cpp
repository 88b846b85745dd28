// A full fiscal memory (2038 records) read from the emulator on a
// pseudo-terminal that answers at once, through the real serial code: the
// reading alone, and the whole window (tables, current cells, events between
// records) from Open() to the end. Prints wall and CPU time of the program's
// thread (target: under 3 s).
#include <QApplication>
#include <QEventLoop>

#include <cstdio>
#include <memory>

#include "BenchSupport.h"
#include "Fmreader.h"
#include "FmreaderWindow.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "NativeSerialPort.h"
#include "RecordingUi.h"

namespace {

int Rows(const FiscalTable& t) {
    int n = 0;
    for (int r = 1; r <= t.Rows(); ++r) n += !t.Cell(0, r).empty();
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    Connection link;  // the one register this program talks to
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RecordingUi ui;
    InstallUi(&ui);

    Emulator emulator;
    emulator.state.fiscal = true;
    GenerateFiscalMemory(emulator.state, kFiscalRecordCount);
    PtyServer server(std::move(emulator));
    if (!server.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    link.UsePort(std::make_unique<NativeSerialPort>());
    link.Settings().pollLimit = 200000;  // Timeout=2
    if (!link.OpenPort(server.SlavePath())) {
        std::fprintf(stderr, "cannot open %s\n", server.SlavePath().c_str());
        return 1;
    }

    // The reading alone: identity twice, then records 8 to 2045.
    FiscalTables tables = MakeFiscalTables();
    double start = Now();
    double cpuStart = ThreadCpuSeconds();
    ReadFiscalIdentity(link, 0);
    ReadFiscalIdentity(link, 1);
    const FiscalReadEnd end = ReadFiscalMemory(link, tables, {});
    double seconds = Now() - start;
    double cpu = ThreadCpuSeconds() - cpuStart;
    std::printf("fiscal memory, reading only: %d records in %.3f s wall, %.3f s CPU (target < 3 s); "
                "rows %d/%d/%d, %s, %zu warnings\n",
                kFiscalRecordCount, seconds, cpu, Rows(tables[0]), Rows(tables[1]), Rows(tables[2]),
                end == FiscalReadEnd::Exhausted ? "all read" : "ended early", ui.shown.size());

    // The window: from Open() (with the information block) to the end of the
    // reading; the start timer is set to 0 ms so that only the work is timed.
    FmreaderWindow window(link);
    window.SetIntervals(0, 1000);
    QEventLoop loop;
    QObject::connect(&window, &FmreaderWindow::readingActive, &loop, [&](bool active) {
        if (!active) loop.quit();
    });
    start = Now();
    cpuStart = ThreadCpuSeconds();
    if (!window.Open()) {
        std::fprintf(stderr, "the window did not open\n");
        return 1;
    }
    loop.exec();
    seconds = Now() - start;
    cpu = ThreadCpuSeconds() - cpuStart;
    std::printf("fiscal memory, window: %d records in %.3f s wall, %.3f s CPU (target < 3 s); rows %d/%d/%d\n",
                kFiscalRecordCount, seconds, cpu, Rows(window.Table(FiscalKind::DailyReport)),
                Rows(window.Table(FiscalKind::PtuChange)), Rows(window.Table(FiscalKind::RamReset)));

    InstallUi(nullptr);
    server.Stop();
    return 0;
}
