// The main window against a register on a line that misbehaves: stray bytes
// between replies, replies for another record, replies that come after the
// time-out, while the question about a silent register is open or after a
// stop. Every row ends as the register's own record or is named as missing,
// and no command takes another command's reply.
#include <QtTest>

#include <QPushButton>
#include <QTableWidget>

#include <string>
#include <vector>

#include "Main.h"
#include "PtyAppFixture.h"
#include "QtUi.h"

namespace {

constexpr int kPluCount = 20;

// The window's Ui with its boxes recorded; a question first waits as long as
// a person reading it would, and runs `duringQuestion` meanwhile.
class WindowUi : public QtUi {
public:
    RecordingUi record;
    int questionMs = 0;
    std::function<void()> duringQuestion;
    void Message(const std::string& text, const std::string& caption, UiIcon icon) override {
        record.Message(text, caption, icon);
    }
    bool Question(const std::string& text, const std::string& caption, UiIcon icon) override {
        if (duringQuestion) duringQuestion();
        if (questionMs > 0) QTest::qWait(questionMs);
        return record.Question(text, caption, icon);
    }
    std::optional<std::string> Input(const std::string& prompt, const std::string& caption,
                                     const std::string& initial) override {
        return record.Input(prompt, caption, initial);
    }
};

// Every packaging record filled: "OPAK n", price n zł.
void FullPackaging(Emulator& e) {
    for (int i = 0; i < 15; ++i) {
        std::string name = "OPAK " + std::to_string(i + 1);
        name.append(19 - name.size(), '\xFF');
        e.state.records[0][i] = name + PackedDigits((i + 1) * 100, 5) + std::string(16, '\0');
    }
}

// Every cell of the eight record and text tables, as one list.
std::vector<std::string> AllCells(const TableSet& t) {
    std::vector<std::string> cells;
    for (TableId id : {TableId::Packaging, TableId::Plu, TableId::Cashier, TableId::Key, TableId::Discount,
                       TableId::Surcharge, TableId::PaymentForm, TableId::Header, TableId::Ptu})
        for (int r = 1; r <= t.Rows(id); ++r)
            for (int c = 0; c < t.Columns(id); ++c) cells.push_back(t.Cell(id, c, r));
    return cells;
}

}  // namespace

class LineTest : public QObject, protected PtyAppFixture {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;
    WindowUi qt;

    MainWindow& Start(const std::string& timeout, int mode) {
        WriteConfigFile(timeout, mode, std::to_string(kPluCount));
        window = std::make_unique<MainWindow>(link, &qt, dir);
        InstallUi(&qt);
        return *window;
    }
    void EmptyTables(TableSet& t) {
        for (TableId id : {TableId::Packaging, TableId::Plu, TableId::Cashier, TableId::Key, TableId::Discount,
                           TableId::Surcharge, TableId::PaymentForm})
            for (int r = 1; r <= t.Rows(id); ++r) t.ClearRow(id, r);
        for (int r = 1; r <= t.Rows(TableId::Header); ++r) t.SetCell(TableId::Header, 1, r, "");
        for (int r = 1; r <= t.Rows(TableId::Ptu); ++r) t.SetCell(TableId::Ptu, 1, r, "");
    }
    QString InfoValue(int row) {
        QTableWidgetItem* item = window->Service().informationGrid->item(row, 1);
        return item ? item->text() : QString();
    }

private slots:
    void init() {
        SetUpFixture("zeltra-line-");
        qt.record = RecordingUi();
        qt.questionMs = 0;
        qt.duringQuestion = nullptr;
        QVERIFY(LaunchEmulator([](Emulator& e) {
            e.SetModel(1);
            e.LoadDemoData();
            FullPackaging(e);
        }));
    }
    void cleanup() {
        window.reset();
        TearDownFixture();
    }

