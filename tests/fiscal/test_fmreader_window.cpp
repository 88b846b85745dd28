// The fiscal memory window against the emulator on a pseudo-terminal, through
// the real serial code: readings into the three tables, the training-mode
// refusal, closing during a reading, showing again, searching, a silent
// register.
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "Emulator.h"
#include "FmreaderWindow.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "NativeSerialPort.h"
#include "RecordingUi.h"
#include "Sekwencje.h"

namespace {

const char* const kDone = "Dane pobrano";
const char* const kBusy = "Pobieram dane proszę czekać";
const int kWaitMs = 30000;

int FilledRows(const FiscalTable& t) {
    int n = 0;
    for (int r = 1; r <= t.Rows(); ++r) n += !t.Cell(0, r).empty();
    return n;
}

QString Shown(QTableView* view, int row, int column) {
    return view->model()->data(view->model()->index(row, column)).toString();
}

}  // namespace

class FmreaderWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PtyServer> server;
    Connection link;
    RecordingUi ui;

    // A register in fiscal mode with a generated fiscal memory of `records`.
    void StartRegister(int records, bool fiscal = true, bool silent = false) {
        Emulator e;
        e.state.fiscal = fiscal;
        e.switches.silent = silent;
        GenerateFiscalMemory(e.state, records);
        server = std::make_unique<PtyServer>(std::move(e));
        QVERIFY(server->Start());
        link.UsePort(std::make_unique<NativeSerialPort>());
        QVERIFY(link.OpenPort(server->SlavePath()));
        link.Settings().pollLimit = silent ? 20 : 100000;
    }
    int FiscalRequests() {
        return server->WithEmulator([](Emulator& e) {
            int n = 0;
            for (const auto& r : e.requests) n += !r.empty() && r.back() == 'J';
            return n;
        });
    }
    std::vector<std::string> Requests() {
        return server->WithEmulator([](Emulator& e) { return e.requests; });
    }
    // Opens the window and waits until the reading it starts has ended.
    void ReadAll(FmreaderWindow& w) {
        QSignalSpy spy(&w, &FmreaderWindow::readingActive);
        QVERIFY(w.Open());
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() == 2, kWaitMs);
        QCOMPARE(spy[0][0].toBool(), true);
        QCOMPARE(spy[1][0].toBool(), false);
    }
    static void ExpectDone(FmreaderWindow& w) {
        QCOMPARE(w.BusyLabel()->text(), QString::fromUtf8(kDone));
        QVERIFY(w.BusyLabel()->isVisible());
        QCOMPARE(w.BusyLabel()->palette().color(QPalette::WindowText), QColor(0, 128, 128));
    }
    // Runs `action` from inside the reading once `rows` records have given rows.
    static void WhenRowsRead(FmreaderWindow& w, int rows, std::function<void()> action, QTimer& watcher) {
        watcher.setInterval(0);
        QObject::connect(&watcher, &QTimer::timeout, [&w, rows, action, &watcher] {
            int filled = 0;
            for (int k = 0; k < kFiscalKindCount; ++k) filled += FilledRows(w.Table(static_cast<FiscalKind>(k)));
            if (filled < rows) return;
            watcher.stop();
            action();
        });
        watcher.start();
    }

