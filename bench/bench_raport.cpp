// The period report over a full fiscal memory of daily reports (2038
// records, read from the emulator): the sums, the PDF drawn and the file
// written, as "Zapisz PDF…" does it. Prints the median of several runs in
// milliseconds (target: at most 1000 ms). With a path as its argument it
// leaves the PDF there to look at.
#include <QApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Dysk.h"
#include "Emulator.h"
#include "EmulatorPort.h"
#include "Fmreader.h"
#include "Pomoc.h"
#include "Raport.h"
#include "RaportDruk.h"
#include "RecordingUi.h"

namespace {

// Daily report i: one a day from 2020-01-01, amounts in every letter.
std::string DailyReport(int i) {
    using namespace std::chrono;
    const year_month_day d{sys_days{year{2020} / January / 1} + days{i}};
    const int y = static_cast<int>(d.year());
    std::string r = "\x01" + PackedDigits(y % 100, 1) + PackedDigits(y / 100, 1) +
                    PackedDigits(static_cast<unsigned>(d.month()), 1) + PackedDigits(static_cast<unsigned>(d.day()), 1);
    for (int k = 0; k < 7; ++k) r += PackedDigits((123457LL * (i + 1) * (k + 3)) % 10000000000LL, 5);
    r += PackedDigits(i % 10000, 2) + PackedDigits(i, 3) + PackedDigits(i % 13, 2) + PackedDigits(199LL * (i % 13), 5);
    r.resize(64, '\0');
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    Connection link;  // the one register this program talks to
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RecordingUi ui;
    InstallUi(&ui);

    Emulator emulator;
    for (int i = 0; i < kFiscalRecordCount; ++i) emulator.state.fiscalMemory[kFirstFiscalRecord + i] = DailyReport(i);
    link.UsePort(std::make_unique<EmulatorPort>(emulator, true));
    FiscalTables tables = MakeFiscalTables();
    ReadFiscalMemory(link, tables, {});
    const auto span = FiscalDateSpan(tables);
    if (!span) {
        std::fprintf(stderr, "nothing read\n");
        return 1;
    }

    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::temp().filePath("bench_raport.pdf");
    const ReportHeading heading{QStringLiteral("ZEL12345678"), QStringLiteral("526-000-00-00")};
    std::vector<double> runs;
    FiscalReport report;
    QByteArray pdf;
    bool written = true;
    for (int run = 0; run < 7; ++run) {
        runs.push_back(Ms([&] {
            report = MakeFiscalReport(tables[0], span->first, span->second);
            const std::vector<FiscalMark> marks = FiscalMarks(tables, span->first, span->second);
            pdf = FiscalReportPdf(report, marks, heading);
            written = ReplaceWholeFile(QFile::encodeName(path).toStdString(), pdf.toStdString()) && written;
        }));
    }
    std::sort(runs.begin(), runs.end());
    const int pages = static_cast<int>(pdf.count("/Type /Page\n"));
    std::printf("period report to PDF: %zu daily reports, %d pages, %lld bytes; median %.0f ms of %zu runs "
                "(fastest %.0f, slowest %.0f; target <= 1000 ms)%s\n",
                report.lines.size(), pages, static_cast<long long>(pdf.size()), runs[runs.size() / 2], runs.size(),
                runs.front(), runs.back(), written ? "" : "; the file could not be written");
    if (argc <= 1) QFile::remove(path);
    InstallUi(nullptr);
    return written ? 0 : 1;
}