    // "Pobierz bazy z kasy" in mode 2 over a line that adds stray bytes after
    // every fifth frame and a register that answers every seventh record read
    // with the next record: the same tables as over a clean line, no box.
    void noisyLineReadsTheSameTables() {
        MainWindow& w = Start("1", 2);
        server->WithEmulator([](Emulator& e) { e.state.errorMode = 2; });
        QTest::mouseClick(w.Service().readAll, Qt::LeftButton);
        QCOMPARE(qt.record.Messages(), std::vector<std::string>{});
        const std::vector<std::string> clean = AllCells(w.Tables());
        QVERIFY(w.Tables().RowHasRecord(TableId::Packaging, 15));

        EmptyTables(w.Tables());
        server->WithEmulator([](Emulator& e) {
            e.switches.strayEvery = 5;
            e.switches.wrongRecordEvery = 7;
        });
        QTest::mouseClick(w.Service().readAll, Qt::LeftButton);
        QCOMPARE(qt.record.Messages(), std::vector<std::string>{});
        QVERIFY(AllCells(w.Tables()) == clean);
    }

    // Replies that come after the time-out: three records go without their
    // own reply and the question is asked; the late replies arrive while it
    // is open. "Tak": the rest are read as the register holds them, the three
    // keep their rows and are named. "Nie", or Przerwij: the next command,
    // "Pobierz informacje kasowe", shows the register's own answers.
    void lateRepliesNeverAnswerAnotherRequest_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Tak to the question") << "Tak";
        QTest::newRow("Nie to the question") << "Nie";
        QTest::newRow("Przerwij") << "Przerwij";
    }
    void lateRepliesNeverAnswerAnotherRequest() {
        QFETCH(QString, how);
        MainWindow& w = Start("1", 1);
        TableSet& t = w.Tables();
        for (int r = 1; r <= 15; ++r) {
            t.SetCell(TableId::Packaging, 0, r, std::to_string(r));
            t.SetCell(TableId::Packaging, 1, r, "STARE");
        }
        server->WithEmulator([](Emulator& e) { e.switches.lateMs = 1500; });
        auto punctual = [this] { server->WithEmulator([](Emulator& e) { e.switches.lateMs = 0; }); };
        if (how == "Przerwij") {
            QTimer::singleShot(300, [&] {
                QTest::mouseClick(w.StopButton(), Qt::LeftButton);
                punctual();
            });
        } else {
            qt.questionMs = 2500;
            qt.duringQuestion = punctual;
            qt.record.answers = {how == "Tak"};
        }
        QTest::mouseClick(w.Buttons(1).read, Qt::LeftButton);

        if (how == "Tak") {
            QCOMPARE(qt.record.Count("Brak odpowiedzi z kasy"), 3);
            QCOMPARE(qt.record.Messages().back(),
                     std::string("Kasa nie odpowiedziała dla 3 rekordów (nr 1, 2, 3). Te wiersze pozostały bez zmian."));
            for (int r = 1; r <= 15; ++r)
                QCOMPARE(t.Cell(TableId::Packaging, 1, r), r <= 3 ? std::string("STARE") : "OPAK " + std::to_string(r));
            for (int r = 4; r <= 15; ++r) QCOMPARE(t.Cell(TableId::Packaging, 2, r), std::to_string(r) + ".00");
        } else {
            for (int r = 1; r <= 15; ++r)
                QVERIFY(t.Cell(TableId::Packaging, 1, r) == "STARE" ||
                        t.Cell(TableId::Packaging, 1, r) == "OPAK " + std::to_string(r));
        }

        qt.record = RecordingUi();
        QTest::mouseClick(w.Service().information, Qt::LeftButton);
        QCOMPARE(qt.record.Messages(), std::vector<std::string>{});
        QCOMPARE(InfoValue(3), QString("ZEL12345678"));
        QCOMPARE(InfoValue(4), QString::fromUtf8("Wyświetlacz-OFF, RS232-OFF"));
        QCOMPARE(InfoValue(5), QString("Tryb szkoleniowy"));
        QVERIFY(InfoValue(10).startsWith("20"));
    }
};

QTEST_MAIN(LineTest)
#include "test_linia.moc"
