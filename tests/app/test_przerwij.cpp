// Long operations in the main window against the emulator on a
// pseudo-terminal: "Przerwij" and Esc stop a transfer, a table deletion or a
// data file between records; meanwhile no other key, click or shortcut
// reaches the window; beside the bar the records done and the time left; a
// register gone silent is asked about once. The window's own Ui runs the
// bars and the stop; its boxes go to a recorder.
#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <functional>

#include "Edytory.h"
#include "Main.h"
#include "Pliki.h"
#include "PtyAppFixture.h"
#include "QtUi.h"

namespace {

constexpr int kPluCount = 20;

// The window's Ui with its boxes recorded and answered from a script.
class WindowUi : public QtUi {
public:
    RecordingUi record;
    void Message(const std::string& text, const std::string& caption, UiIcon icon) override {
        record.Message(text, caption, icon);
    }
    bool Question(const std::string& text, const std::string& caption, UiIcon icon) override {
        return record.Question(text, caption, icon);
    }
    std::optional<std::string> Input(const std::string& prompt, const std::string& caption,
                                     const std::string& initial) override {
        return record.Input(prompt, caption, initial);
    }
};

// Runs `action` at the operation's first handling of the window's events.
void DuringTheOperation(std::function<void()> action) {
    QTest::qWait(60);  // the events' last round is long enough ago
    QTimer::singleShot(0, action);
}

}  // namespace

class StopTest : public QObject, protected PtyAppFixture {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;
    WindowUi qt;

    MainWindow& Start(bool show = true) {
        WriteConfigFile("2", 1, std::to_string(kPluCount));
        window = std::make_unique<MainWindow>(link, &qt, dir);  // start-up's boxes go to the fixture's recorder
        InstallUi(&qt);
        if (show) {
            window->show();
            if (!QTest::qWaitForWindowActive(window.get())) qWarning("the window did not become active");
        }
        return *window;
    }
    int Reads(char digit) {
        int n = 0;
        for (const auto& r : Requests()) n += r.size() > 2 && r.back() == 'H' && r[r.size() - 2] == digit;
        return n;
    }

private slots:
    void init() {
        SetUpFixture("zeltra-stop-");
        qt.record = RecordingUi();
        QVERIFY(LaunchEmulator([](Emulator& e) {
            e.SetModel(1);
            e.LoadDemoData();
        }));
    }
    void cleanup() {
        window.reset();
        TearDownFixture();
    }

