// The main window's wiring against the emulator on a pseudo-terminal: the
// entry rows under the grids, the transfer and deletion buttons, the register
// information, the settings dialog and the clock. Keys and buttons are the
// real ones; message boxes go to a recorder.
#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include "Cp1250.h"
#include "Edytory.h"
#include "Konfigkasy.h"
#include "Main.h"
#include "Sekwencje.h"
#include "PtyAppFixture.h"
#include "QtUi.h"
#include "TableModel.h"

// Commands that get no reply may still be on their way to the emulator.
#define WAIT_SENT(expected) QTRY_COMPARE_WITH_TIMEOUT(Requests(), (expected), 5000)

namespace {

constexpr int kPluCount = 20;  // keeps the PLU reads short

// 2007-12-31 23:59:58, counted like UTC as the emulator's clock is.
long long FixedNow() { return 1199145598; }

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
std::string Win(const char* utf8) { return Utf8ToCp1250(utf8); }

// Characters typed one by one, Polish letters included.
void Type(QWidget* field, const QString& keys) {
    for (QChar ch : keys) QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

}  // namespace

class WiringTest : public QObject, protected PtyAppFixture {
    Q_OBJECT

    void WriteConfig(int mode = 1) { WriteConfigFile("2", mode, std::to_string(kPluCount)); }
    static QLineEdit* Line(RecordEditor* editor, const char* name) {
        return qobject_cast<QLineEdit*>(editor->Field(name));
    }
    static QComboBox* Combo(RecordEditor* editor, const char* name) {
        return qobject_cast<QComboBox*>(editor->Field(name));
    }
    static QString Text(QTableWidget* grid, int row, int column) {
        QTableWidgetItem* item = grid->item(row, column);
        return item ? item->text() : QStringLiteral("<no item>");
    }
    // Clicks `button`, which opens a file dialog, and picks `path` in it.
    static void ClickThroughFileDialog(QPushButton* button, const QString& path) {
        QTimer answer;
        answer.setInterval(20);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                // The whole path typed into the name field, then Open or Save.
                if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText(path);
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        answer.start();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static std::vector<std::string> Row(MainWindow& w, TableId t, int row) {
        std::vector<std::string> cells;
        for (int c = 0; c < w.Tables().Columns(t); ++c) cells.push_back(w.Tables().Cell(t, c, row));
        return cells;
    }

private slots:
    void init() {
        SetUpFixture("zeltra-wire-");
        QVERIFY(LaunchEmulator([](Emulator& e) {
            e.SetModel(1);
            e.now = FixedNow;
        }));
    }
    void cleanup() { TearDownFixture(); }

    // Each table: a record typed into its entry row and added, sent with the
    // tab's button, its cells emptied, read back with the tab's button. Then
    // the same for all tables at once through the service tab.
    void recordsGoToTheRegisterAndBack() {
        WriteConfig();
        MainWindow w(link, nullptr, dir);
        QVERIFY(w.OnLine());
        QCOMPARE(w.Tables().Model(), 1);

        struct Case {
            int tab, which;
            TableId table;
            std::vector<std::pair<const char*, const char*>> typed;  // field, UTF-8 keys
            std::vector<std::pair<const char*, const char*>> chosen; // combo, text
            std::vector<std::pair<const char*, bool>> switches;
            int row;
            std::vector<std::string> cells;
            std::vector<int> readColumns;  // the cells a read restores
        };
        const Case cases[] = {
            {1, 0, TableId::Packaging, {{"number", "3"}, {"name", "Butelka 0,5"}, {"price", "0.5"}},
             {}, {}, 3, {"3", "Butelka 0,5", "0.50"}, {0, 1, 2}},
            {2, 0, TableId::Plu,
             {{"number", "12"}, {"name", "Żurek"}, {"barcode", "5901234123457"},
              {"packaging", "3"}, {"price", "2,5"}, {"stock", "12"}},
             {{"rate", "B"}}, {{"fractional", false}}, 12,
             {"12", Win("Żurek"), "5901234123457", "B", "3", "2.50", "12", "NIE"},
             {0, 1, 2, 3, 4, 5, 6, 7}},
            {3, 0, TableId::Cashier, {{"number", "2"}, {"name", "ANNA"}, {"password", "0012"}}, {},
             {}, 2, {"2", "ANNA", "0012"}, {0, 1, 2}},
            {4, 0, TableId::Key, {{"number", "4"}, {"plu", "12"}, {"quantity", "1"}}, {}, {{"ends", true}}, 4,
             {"4", "12", "1", "TAK"}, {0, 1, 2, 3}},
            {5, 0, TableId::Discount, {{"number", "2"}, {"name", "RABAT"}, {"value", "5"}}, {},
             {}, 2, {"2", "RABAT", "5.00"}, {0, 1, 2}},
            {5, 1, TableId::Surcharge, {{"number", "6"}, {"name", "DOPŁATA"}, {"value", "10"}}, {},
             {}, 2, {"6", Win("DOPŁATA"), "10.00"}, {0, 1, 2}},
            {6, 0, TableId::PaymentForm, {{"number", "1"}, {"name", "GOTÓWKA"}}, {}, {}, 1,
             {"1", Win("GOTÓWKA"), ""}, {0, 1}},
            {7, 0, TableId::Header, {{"number", "1"}, {"text", "ABCDE"}}, {}, {}, 1,
             {"1", "       ABCDE"}, {1}},
            {8, 0, TableId::Ptu, {{"value", "22"}}, {{"symbol", "C"}, {"status", "AKTYWNA"}},
             {}, 3, {"C", "22.00", "AKTYWNA"}, {1, 2}},
        };
        for (const Case& c : cases) {
            const QString what = QStringLiteral("tab %1/%2").arg(c.tab).arg(c.which);
            RecordEditor* editor = w.Editor(c.tab, c.which);
            QVERIFY2(editor && editor->Table() == c.table, qPrintable(what));
            QVERIFY(editor->isVisibleTo(w.EntryArea(c.tab, c.which)));
            for (const auto& [field, keys] : c.typed) {
                Line(editor, field)->clear();
                Type(Line(editor, field), Q(keys));
            }
            for (const auto& [field, text] : c.chosen) Combo(editor, field)->setEditText(Q(text));
            for (const auto& [field, on] : c.switches)
                qobject_cast<QCheckBox*>(editor->Field(field))->setChecked(on);
            QTest::mouseClick(editor->AddButton(), Qt::LeftButton);
            std::vector<std::string> expected = c.cells;
            expected.resize(static_cast<size_t>(w.Tables().Columns(c.table)));
            QCOMPARE(Row(w, c.table, c.row), expected);
            // The grid went to the new record, the entry row was emptied after it.
            QCOMPARE(w.Grid(c.table)->currentIndex().row(), c.row - 1);
            QCOMPARE(w.Grid(c.table)->currentIndex().column(), 0);
            if (c.table != TableId::Ptu) QVERIFY2(editor->NumberText().isEmpty(), qPrintable(what));
            QVERIFY2(ui.Messages().size() == 1, qPrintable(what));  // the start-up message only

            ClearRequests();
            QTest::mouseClick(w.Buttons(c.tab).send, Qt::LeftButton);
            QTRY_VERIFY2_WITH_TIMEOUT(!Requests().empty(), qPrintable(what), 5000);
            for (int col : c.readColumns) w.Tables().SetCell(c.table, col, c.row, "");
            QTest::mouseClick(w.Buttons(c.tab).read, Qt::LeftButton);
            QCOMPARE(Row(w, c.table, c.row), expected);
        }
        QCOMPARE(ui.Messages().size(), size_t(1));

        // All at once: the register forgets the records, the service tab's
        // buttons send the six record tables and read every tab back.
        server->WithEmulator([](Emulator& e) { e.state.records.clear(); });
        QTest::mouseClick(w.Service().sendAll, Qt::LeftButton);
        std::vector<std::vector<std::string>> before;
        for (const Case& c : cases) {
            before.push_back(Row(w, c.table, c.row));
            for (int col : c.readColumns) w.Tables().SetCell(c.table, col, c.row, "");
        }
        QTest::mouseClick(w.Service().readAll, Qt::LeftButton);
        for (size_t i = 0; i < std::size(cases); ++i)
            QCOMPARE(Row(w, cases[i].table, cases[i].row), before[i]);
        QVERIFY(!w.Service().overallBar->isVisibleTo(&w));
        QVERIFY(!w.MainBar()->isVisibleTo(&w));
        QCOMPARE(ui.Messages().size(), size_t(1));
    }

    // The header and the rates go only to a register in training mode.
    void headerAndRatesWaitForTrainingMode() {
        WriteConfig();
        MainWindow w(link, nullptr, dir);
        w.Tables().SetCell(TableId::Header, 1, 1, "ABC");
        const struct {
            int tab;
            bool fiscal;
            const char* message;  // empty: sent
            const char* command;
        } cases[] = {
            {7, true, "Programowanie nagłówka z komputera\rjest możliwe tylko w trybie szkoleniowym", "0X"},
            {8, true, "Programowanie stawek z komputera\rjest możliwe tylko w trybie szkoleniowym", "0Z"},
            {7, false, "", "0X"},
            {8, false, "", "0Z"},
        };
        for (const auto& c : cases) {
            server->WithEmulator([&](Emulator& e) { e.state.fiscal = c.fiscal; });
            ClearRequests();
            ui.Clear();
            QTest::mouseClick(w.Buttons(c.tab).send, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(Requests().size(), size_t(*c.message ? 1 : 2), 5000);
            const auto requests = Requests();
            QVERIFY(!requests.empty());
            QCOMPARE(requests.front(), std::string("0N"));  // asked first
            bool sent = false;
            for (const auto& r : requests) sent |= r.rfind(c.command, 0) == 0;
            QCOMPARE(sent, *c.message == 0);
            QCOMPARE(ui.Messages(), *c.message ? std::vector<std::string>{c.message}
                                               : std::vector<std::string>{});
        }
    }

    void informationGridShowsTheRegister() {
        WriteConfig(2);
        server->WithEmulator([](Emulator& e) {
            e.state.fiscal = true;
            e.state.settingsFlags = 0x03;
            e.state.uniqueNumber = "ZEL12345678";
            e.state.fiscalMemory[8] = std::string("\x01\x07\x20\x12\x31", 5);
        });
        MainWindow w(link, nullptr, dir);
        QTableWidget* grid = w.Service().informationGrid;
        QVERIFY(!grid->isVisibleTo(&w));
        QVERIFY(!w.Service().informationHeading->isVisibleTo(&w));
        ClearRequests();
        QTest::mouseClick(w.Service().information, Qt::LeftButton);
        QCOMPARE(Requests(), (std::vector<std::string>{"0N", "0;4J", "0L"}));
        QVERIFY(grid->isVisibleTo(&w));
        QCOMPARE(w.Service().informationHeading->text(), Q("Informacje kasowe"));
        QVERIFY(w.Service().informationHeading->isVisibleTo(&w));
        QCOMPARE(grid->rowCount(), 11);
        QCOMPARE(grid->columnCount(), 2);
        QCOMPARE(grid->columnWidth(0), 170);
        QCOMPARE(grid->columnWidth(1), 180);
        const char* const rows[11][2] = {
            {"Typ kasy", "ZELTRA ARK MIRRA"},
            {"Nr fabryczny", "123456"},
            {"Wersja oprogramowania", "V1.07"},
            {"Nr unikatowy", "ZEL12345678"},
            {"Tryb obsługi błędów", "Wyświetlacz-ON, RS232-ON"},
            {"Tryb pracy", "Tryb fiskalny"},
            {"Sposób wprowadzania kwot", "w groszach"},
            {"Sposób komunikacji", "ON-LINE"},
            {"Jakość wydruku", "Normalny wydruk"},
            {"Data ostatniego zapisu w FM", "2007-12-31"},
            {"Data i czas w kasie", "2007-12-31 23:59:58"},
        };
        for (int r = 0; r < 11; ++r) {
            QCOMPARE(Text(grid, r, 0), Q(rows[r][0]));
            QCOMPARE(Text(grid, r, 1), Q(rows[r][1]));
        }
        QCOMPARE(ui.Messages().size(), size_t(1));

        // A second reading overwrites its cells; a silent register leaves the
        // two mode rows as they were.
        server->WithEmulator([](Emulator& e) {
            e.state.fiscal = false;
            e.state.settingsFlags = 0x0C;
        });
        QTest::mouseClick(w.Service().information, Qt::LeftButton);
        QCOMPARE(Text(grid, 5, 1), Q("Tryb szkoleniowy"));
        QCOMPARE(Text(grid, 6, 1), Q("w złotówkach"));
        QCOMPARE(Text(grid, 7, 1), Q("OFF-LINE"));
        QCOMPARE(Text(grid, 8, 1), Q("Ciemny wydruk"));
        server->WithEmulator([](Emulator& e) { e.switches.silent = true; });
        link.Settings().pollLimit = 20000;
        ui.Clear();
        QTest::mouseClick(w.Service().information, Qt::LeftButton);
        QVERIFY(ui.Count("Brak odpowiedzi z kasy") >= 3);
        QCOMPARE(Text(grid, 4, 1), Q("Wyświetlacz-ON, RS232-ON"));
        QCOMPARE(Text(grid, 5, 1), Q("Tryb szkoleniowy"));
        QCOMPARE(Text(grid, 0, 1), Q("ZELTRA ARK MIRRA"));
    }

    // "Wyślij zmiany" on the PLU tab: without a copy the full send is offered
    // and done on "Tak"; then a changed price and an emptied row are all that
    // goes out, and the register ends with the window's records.
    void sendChangesSendsOnlyWhatChanged() {
        const QByteArray data = (dir + "/dane").toLocal8Bit();
        qputenv("ZELTRA_DATA_DIR", data);
        WriteConfig();
        MainWindow w(link, nullptr, dir);
        QVERIFY(w.OnLine());
        TableSet& t = w.Tables();
        for (int r = 1; r <= t.Rows(TableId::Plu); ++r)
            for (const auto& [c, text] : std::vector<std::pair<int, std::string>>{
                     {0, std::to_string(r)}, {1, "Towar" + std::to_string(r)}, {3, "A"}, {4, "0"}, {5, "1.00"},
                     {6, "1"}, {7, "NIE"}})
                t.SetCell(TableId::Plu, c, r, text);
        QPushButton* changes = w.Buttons(2).sendChanges;
        QVERIFY(changes && changes->isEnabled());
        QCOMPARE(changes->text(), Q("Wyślij z&miany"));

        // Uploads in mode 1 get no reply: the frames may still be on their
        // way to the register (through wine and socat on Windows) when the
        // click returns, so the register's side is waited for.
        auto requests = [&] {
            return server->WithEmulator([](Emulator& e) { return static_cast<int>(e.requests.size()); });
        };
        auto held = [&](int index) {
            return server->WithEmulator([index](Emulator& e) {
                const auto& plu = e.state.records[7];
                const auto it = plu.find(index);
                return it == plu.end() ? std::string() : it->second;
            });
        };
        const int startUp = requests();
        ui.answers = {true};
        QTest::mouseClick(changes, Qt::LeftButton);
        QCOMPARE(ui.Count("Brak zapisanego stanu kasy nr 123456: wyślij całe tabele, a następnym razem program "
                          "wyśle tylko zmiany.\r\rWysłać teraz całą bazę?"),
                 1);
        QCOMPARE(t.Rows(TableId::Plu), 20);  // MaxPlu of the test's config.cfg
        QTRY_COMPARE_WITH_TIMEOUT(requests() - startUp, 20, 5000);  // "Tak": the whole table went
        const int sent = requests();

        t.SetCell(TableId::Plu, 5, 2, "2.50");
        t.ClearRow(TableId::Plu, 4);
        ui.Clear();
        QTest::mouseClick(changes, Qt::LeftButton);
        QCOMPARE(ui.Messages().size(), size_t(1));
        QVERIFY2(ui.Messages()[0].rfind("Wysłano 1 zmieniony rekord z 20, usunięto 1", 0) == 0,
                 ui.Messages()[0].c_str());
        QTRY_COMPARE_WITH_TIMEOUT(held(1), RecordBytes(t, TableId::Plu, 2), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(held(3).empty(), 5000);  // deleted in the register
        // The sample read back (the first, the last and 8 more) and the two
        // changes; the full send wrote all 20 records.
        QVERIFY2(requests() - sent <= 12, qPrintable(QString::number(requests() - sent)));
        qunsetenv("ZELTRA_DATA_DIR");
    }

    void settingsDialogSendsAndRefuses() {
        WriteConfig();
        MainWindow w(link, nullptr, dir);
        RegisterSettingsDialog dialog(link, &w);
        AuxiliaryWindows windows;
        windows.registerSettings = &dialog;
        w.SetAuxiliaryWindows(windows);

        w.findChild<QAction*>("registerSettingsAction")->trigger();
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.isModal());
        QCOMPARE(dialog.windowTitle(), Q("Ustawienia kasy"));
        QCOMPARE(dialog.Password()->text(), Q("7391"));
        QCOMPARE(dialog.Password()->maxLength(), 4);
        QCOMPARE(dialog.ErrorMode()->itemText(3), Q("Wyświetlacz-OFF, RS-ON"));
        QCOMPARE(dialog.PrintQuality()->itemText(0), Q("Standartowa"));
        QCOMPARE(dialog.PrintQuality()->itemText(2), Q("Ciemniejszy"));
        QCOMPARE(dialog.WorkMode()->itemText(1), Q("ON-LINE"));
        QCOMPARE(dialog.AmountMode()->itemText(1), Q("w groszach"));
        for (QComboBox* list : {dialog.ErrorMode(), dialog.PrintQuality(), dialog.WorkMode(),
                                dialog.AmountMode()})
            QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(dialog.SendButton()->text(), Q("Wyślij do kasy"));

        const struct {
            const char* password;
            int errorMode, quality, work, amount;
            std::vector<std::string> requests;
            bool refused;
            int modeAfter;
        } cases[] = {
            {"123", 2, 0, 0, 0, {}, true, 1},
            {"12a4", 2, 0, 0, 0, {}, true, 1},
            {"1234", 3, 1, 1, 1, {std::string("0G\x12\x34"), "0;7W", "0;3P"}, false, 3},
            {"0987", 0, 2, 0, 0, {std::string("0G\x09\x87"), "0;8W", "0;0P"}, false, 0},
        };
        for (const auto& c : cases) {
            dialog.show();
            dialog.Password()->setText(c.password);
            dialog.ErrorMode()->setCurrentIndex(c.errorMode);
            dialog.PrintQuality()->setCurrentIndex(c.quality);
            dialog.WorkMode()->setCurrentIndex(c.work);
            dialog.AmountMode()->setCurrentIndex(c.amount);
            ClearRequests();
            ui.Clear();
            QTest::mouseClick(dialog.SendButton(), Qt::LeftButton);
            WAIT_SENT(c.requests);
            QCOMPARE(dialog.isVisible(), c.refused);
            QCOMPARE(ui.Messages(), c.refused ? std::vector<std::string>{"Hasło kierownika musi mieć 4 cyfry"}
                                              : std::vector<std::string>{});
            QCOMPARE(link.Settings().errorMode, c.modeAfter);
            QCOMPARE(server->WithEmulator([](Emulator& e) { return e.state.errorMode; }), c.modeAfter);
        }
        QCOMPARE(server->WithEmulator([](Emulator& e) { return int(e.state.settingsFlags); }), 8);

        // The values stay for the next use; leaving sends nothing.
        w.findChild<QAction*>("registerSettingsAction")->trigger();
        QCOMPARE(dialog.Password()->text(), Q("0987"));
        QCOMPARE(dialog.PrintQuality()->currentIndex(), 2);
        ClearRequests();
        QTest::mouseClick(dialog.ExitButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QVERIFY(Requests().empty());
    }

    void clockIsSetAfterYesOnly() {
        WriteConfig();
        MainWindow w(link, nullptr, dir);
        const QString prefix = Q("Czy zaprogramowac zegar z następującą datą:\r") + QString(20, ' ');
        for (bool yes : {false, true}) {
            ClearRequests();
            ui.Clear();
            ui.answers = {yes};
            const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
            w.ClockAction()->trigger();
            const QDateTime after = QDateTime::currentDateTime();
            QCOMPARE(ui.shown.size(), size_t(1));
            QCOMPARE(ui.shown[0].kind, std::string("question"));
            QCOMPARE(ui.shown[0].caption, std::string("Programowanie zegara"));
            const QString text = QString::fromStdString(ui.shown[0].text);
            QVERIFY(text.startsWith(prefix));
            const QString shown = text.mid(prefix.size());
            const QDateTime moment = QDateTime::fromString(shown, "yyyy-MM-dd hh:mm:ss");
            QVERIFY2(moment.isValid(), qPrintable(shown));
            QVERIFY(moment >= before && moment <= after);
            if (!yes) {
                QVERIFY(Requests().empty());
                continue;
            }
            // Packed two-digit values of the moment shown: seconds first.
            auto bcd = [](int v) { return static_cast<char>((v / 10) << 4 | (v % 10)); };
            const QDate d = moment.date();
            const QTime t = moment.time();
            const std::string expected = std::string("0Y") + bcd(t.second()) + bcd(t.minute()) +
                                         bcd(t.hour()) + bcd(d.day()) + bcd(d.month()) +
                                         bcd(d.year() % 100) + bcd(d.year() / 100);
            WAIT_SENT(std::vector<std::string>{expected});
        }
    }

    // Record and table deletions: the commands, the rows and the entry rows.
    void deletionsEmptyRowsAndEntryRows() {
        WriteConfig();
        MainWindow w(link, nullptr, dir);
        TableSet& t = w.Tables();
        const struct {
            int tab, which;
            const char* number;
            TableId table;
            int row;  // filled before, emptied after (0: none)
            std::vector<std::string> requests;
            const char* message;
        } cases[] = {
            {1, 0, "1", TableId::Packaging, 1, {"0;0Q"}, nullptr},
            {1, 0, "20", TableId::Packaging, 0, {"0;19Q"}, nullptr},
            {3, 0, "1", TableId::Cashier, 0, {}, "Kasjer z nr 1 nie może być usunięty z kasy"},
            {3, 0, "", TableId::Cashier, 0, {}, "Musisz podac numer rekordu!"},
            {3, 0, "2", TableId::Cashier, 2, {"0;1S"}, nullptr},
            {4, 0, "3", TableId::Key, 3, {"0;2R"}, nullptr},
            {5, 0, "4", TableId::Discount, 4, {"0;3U"}, nullptr},
            {5, 1, "5", TableId::Surcharge, 1, {"0;4U"}, nullptr},
            {6, 0, "2", TableId::PaymentForm, 2, {"0;1T"}, nullptr},
            {2, 0, "12", TableId::Plu, 12, {"0;11V"}, nullptr},
        };
        for (const auto& c : cases) {
            const QString what = QStringLiteral("tab %1 number %2").arg(c.tab).arg(c.number);
            RecordEditor* editor = w.Editor(c.tab, c.which);
            if (c.row) t.SetCell(c.table, 0, c.row, c.number);
            if (c.row) t.SetCell(c.table, 1, c.row, "X");
            t.SetCell(c.table, 1, c.row + 1 <= t.Rows(c.table) ? c.row + 1 : 1, "keep");
            Line(editor, "number")->setText(c.number);
            if (Line(editor, "name")) Line(editor, "name")->setText("typed");
            ClearRequests();
            ui.Clear();
            QPushButton* button = c.which ? w.Buttons(c.tab).deleteRecord2 : w.Buttons(c.tab).deleteRecord;
            QTest::mouseClick(button, Qt::LeftButton);
            WAIT_SENT(c.requests);
            QCOMPARE(ui.Messages(), c.message ? std::vector<std::string>{c.message}
                                              : std::vector<std::string>{});
            if (c.row) QVERIFY2(!t.RowHasRecord(c.table, c.row) && t.Cell(c.table, 1, c.row).empty(),
                                qPrintable(what));
            QCOMPARE(t.Cell(c.table, 1, c.row + 1 <= t.Rows(c.table) ? c.row + 1 : 1), std::string("keep"));
            // A refused number stays in the entry row for correction.
            QCOMPARE(editor->NumberText(), c.message ? Q(c.number) : QString());
            if (Line(editor, "name"))
                QCOMPARE(Line(editor, "name")->text(), c.message ? Q("typed") : QString());
            QCOMPARE(t.Cell(c.table, 0, 0).empty(), false);  // the titles stay
        }

        // Whole tables: packaging, the discount pair (both entry rows), and the
        // PLU table, of which the register holds records 1 and 3.
        for (int r = 1; r <= 15; ++r) t.SetCell(TableId::Packaging, 0, r, std::to_string(r));
        Line(w.Editor(1), "number")->setText("7");
        ClearRequests();
        QTest::mouseClick(w.Buttons(1).deleteTable, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Requests().size(), size_t(15), 5000);
        QCOMPARE(Requests().back(), std::string("0;14Q"));
        for (int r = 1; r <= 15; ++r) QVERIFY(!t.RowHasRecord(TableId::Packaging, r));
        QVERIFY(w.Editor(1)->NumberText().isEmpty());

        t.SetCell(TableId::Surcharge, 0, 4, "8");
        Line(w.Editor(5, 0), "number")->setText("1");
        Line(w.Editor(5, 1), "number")->setText("8");
        ClearRequests();
        QTest::mouseClick(w.Buttons(5).deleteTable, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Requests().size(), size_t(8), 5000);
        QVERIFY(!t.RowHasRecord(TableId::Surcharge, 4));
        QVERIFY(w.Editor(5, 0)->NumberText().isEmpty());
        QVERIFY(w.Editor(5, 1)->NumberText().isEmpty());

        for (int r : {1, 3}) {
            t.SetCell(TableId::Plu, 0, r, std::to_string(r));
            t.SetCell(TableId::Plu, 1, r, "PLU " + std::to_string(r));
        }
        QTest::mouseClick(w.Buttons(2).send, Qt::LeftButton);
        t.SetCell(TableId::Plu, 1, 5, "local only");
        PluEditor* plu = w.PluEntry();
        Line(plu, "number")->setText("3");
        Combo(plu, "rate")->setEditText("D");
        Line(plu, "packaging")->setText("4");
        ClearRequests();
        QTest::mouseClick(w.Buttons(2).deleteTable, Qt::LeftButton);
        std::vector<std::string> deletes;
        int reads = 0;
        for (const auto& r : Requests()) {
            if (r.back() == 'V') deletes.push_back(r);
            reads += r.back() == 'H';
        }
        QCOMPARE(reads, kPluCount);
        QCOMPARE(deletes, (std::vector<std::string>{"0;0V", "0;2V"}));
        for (int r = 1; r <= kPluCount; ++r) QVERIFY(Row(w, TableId::Plu, r) == std::vector<std::string>(8));
        QVERIFY(plu->NumberText().isEmpty());
        QCOMPARE(Combo(plu, "rate")->currentText(), Q("A"));
        QCOMPARE(Line(plu, "packaging")->text(), Q("0"));
    }

    // F9, the grid's first focus, and the PLU cursor of a reading.
    void gridsAndEntryRowsFollowEachOther() {
        WriteConfig();
        QtUi qt;
        MainWindow w(link, &qt, dir);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        TableSet& t = w.Tables();
        PluEditor* plu = w.PluEntry();
        QTableView* grid = w.Grid(TableId::Plu);
        t.SetCell(TableId::Plu, 0, 7, "7");
        t.SetCell(TableId::Plu, 1, 7, "Mleko");
        t.SetCell(TableId::Plu, 5, 7, "2.50");

        // Showing a tab puts the focus into its first field.
        w.ShowTab(1);
        QVERIFY(Line(plu, "number")->hasFocus());

        // F9 from another tab does nothing; on the PLU tab it moves the grid.
        const struct {
            int tab;
            const char* number;
            int currentRow;  // -1: none
            const char* message;
        } cases[] = {
            {8, "7", -1, nullptr},
            {1, "", -1, "Należy najpierw podać numer szukanego rekordu"},
            {1, "150", -1, "Za duża wartość nr PLU"},
            {1, "7", 6, nullptr},
        };
        for (const auto& c : cases) {
            w.ShowTab(c.tab);
            Line(plu, "number")->setText(c.number);
            ui.Clear();
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_F9);
            QCOMPARE(grid->currentIndex().row(), c.currentRow);
            QCOMPARE(ui.Messages(), c.message ? std::vector<std::string>{c.message}
                                              : std::vector<std::string>{});
        }
        QCOMPARE(Line(plu, "name")->text(), Q("Mleko"));
        QCOMPARE(Line(plu, "price")->text(), Q("2,50"));
        QVERIFY(Line(plu, "number")->hasFocus());

        // A grid focused by the keyboard with no current cell keeps the entry
        // row as typed.
        w.ShowTab(0);
        RecordEditor* packaging = w.Editor(1);
        t.SetCell(TableId::Packaging, 0, 1, "1");
        t.SetCell(TableId::Packaging, 1, 1, "Skrzynka");
        Line(packaging, "number")->setText("5");
        Line(packaging, "name")->setText("Butelka");
        w.Grid(TableId::Packaging)->setFocus(Qt::TabFocusReason);
        QVERIFY(w.Grid(TableId::Packaging)->hasFocus());
        QCOMPARE(w.Grid(TableId::Packaging)->currentIndex().isValid(), false);
        QCOMPARE(Line(packaging, "name")->text(), Q("Butelka"));
        // Selecting a row copies it into the entry row.
        QTest::mouseClick(w.Grid(TableId::Packaging)->viewport(), Qt::LeftButton, {},
                          w.Grid(TableId::Packaging)->visualRect(
                              w.GridModel(TableId::Packaging)->index(0, 1)).center());
        QCOMPARE(Line(packaging, "name")->text(), Q("Skrzynka"));
        QCOMPARE(Line(packaging, "number")->text(), Q("1"));

        // The PLU cursor follows a reading only while the PLU tab shows.
        qt.PluCursor(3);
        QCOMPARE(grid->currentIndex().row(), 6);
        w.ShowTab(1);
        qt.PluCursor(3);
        QCOMPARE(grid->currentIndex().row(), 2);
        QVERIFY(grid->hasFocus());
        qt.PluCursor(kPluCount + 1);  // no such row
        QCOMPARE(grid->currentIndex().row(), 2);
    }

    // Model 1 ON-LINE with PLU 1 sold in whole units ("NIE"); the packaging
    // tab saved alone (no Typ_kasy: the file reads as model 0) and loaded on
    // the key tab through the real buttons and file dialogs. The model index,
    // the key and PLU grids, the fractional-sale switch and a whole save agree
    // after every answer.
    void keyTableLoadTakesTheWholeModelOrNothing() {
        WriteConfig();
        MainWindow w(link, nullptr, dir);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.Tables().Model(), 1);
        w.ShowTab(1);
        PluEditor* plu = w.PluEntry();
        for (const auto& [field, keys] : {std::pair{"number", "1"}, {"name", "Chleb"}, {"price", "2,5"}, {"stock", "10"}})
            Type(Line(plu, field), Q(keys));
        plu->FractionalSwitch()->setChecked(false);
        QTest::mouseClick(plu->AddButton(), Qt::LeftButton);
        QCOMPARE(Row(w, TableId::Plu, 1),
                 (std::vector<std::string>{"1", "Chleb", "", "A", "0", "2.50", "10", "NIE"}));

        const QString packaging = dir + "/opakowania.pod";
        const QString whole = dir + "/calosc.pod";
        ClickThroughFileDialog(w.Buttons(1).saveTable, packaging);
        QVERIFY(QFile::exists(packaging));

        const std::string kModel = "Pobierasz bazę z innej kasy niż masz podłączoną\rCzy zmienić typ kasy w programie?";
        const std::string kLoss = "Zmiana typu kasy usunie część danych z tabel. Czy kontynuować?";
        const struct {
            std::deque<bool> answers;
            std::vector<std::string> questions;
            int model, keyRows, pluRows, pluColumns;
            bool switchShown;
            const char* plu1;  // Plu1 as a whole save writes it
        } cases[] = {
            {{false}, {kModel}, 1, 10, kPluCount, 8, true, "1;Chleb;;A;0;2.50;10;NIE;"},
            {{true, false}, {kModel, kLoss}, 1, 10, kPluCount, 8, true, "1;Chleb;;A;0;2.50;10;NIE;"},
            {{true, true}, {kModel, kLoss}, 0, 20, 2636, 7, false, "1;Chleb;;A;0;2.50;10;"},
        };
        for (const auto& c : cases) {
            w.ShowTab(3);
            ui.Clear();
            ui.answers = c.answers;
            ClickThroughFileDialog(w.Buttons(4).loadTable, packaging);
            std::vector<std::string> questions;
            for (const auto& shown : ui.shown) questions.push_back(shown.text);
            QCOMPARE(questions, c.questions);
            QCOMPARE(w.Tables().Model(), c.model);
            QCOMPARE(w.GridModel(TableId::Key)->rowCount(), c.keyRows);
            QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), c.pluRows);
            QCOMPARE(w.GridModel(TableId::Plu)->columnCount(), c.pluColumns);
            QCOMPARE(plu->FractionalSwitch()->isVisibleTo(plu), c.switchShown);

            QFile::remove(whole);
            w.SaveDataFileTo(whole);
            const std::string text = testfiles::Slurp(whole.toStdString());
            QVERIFY(text.find("Typ_kasy=" + std::to_string(c.model) + "\r\n") != std::string::npos);
            QVERIFY(text.find("\r\nPlu1=" + std::string(c.plu1) + "\r\n") != std::string::npos);
            QVERIFY(text.find("Klawisz" + std::to_string(c.keyRows) + "=") != std::string::npos);
            QVERIFY(text.find("Klawisz" + std::to_string(c.keyRows + 1) + "=") == std::string::npos);
        }
        QFile::remove(packaging);
        QFile::remove(whole);
    }