private slots:
    void init() {
        link.Reset();
        InstallUi(&ui);
        ui = RecordingUi();
    }
    void cleanup() {
        link.Reset();
        InstallUi(nullptr);
        if (server) server->Stop();
        server.reset();
    }

    void readsTheMemoryIntoTheThreeTables_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("daily");
        QTest::addColumn<int>("ptu");
        QTest::addColumn<int>("ram");
        QTest::newRow("record 8 erased") << 0 << 0 << 0 << 0;
        QTest::newRow("120 records") << 120 << 115 << 2 << 3;
        QTest::newRow("full memory") << 2038 << 1976 << 21 << 41;
    }
    void readsTheMemoryIntoTheThreeTables() {
        QFETCH(int, records);
        QFETCH(int, daily);
        QFETCH(int, ptu);
        QFETCH(int, ram);
        StartRegister(records);
        FmreaderWindow w(link);
        w.SetIntervals(10, 20);
        ReadAll(w);
        ExpectDone(w);
        QCOMPARE(ui.Messages(), std::vector<std::string>{});
        QCOMPARE(w.UniqueNumberText(), QString("ZEL12345678"));
        QCOMPARE(w.NipText(), QString("526-000-00-00"));
        QCOMPARE(FilledRows(w.Table(FiscalKind::DailyReport)), daily);
        QCOMPARE(FilledRows(w.Table(FiscalKind::PtuChange)), ptu);
        QCOMPARE(FilledRows(w.Table(FiscalKind::RamReset)), ram);
        // "0N", "0;4J" twice, then records 8 on: up to the erased one, or all 2038.
        const auto requests = Requests();
        QVERIFY(requests.size() >= 4);
        QCOMPARE(requests[0], std::string("0N"));
        QCOMPARE(requests[1], std::string("0;4J"));
        QCOMPARE(requests[2], std::string("0;4J"));
        QCOMPARE(requests[3], std::string("0;8J"));
        QCOMPARE(FiscalRequests(), 2 + std::min(records + 1, kFiscalRecordCount));
        QCOMPARE(requests.back(), "0;" + std::to_string(8 + std::min(records, kFiscalRecordCount - 1)) + "J");
        if (records == 0) return;

        QTableView* dailyView = w.View(FiscalKind::DailyReport);
        QCOMPARE(dailyView->model()->headerData(12, Qt::Horizontal).toString(), QString::fromUtf8("Kwota Anul."));
        const QStringList first = {"1", "2020-01-03", "123.45", "1.07", "0.00", "0.00", "0.00", "0.00", "0.00",
                                   "1", "1", "1", "2.50"};
        for (int c = 0; c < first.size(); ++c) QCOMPARE(Shown(dailyView, 0, c), first[c]);
        QCOMPARE(Shown(w.View(FiscalKind::PtuChange), 1, 2), QString("22.00"));
        QCOMPARE(Shown(w.View(FiscalKind::PtuChange), 1, 6), QString("zw"));
        QCOMPARE(Shown(w.View(FiscalKind::RamReset), 2, 2), QString("04:40"));
        // The last record written is the current cell of its table.
        QCOMPARE(dailyView->currentIndex().row(), daily - 1);
        QCOMPARE(dailyView->currentIndex().column(), 0);
        QCOMPARE(w.View(FiscalKind::RamReset)->currentIndex().row(), ram - 1);
    }

    // Every column is as wide as its title and as the longest text its field
    // can show: a date, the largest amounts and counts are never cut short;
    // the PTU changes and RAM resets need no scrolling sideways.
    void columnsShowWholeTexts() {
        StartRegister(3);
        // Record 10: a daily report with every amount and count at its largest.
        std::string widest = std::string("\x01\x26\x20\x12\x31") + std::string(47, '\x99');
        widest.resize(64, '\0');
        server->WithEmulator([&](Emulator& e) { e.state.fiscalMemory[10] = widest; });
        FmreaderWindow w(link);
        w.SetIntervals(10, 20);
        ReadAll(w);
        QTableView* daily = w.View(FiscalKind::DailyReport);
        QCOMPARE(Shown(daily, 0, 1), QString("2026-12-31"));
        QCOMPARE(Shown(daily, 0, 2), QString("99999999.99"));
        QCOMPARE(Shown(daily, 0, 10), QString("999999"));
        QCOMPARE(FilledRows(w.Table(FiscalKind::PtuChange)), 1);
        QCOMPARE(FilledRows(w.Table(FiscalKind::RamReset)), 1);
        for (int k = 0; k < kFiscalKindCount; ++k) {
            QTableView* view = w.View(static_cast<FiscalKind>(k));
            QHeaderView* header = view->horizontalHeader();
            for (int c = 0; c < header->count(); ++c) {
                // What the view needs to show the title and its rows' texts unelided.
                const int needed = std::max(header->sectionSizeHint(c),
                                            static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c));
                QVERIFY2(view->columnWidth(c) >= needed,
                         qPrintable(QString("%1, column %2: %3 < %4").arg(view->objectName()).arg(c)
                                        .arg(view->columnWidth(c)).arg(needed)));
            }
            // The two small tables show all their columns without scrolling.
            if (static_cast<FiscalKind>(k) != FiscalKind::DailyReport)
                QVERIFY2(view->horizontalScrollBar()->maximum() == 0, qPrintable(view->objectName()));
        }
    }

    void trainingModeRefusesToOpen() {
        StartRegister(10, false);
        FmreaderWindow w(link);
        w.SetIntervals(10, 20);
        QVERIFY(!w.Open());
        QVERIFY(!w.isVisible());
        QCOMPARE(ui.Messages(), std::vector<std::string>{"Kasa jest w trybie szkoleniowym\r"});
        QTest::qWait(100);
        QCOMPARE(FiscalRequests(), 0);
        QCOMPARE(Requests(), std::vector<std::string>{"0N"});
    }

    // "Przerwij" and Esc end the reading before its next record; the window
    // stays open with the rows read, and says from which record on nothing
    // was read. "Nie" to the question about a silent register does the same.
    void stoppingKeepsTheWindowAndItsRows_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Przerwij") << "button";
        QTest::newRow("Esc") << "escape";
    }
    void stoppingKeepsTheWindowAndItsRows() {
        QFETCH(QString, how);
        StartRegister(kFiscalRecordCount);
        FmreaderWindow w(link);
        w.SetIntervals(10, 20);
        QSignalSpy spy(&w, &FmreaderWindow::readingActive);
        int requestsAtStop = -1;
        QTimer watcher;
        WhenRowsRead(w, 5, [&] {
            QVERIFY(w.StopButton()->isVisible());
            requestsAtStop = FiscalRequests();
            if (how == "button") QTest::mouseClick(w.StopButton(), Qt::LeftButton);
            if (how == "escape") QTest::keyClick(w.focusWidget() ? w.focusWidget() : &w, Qt::Key_Escape);
        }, watcher);
        QVERIFY(w.Open());
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() == 2, kWaitMs);
        QVERIFY(w.isVisible());
        QVERIFY(!w.StopButton()->isVisible());
        QTest::qWait(50);
        QCOMPARE(FiscalRequests(), requestsAtStop);
        const int rows = FilledRows(w.Table(FiscalKind::DailyReport)) + FilledRows(w.Table(FiscalKind::PtuChange)) +
                         FilledRows(w.Table(FiscalKind::RamReset));
        QCOMPARE(rows, requestsAtStop - 2);  // every record read gave a row; the identity twice
        QCOMPARE(w.BusyLabel()->text(), QString::fromUtf8("Odczyt niepełny: brak rekordów nr %1 i dalszych "
                                                          "(odczyt przerwany)").arg(requestsAtStop - 2 + 8));
        QVERIFY(w.BusyLabel()->isVisible());
        QCOMPARE(ui.Messages(), std::vector<std::string>{});
        // Nothing is left on the line: the next command gets its own reply.
        QCOMPARE(ReadRegisterState(link).substr(2, 2), std::string("01"));
        QCOMPARE(ui.Messages(), std::vector<std::string>{});
    }

    void closingDuringAReadingStopsIt_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("emptied");
        QTest::newRow("OK") << "ok" << true;
        QTest::newRow("Plik, Wyjscie") << "exit" << true;
        QTest::newRow("close box") << "close" << false;
    }
    void closingDuringAReadingStopsIt() {
        QFETCH(QString, how);
        QFETCH(bool, emptied);
        StartRegister(kFiscalRecordCount);
        FmreaderWindow w(link);
        w.SetIntervals(10, 20);
        QSignalSpy spy(&w, &FmreaderWindow::readingActive);
        int requestsAtClose = -1;
        int rowsAtClose = -1;
        auto allRows = [&w] {
            return FilledRows(w.Table(FiscalKind::DailyReport)) + FilledRows(w.Table(FiscalKind::PtuChange)) +
                   FilledRows(w.Table(FiscalKind::RamReset));
        };
        QTimer watcher;
        WhenRowsRead(w, 5, [&] {
            requestsAtClose = FiscalRequests();
            rowsAtClose = allRows();
            if (how == "ok") w.findChild<QPushButton*>("ok")->click();
            if (how == "exit") w.findChild<QAction*>("exit")->trigger();
            if (how == "close") w.close();
        }, watcher);
        QVERIFY(w.Open());
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() == 2, kWaitMs);
        QVERIFY(!w.isVisible());
        QVERIFY(requestsAtClose > 0);
        QTest::qWait(50);
        // Stopped before the next record: nothing asked for after the close.
        QCOMPARE(FiscalRequests(), requestsAtClose);
        QVERIFY(rowsAtClose >= 5 && rowsAtClose < kFiscalRecordCount);
        QCOMPARE(allRows(), emptied ? 0 : rowsAtClose);
        QCOMPARE(w.BusyLabel()->text(), QString::fromUtf8(kBusy));
        QCOMPARE(w.BusyLabel()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        if (emptied) QCOMPARE(w.View(FiscalKind::DailyReport)->currentIndex().row(), 0);
    }

    void showingAgainStartsAFreshReading_data() {
        QTest::addColumn<bool>("whileStopping");
        QTest::newRow("after the stop") << false;
        QTest::newRow("while the stopped reading is still on the stack") << true;
    }
    void showingAgainStartsAFreshReading() {
        QFETCH(bool, whileStopping);
        StartRegister(120);
        FmreaderWindow w(link);
        w.SetIntervals(10, 20);
        QSignalSpy spy(&w, &FmreaderWindow::readingActive);
        QTimer watcher;
        WhenRowsRead(w, 7, [&] {
            w.close();
            if (whileStopping) w.show();
        }, watcher);
        QVERIFY(w.Open());
        if (!whileStopping) {
            QTRY_VERIFY_WITH_TIMEOUT(spy.count() == 2, kWaitMs);
            QVERIFY(w.Open());
        }
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() == 4, kWaitMs);
        QTest::qWait(50);
        QCOMPARE(spy.count(), 4);
        ExpectDone(w);
        QCOMPARE(FilledRows(w.Table(FiscalKind::DailyReport)), 115);
        QCOMPARE(FilledRows(w.Table(FiscalKind::PtuChange)), 2);
        QCOMPARE(FilledRows(w.Table(FiscalKind::RamReset)), 3);
        QCOMPARE(w.Table(FiscalKind::DailyReport).Cell(1, 1), std::string("2020-01-03"));
        QCOMPARE(w.Table(FiscalKind::DailyReport).Cell(0, 115), std::string("115"));
        QCOMPARE(w.Table(FiscalKind::DailyReport).Cell(0, 116), std::string());
    }

    void searchesStepThroughTheirMatches() {
        StartRegister(120);
        FmreaderWindow w(link);
        w.SetIntervals(10, 20);
        ReadAll(w);
        struct Step {
            const char* action;
            std::optional<std::string> input;  // none: the box is cancelled
            int row, column;                   // -1: not found
            std::string text;                  // searched, as in the not-found box
        };
        const std::vector<Step> steps = {
            {"dailyReportsByDate", "2020-01-0", 0, 1, ""},  // 2020-01-03 ... 2020-01-09: rows 1 to 7
            {"dailyReportsByDate", "2020-01-0", 1, 1, ""},
            {"dailyReportsByNumber", "1", 9, 0, ""},         // the position is shared: 10 is next
            {"dailyReportsByNumber", "1", 10, 0, ""},
            {"ptuChangesByNumber", "1", -1, 0, "1"},         // beyond the PTU rows with 1: none, back to the top
            {"ptuChangesByNumber", "1", 0, 0, ""},
            {"ramResetsByDate", std::nullopt, -1, 1, "rrrr-mm-dd"},
            {"ramResetsByNumber", std::nullopt, -1, 0, "0"},  // no running number of the RAM resets holds 0
            {"dailyReportsByNumber", std::nullopt, 9, 0, ""},
            {"ramResetsByDate", "", -1, 1, ""},
            {"ramResetsByDate", "2020-02", 1, 1, ""},        // 2020-02-20, the second reset
        };
        int i = 0;
        for (const Step& s : steps) {
            const QString where = QString("step %1").arg(i++);
            ui.Clear();
            ui.inputs.clear();
            if (s.input) ui.inputs.push_back(*s.input);
            QAction* action = w.findChild<QAction*>(s.action);
            QVERIFY2(action, s.action);
            action->trigger();
            QVERIFY2(!ui.shown.empty() && ui.shown[0].kind == "input", qPrintable(where));
            QCOMPARE(ui.shown[0].caption, std::string("Wyszukiwanie rekordu"));
            const bool byDate = QString(s.action).endsWith("ByDate");
            QCOMPARE(ui.shown[0].text,
                     std::string(byDate ? "Podaj datę szukanego rekordu" : "Podaj numer szukanego rekordu"));
            if (s.row < 0) {
                QVERIFY2(ui.shown.size() == 2, qPrintable(where));
                QCOMPARE(ui.shown[1].text, "Nie można odnaleźć „" + s.text + "”");
                QCOMPARE(ui.shown[1].caption, std::string("Znajdź"));
                QVERIFY(ui.shown[1].icon == UiIcon::Information);
                continue;
            }
            QVERIFY2(ui.shown.size() == 1, qPrintable(where));
            const char* table = s.action;
            const FiscalKind kind = QString(table).startsWith("daily") ? FiscalKind::DailyReport
                                    : QString(table).startsWith("ptu") ? FiscalKind::PtuChange
                                                                        : FiscalKind::RamReset;
            QCOMPARE(w.View(kind)->currentIndex().row(), s.row);
            QCOMPARE(w.View(kind)->currentIndex().column(), s.column);
        }
    }

    void silentRegisterAsksOnceThenReadsQuietly() {
        StartRegister(10, true, true);
        FmreaderWindow w(link);
        w.SetIntervals(10, 20);
        ui.answers = {true};  // "Tak" to "Kasa nie odpowiada. Kontynuować?"
        ReadAll(w);
        // "0N", the identity twice (one record), records 8 and 9; then the
        // question, and the other records without a box.
        QCOMPARE(ui.Count("Brak odpowiedzi z kasy"), 1 + 2 + 2);
        QCOMPARE(ui.Count("Kasa nie odpowiada. Kontynuować?"), 1);
        QCOMPARE(ui.Count("Kasa nie odpowiedziała dla 2039 rekordów (nr 4, 8, 9, 10, 11, …). "
                          "Te rekordy nie zostały odczytane."),
                 1);
        QCOMPARE(w.UniqueNumberText(), QString());
        QCOMPARE(w.NipText(), QString());
        QCOMPARE(FilledRows(w.Table(FiscalKind::DailyReport)), 0);
        QCOMPARE(w.BusyLabel()->text(), QString::fromUtf8("Odczyt niepełny: brak rekordów nr 8–2045"));
        QCOMPARE(w.BusyLabel()->palette().color(QPalette::WindowText), QColor(170, 0, 0));
    }
};

QTEST_MAIN(FmreaderWindowTest)
#include "test_fmreader_window.moc"