    void stopEndsTheOperationBetweenRecords_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("how");
        for (const char* op : {"PLU download", "all tables read", "PLU table deletion"})
            for (const char* how : {"Przerwij", "Esc"}) QTest::newRow(qPrintable(QString("%1, %2").arg(op, how))) << op << how;
    }
    void stopEndsTheOperationBetweenRecords() {
        QFETCH(QString, operation);
        QFETCH(QString, how);
        MainWindow& w = Start();
        w.ShowTab(operation == "PLU download" ? 1 : 8);
        for (int r = 1; r <= kPluCount; ++r) w.Tables().SetCell(TableId::Plu, 0, r, std::to_string(r));
        const bool all = operation == "all tables read";
        QPushButton* stop = all ? w.Service().overallStop : w.StopButton();
        bool seen = false;
        QString countShown;
        DuringTheOperation([&] {
            seen = stop->isVisible();
            // Beside the bar: records done of all (here the first record is
            // still under way).
            countShown = w.MainCount()->isVisible() ? w.MainCount()->text() : QString();
            if (how == "Przerwij")
                QTest::mouseClick(stop, Qt::LeftButton);
            else
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_Escape);
        });
        ClearRequests();
        if (operation == "PLU download") QTest::mouseClick(w.Buttons(2).read, Qt::LeftButton);
        if (all) QTest::mouseClick(w.Service().readAll, Qt::LeftButton);
        if (operation == "PLU table deletion") QTest::mouseClick(w.Buttons(2).deleteTable, Qt::LeftButton);
        QVERIFY(seen);
        if (!all) QCOMPARE(countShown, QString(operation == "PLU download" ? "0 z 21" : "0 z 20"));

        // Ended before the next record: the download after its first, the
        // deletion and the all-tables run before theirs (they handle the
        // window's events before a record, the download after its reply).
        const auto requests = Requests();
        if (operation == "PLU download") QCOMPARE(requests, std::vector<std::string>{"0;0;7H"});
        if (operation == "PLU table deletion") {
            QCOMPARE(requests, std::vector<std::string>{});
            for (int r = 1; r <= kPluCount; ++r) QVERIFY(w.Tables().RowHasRecord(TableId::Plu, r));
        }
        if (all) QCOMPARE(requests, std::vector<std::string>{});
        QCOMPARE(qt.record.Messages(), std::vector<std::string>{});
        QVERIFY(!stop->isVisible());
        QVERIFY(!w.MainCount()->isVisible());
        QVERIFY(!w.MainBar()->isVisible());
        QVERIFY(!qt.Busy());

        // Nothing left on the line: the next command gets its own replies.
        ClearRequests();
        QTest::mouseClick(w.Buttons(1).read, Qt::LeftButton);
        QCOMPARE(Reads('0'), 15);
        QCOMPARE(qt.record.Messages(), std::vector<std::string>{});
        QVERIFY(w.Tables().RowHasRecord(TableId::Packaging, 1));
    }

    // While a transfer runs, keys typed into an entry row, a click on a tab,
    // a menu shortcut, F9 and a click on another command do nothing, then or later.
    void otherInputWaitsOutATransfer() {
        MainWindow& w = Start();
        w.ShowTab(0);
        QLineEdit* number = qobject_cast<QLineEdit*>(w.Editor(1)->Field("number"));
        QVERIFY(number);
        number->setFocus();
        QTabBar* tabs = w.Tabs()->tabBar();
        DuringTheOperation([&] {
            QTest::keyClicks(number, "123");
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
            QTest::keyClick(number, Qt::Key_F9);
            QTest::keyClick(number, Qt::Key_P, Qt::AltModifier);
            QTest::mouseClick(w.Buttons(1).send, Qt::LeftButton);
        });
        ClearRequests();
        QTest::mouseClick(w.Buttons(1).read, Qt::LeftButton);
        QTest::qWait(50);
        QCOMPARE(number->text(), QString());
        QCOMPARE(w.Tabs()->currentIndex(), 0);
        QCOMPARE(Requests().size(), size_t(15));  // the reading's own, nothing sent
        QVERIFY(!QApplication::activePopupWidget());
        // Afterwards the window takes input again.
        QTest::keyClicks(number, "7");
        QCOMPARE(number->text(), QString("7"));
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        QCOMPARE(w.Tabs()->currentIndex(), 2);
    }

    // A register that dies part-way through "Pobierz bazy z kasy": three
    // boxes, one question, and with "Tak" one summary at the end.
    void silentRegisterIsAskedAboutOnce() {
        MainWindow& w = Start(false);
        server->WithEmulator([](Emulator& e) { e.switches.silent = true; });
        link.Settings().pollLimit = 2000;
        qt.record.answers = {true};
        QTest::mouseClick(w.Service().readAll, Qt::LeftButton);
        QCOMPARE(qt.record.Count("Brak odpowiedzi z kasy"), 3);
        QCOMPARE(qt.record.Count("Kasa nie odpowiada. Kontynuować?"), 1);
        // 15 packaging, 21 PLU, 8 cashiers, 11 keys, 8 discounts, 4 payment forms, header, rates.
        QCOMPARE(qt.record.Messages().back(),
                 std::string("Kasa nie odpowiedziała dla 69 rekordów (opakowania nr 1, 2, 3, 4, 5, …). "
                             "Te wiersze pozostały bez zmian."));
        QCOMPARE(qt.record.Messages().size(), size_t(4));
    }

    // A data file saved or loaded through the window, stopped at its first
    // record: the save leaves the old file byte for byte, the load keeps the
    // one row it read.
    void dataFileStopsBetweenRecords() {
        MainWindow& w = Start();
        TableSet& t = w.Tables();
        const QString path = dir + "/dane.pod";
        t.SetCell(TableId::Packaging, 0, 1, "1");
        t.SetCell(TableId::Packaging, 1, 1, "Stara");
        t.SetCell(TableId::Packaging, 0, 2, "2");
        t.SetCell(TableId::Packaging, 1, 2, "Stara");
        w.SaveDataFileTo(path);
        const std::string before = testfiles::Slurp(path.toStdString());
        QVERIFY(before.find("Opak1=1;Stara;") != std::string::npos);

        t.SetCell(TableId::Packaging, 1, 1, "Nowa");
        t.SetCell(TableId::Packaging, 1, 2, "Nowa");
        DuringTheOperation([&] { QTest::mouseClick(w.StopButton(), Qt::LeftButton); });
        w.SaveDataFileTo(path);
        QCOMPARE(testfiles::Slurp(path.toStdString()), before);
        QVERIFY(!w.StopButton()->isVisible());

        DuringTheOperation([&] { QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_Escape); });
        w.OpenDataFileFrom(path);
        QCOMPARE(t.Cell(TableId::Packaging, 1, 1), std::string("Stara"));
        QCOMPARE(t.Cell(TableId::Packaging, 1, 2), std::string("Nowa"));
        QVERIFY(!DataFileBusy());
        QCOMPARE(qt.record.Messages(), std::vector<std::string>{});
    }
};

QTEST_MAIN(StopTest)
#include "test_przerwij.moc"