    // Going to a row copies its record into the entry row also when that row
    // is already the grid's current one: F9 right after adding the PLU, a
    // click on the current cell, a key that leaves the cell where it is.
    void goingToTheCurrentRowCopiesIt() {
        WriteConfig();
        MainWindow w(link, nullptr, dir);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        TableSet& t = w.Tables();

        // PLU 5 added, its number typed again, F9.
        w.ShowTab(1);
        PluEditor* plu = w.PluEntry();
        for (const auto& [field, keys] : {std::pair{"number", "5"}, {"name", "Chleb"}, {"price", "2,5"}})
            Type(Line(plu, field), Q(keys));
        QTest::mouseClick(plu->AddButton(), Qt::LeftButton);
        QCOMPARE(w.Grid(TableId::Plu)->currentIndex().row(), 4);
        QVERIFY(Line(plu, "name")->text().isEmpty());
        Type(Line(plu, "number"), Q("5"));
        QTest::keyClick(Line(plu, "number"), Qt::Key_F9);
        QCOMPARE(Line(plu, "name")->text(), Q("Chleb"));
        QCOMPARE(Line(plu, "price")->text(), Q("2,50"));
        QVERIFY(Line(plu, "number")->hasFocus());

        // Every entry row: a click on the current cell, then a key at the
        // table's edge, each copy the row again over what was typed since.
        const struct {
            int tab, which;
            TableId table;
            const char* field;  // the entry field of column 1
            const char* cell;   // column 1 of the row (Windows-1250 as UTF-8)
            const char* shown;  // what the field shows
        } cases[] = {
            {1, 0, TableId::Packaging, "name", "Skrzynka", "Skrzynka"},
            {2, 0, TableId::Plu, "name", "Mleko", "Mleko"},
            {3, 0, TableId::Cashier, "name", "ANNA", "ANNA"},
            {4, 0, TableId::Key, "plu", "12", "12"},
            {5, 0, TableId::Discount, "name", "RABAT", "RABAT"},
            {5, 1, TableId::Surcharge, "name", "DOPŁATA", "DOPŁATA"},
            {6, 0, TableId::PaymentForm, "name", "GOTÓWKA", "GOTÓWKA"},
            {7, 0, TableId::Header, "text", "STOPKA", "STOPKA"},
            {8, 0, TableId::Ptu, "value", "22.00", "22,00"},
        };
        for (const auto& c : cases) {
            const QString what = QStringLiteral("tab %1/%2").arg(c.tab).arg(c.which);
            w.ShowTab(c.tab - 1);
            RecordEditor* editor = w.Editor(c.tab, c.which);
            QTableView* grid = w.Grid(c.table);
            const int row = 1;
            if (c.table != TableId::Ptu && c.table != TableId::Header)
                t.SetCell(c.table, 0, row, c.table == TableId::Surcharge ? "5" : "1");
            t.SetCell(c.table, 1, row, Win(c.cell));
            const QPoint at = grid->visualRect(grid->model()->index(row - 1, 0)).center();
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
            QCOMPARE(grid->currentIndex(), grid->model()->index(row - 1, 0));
            QVERIFY2(Line(editor, c.field)->text() == Q(c.shown), qPrintable(what));

            Line(editor, c.field)->setText("x");
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
            QVERIFY2(Line(editor, c.field)->text() == Q(c.shown), qPrintable(what + " click"));

            Line(editor, c.field)->setText("x");
            QTest::keyClick(grid, Qt::Key_Left);  // column 0: the cell stays
            QCOMPARE(grid->currentIndex(), grid->model()->index(row - 1, 0));
            QVERIFY2(Line(editor, c.field)->text() == Q(c.shown), qPrintable(what + " key"));
        }
        QCOMPARE(ui.Messages().size(), size_t(1));  // the start-up message only
    }

    // While a sequence lets the window handle events, a second command is
    // refused: it would take the first one's replies.
    void oneExchangeAtATime() {
        WriteConfig();
        QtUi qt;
        MainWindow w(link, &qt, dir);
        w.Tables().SetCell(TableId::Packaging, 0, 1, "1");
        w.Tables().SetCell(TableId::Packaging, 1, 1, "Skrzynka");
        ui.Clear();
        InstallUi(&qt);  // events are handled between the records
        int fired = 0;
        QTimer::singleShot(0, &w, [&] {
            ++fired;
            QTest::mouseClick(w.Buttons(1).send, Qt::LeftButton);
            QTest::mouseClick(w.Service().information, Qt::LeftButton);
            w.ClockAction()->trigger();
        });
        ClearRequests();
        QTest::mouseClick(w.Buttons(2).read, Qt::LeftButton);
        InstallUi(&ui);
        QCOMPARE(fired, 1);
        const auto requests = Requests();
        QCOMPARE(requests.size(), size_t(kPluCount + 1));
        for (const auto& r : requests) QCOMPARE(r.back(), 'H');
        QVERIFY(ui.shown.empty());
        // Afterwards the buttons work again.
        QTest::mouseClick(w.Buttons(1).send, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(Requests().size(), size_t(kPluCount + 2), 5000);
    }
};

QTEST_MAIN(WiringTest)
#include "test_wiring.moc"
