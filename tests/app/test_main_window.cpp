// The main window against the emulator: the top line, the register controls,
// the model choice, the grids; message boxes go to a recorder.
#include <QtTest>

#include <QHeaderView>
#include <QFile>
#include <QDialog>
#include <QPlainTextEdit>
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

#include "FmreaderWindow.h"
#include "Main.h"
#include "PtyAppFixture.h"
#include "QtUi.h"
#include "Skoroszyt.h"
#include "TableModel.h"
#include "Wybor.h"

class MainWindowTest : public QObject, protected PtyAppFixture {
    Q_OBJECT

    void WriteConfig(const std::string& timeout, int mode = 1, int maxPlu = 0) {
        WriteConfigFile(timeout, mode, std::to_string(maxPlu));
    }
    void Silent(bool silent) {
        server->WithEmulator([&](Emulator& e) { e.switches.silent = silent; });
    }

private slots:
    static void AttachModelChoice(MainWindow& w, ModelChoiceDialog& choice) {
        AuxiliaryWindows windows;
        windows.modelChoice = &choice;
        w.SetAuxiliaryWindows(windows);
    }

    void init() {
        SetUpFixture("zeltra-win-");
        QVERIFY(LaunchEmulator(Model3Register));
    }
    void cleanup() { TearDownFixture(); }

    void onLineStartUp() {
        WriteConfig("2");
        MainWindow w(link, nullptr, dir);
        QCOMPARE(w.ModelLabel()->text(), QString("ZELTRA ARK MAXI 20k"));
        QCOMPARE(w.SerialLabel()->text(), QString("123456"));
        QCOMPARE(w.VersionLabel()->text(), QString("V1.0"));
        QCOMPARE(w.ProgramVersionLabel()->text(), QString(" - wersja programu: 1.7.0.0"));
        QCOMPARE(w.RegisterControls().size(), size_t(41));
        QCOMPARE(Enabled(w), 41);
        QVERIFY(w.Service().checkConnection->isEnabled());
        QVERIFY(w.Buttons(1).loadTable->isEnabled());
        QCOMPARE(w.Tabs()->currentIndex(), 8);
        QCOMPARE(w.Tabs()->count(), 9);
        QCOMPARE(w.windowTitle(), QString("ZELTRA SA - program serwisowy do kas fiskalnych"));
        QCOMPARE(w.pos(), QPoint(60, 112));
        QCOMPARE(w.size(), QSize(869, 553));
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 19200);
        QCOMPARE(ui.Messages(), std::vector<std::string>{"Uruchom w kasie tryb komunikacji"});

        // End of communication disables them; the connection check brings them back.
        QTest::mouseClick(w.Service().endCommunication, Qt::LeftButton);
        QCOMPARE(Enabled(w), 0);
        QCOMPARE(w.ModelLabel()->text(), QString("ZELTRA ARK MAXI 20k"));
        QTest::mouseClick(w.Service().checkConnection, Qt::LeftButton);
        QCOMPARE(Enabled(w), 41);
        QVERIFY(w.OnLine());
    }

    void offLineStartUpOffersModelChoice() {
        Silent(true);
        WriteConfig("0.2");
        MainWindow w(link, nullptr, dir);
        ModelChoiceDialog choice(w.Tables(), &w);
        AttachModelChoice(w, choice);
        QCOMPARE(w.ModelLabel()->text(), QString("TRYB OFF-LINE"));
        QCOMPARE(w.SerialLabel()->text(), QString());
        QCOMPARE(w.VersionLabel()->text(), QString());
        QCOMPARE(Enabled(w), 0);
        QVERIFY(w.Service().checkConnection->isEnabled());
        QCOMPARE(ui.Messages(), (std::vector<std::string>{"Uruchom w kasie tryb komunikacji",
                                                          "Brak odpowiedzi z kasy"}));
        w.show();
        QVERIFY(!choice.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(choice.isVisible(), 2000);
        QCOMPARE(choice.windowTitle(), QString("Wybierz rodzaj kasy"));
        QCOMPARE(choice.List()->count(), 4);
        QCOMPARE(choice.List()->currentRow(), 0);
        QCOMPARE(choice.List()->item(3)->text(), QString("ZELTRA ARK MAXI 20K"));
        QVERIFY(!(choice.windowFlags() & Qt::WindowCloseButtonHint));

        // Esc does not dismiss it; "OK" applies the chosen model.
        QTest::keyClick(&choice, Qt::Key_Escape);
        QVERIFY(choice.isVisible());
        choice.List()->setCurrentRow(3);
        QTest::mouseClick(choice.OkButton(), Qt::LeftButton);
        QVERIFY(!choice.isVisible());
        QCOMPARE(w.Tables().Model(), 3);
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 19200);
        QCOMPARE(w.GridModel(TableId::Plu)->columnCount(), 8);
        QCOMPARE(w.GridModel(TableId::Key)->rowCount(), 20);
    }

    // A register found by the connection check decides the model: the choice
    // left open from the OFF-LINE start goes away and cannot override it.
    void connectionCheckClosesAnOpenModelChoice() {
        Silent(true);
        WriteConfig("0.2");
        MainWindow w(link, nullptr, dir);
        ModelChoiceDialog choice(w.Tables(), &w);
        AttachModelChoice(w, choice);
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(choice.isVisible(), 2000);
        Silent(false);
        QTest::mouseClick(w.Service().checkConnection, Qt::LeftButton);
        QVERIFY(w.OnLine());
        QVERIFY(!choice.isVisible());
        QCOMPARE(w.Tables().Model(), 3);
    }

    void onLineStartUpDoesNotOfferModelChoice() {
        WriteConfig("2");
        MainWindow w(link, nullptr, dir);
        ModelChoiceDialog choice(w.Tables(), &w);
        AttachModelChoice(w, choice);
        w.show();
        QTest::qWait(300);
        QVERIFY(!choice.isVisible());
    }

    void connectionCheckGoesOffLineWithoutModelChoice() {
        WriteConfig("2", 1, 500);
        MainWindow w(link, nullptr, dir);
        ModelChoiceDialog choice(w.Tables(), &w);
        AttachModelChoice(w, choice);
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 500);
        Silent(true);
        link.Settings().pollLimit = 20000;
        w.show();
        QTest::mouseClick(w.Service().checkConnection, Qt::LeftButton);
        QCOMPARE(w.ModelLabel()->text(), QString("TRYB OFF-LINE"));
        QCOMPARE(w.SerialLabel()->text(), QString());
        QCOMPARE(Enabled(w), 0);
        QCOMPARE(w.Tables().Model(), 0);
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 2636);
        QCOMPARE(w.GridModel(TableId::Plu)->columnCount(), 7);
        QCOMPARE(ui.Count("Włączono tryb OFF-LINE"), 1);
        QTest::qWait(300);
        QVERIFY(!choice.isVisible());
    }

    // The check finds a register of another model whose model would drop a
    // key record: "No" keeps model and tables and goes OFF-LINE, so nothing can
    // be sent in the old layout; "Yes" takes the register's model ON-LINE.
    void connectionCheckWithAnotherModel() {
        WriteConfig("2");
        MainWindow w(link, nullptr, dir);
        QCOMPARE(w.Tables().Model(), 3);
        w.Tables().SetCell(TableId::Key, 0, 15, "15");  // model 1 has 10 keys
        server->WithEmulator([](Emulator& e) { e.SetModel(1); });
        const struct {
            bool yes;
            const char* label;
            int enabled, model, pluRows, keyRows;
        } cases[] = {
            {false, "TRYB OFF-LINE", 0, 3, 19200, 20},
            {true, "ZELTRA ARK MIRRA", 41, 1, 19200, 10},  // the configured rule keeps 19 200 PLU
        };
        for (const auto& c : cases) {
            ui.Clear();
            ui.answers = {c.yes};
            QTest::mouseClick(w.Service().checkConnection, Qt::LeftButton);
            QCOMPARE(ui.shown.size(), size_t(c.yes ? 1 : 2));
            QCOMPARE(ui.shown[0].text, std::string("Zmiana typu kasy usunie część danych z tabel. Czy kontynuować?"));
            if (!c.yes)
                QCOMPARE(ui.shown[1].text,
                         std::string("Podłączona kasa (ZELTRA ARK MIRRA) jest innego typu niż tabele w programie.\r"
                                     "Tabele zostały bez zmian, dlatego program pracuje w trybie OFF-LINE:\r"
                                     "dane w obecnym układzie nie zostaną wysłane do tej kasy."));
            QCOMPARE(w.ModelLabel()->text(), QString::fromUtf8(c.label));
            QCOMPARE(w.SerialLabel()->text(), c.yes ? QString("123456") : QString());
            QCOMPARE(w.OnLine(), c.yes);
            QCOMPARE(Enabled(w), c.enabled);
            QVERIFY(w.Service().checkConnection->isEnabled());
            QCOMPARE(w.Tables().Model(), c.model);
            QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), c.pluRows);
            QCOMPARE(w.GridModel(TableId::Key)->rowCount(), c.keyRows);
        }
    }

    // A PLU table to a spreadsheet file and back through the window: the
    // locale's decimal comma, the list of bad rows in its own box, where
    // Enter answers No and changes nothing and Yes takes the good rows.
    void spreadsheetThroughTheWindow() {
        WriteConfig("2");
        QtUi qt;
        MainWindow w(link, &qt, dir);
        InstallUi(&qt);  // the boxes of the import are the window's own
        QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
        auto* exportAction = w.findChild<QAction*>("exportCsvAction");
        QVERIFY(exportAction && !exportAction->isEnabled());  // the service tab has no table
        w.Tabs()->setCurrentIndex(1);
        QVERIFY(exportAction->isEnabled());
        const std::vector<std::string> row = {"1", "Chleb", "590", "A", "0", "12.50", "1", "NIE"};
        for (int c = 0; c < 8; ++c) w.Tables().SetCell(TableId::Plu, c, 1, row[c]);
        const QString csv = dir + "/plu";  // the extension is added
        w.ExportCsvTo(2, csv);
        QLocale::setDefault(QLocale::c());
        QFile file(csv + ".csv");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        file.close();
        QVERIFY(bytes.contains("\r\n1;Chleb;590;A;0;12,50;1;NIE\r\n"));
        bytes.replace("12,50", "13");
        bytes += "2;Bu\xC5\x82ka;59x;A;0;1;0;NIE\r\n";
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        for (const bool take : {false, true}) {
            QString listed;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(box && box->objectName() == "listBox");
                listed = box->findChild<QPlainTextEdit*>("lines")->toPlainText();
                if (take) box->accept();
                else QTest::keyClick(box, Qt::Key_Return);
            });
            w.ImportCsvFrom(2, csv + ".csv");
            QCOMPARE(listed, QString("Wiersz 3, Kod kreskowy: W tym polu można wpisać tylko wartość liczbową"));
            QCOMPARE(QString::fromStdString(w.Tables().Cell(TableId::Plu, 5, 1)), take ? QString("13.00") : QString("12.50"));
            QCOMPARE(w.Tables().RowHasRecord(TableId::Plu, 2), false);
        }
        // Notes alone do not ask: the rows go in and the notes follow in the
        // list box. A Mac-encoded file is refused in one box, nothing changed.
        for (const QByteArray& bytes : {QByteArray("Numer PLU,Cena jedn.,Uwagi\n1,\"14,50\",nowa\n"),
                                        QByteArray("Numer PLU;Nazwa PLU\r1;\xFBUREK\r")}) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
            file.close();
            QString shown;
            QTimer::singleShot(0, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                auto* box = qobject_cast<QMessageBox*>(modal);
                shown = box ? box->text() : modal->findChild<QPlainTextEdit*>("lines")->toPlainText();
                static_cast<QDialog*>(modal)->done(0);
            });
            w.ImportCsvFrom(2, csv + ".csv");
            QVERIFY2(shown.startsWith(bytes.startsWith("Numer PLU,") ? "Wiersz 1, Uwagi: Tabela nie ma takiej kolumny"
                                                                      : "Plik nie jest zapisany w UTF-8"),
                     qPrintable(shown));
            QCOMPARE(QString::fromStdString(w.Tables().Cell(TableId::Plu, 5, 1)), QString("14.50"));
        }
        InstallUi(&ui);
    }

    // A packaging table read from the register to an Excel workbook and back
    // (a small table: the read is quick under wine too): the register's
    // model and serial number in the document's properties, the table as it
    // was; the Plik menu's item only on tabs 1-8.
    void workbookThroughTheWindow() {
        WriteConfig("2");
        MainWindow w(link, nullptr, dir);
        auto* exportAction = w.findChild<QAction*>("exportXlsxAction");
        QVERIFY(exportAction && !exportAction->isEnabled());
        w.Tabs()->setCurrentIndex(0);
        QVERIFY(exportAction->isEnabled());
        server->WithEmulator([](Emulator& e) { e.LoadDemoData(); });
        w.ReadTableClicked(1);
        const TableId t = TableId::Packaging;
        const std::string name = w.Tables().Cell(t, 1, 2), price = w.Tables().Cell(t, 2, 2);
        QCOMPARE(name, std::string("SKRZYNKA"));
        w.ExportXlsxTo(1, dir + "/opakowania");  // the extension is added
        QFile file(dir + "/opakowania.xlsx");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const auto custom = WorkbookPart(std::string_view(bytes.constData(), bytes.size()), "docProps/custom.xml");
        QVERIFY2(custom, "no custom properties");
        QVERIFY2(custom->find("ZELTRA ARK MAXI 20k") != std::string::npos &&
                     custom->find("123456") != std::string::npos,
                 custom->c_str());
        w.Tables().SetCell(t, 2, 2, "0.01");
        w.Tables().SetCell(t, 1, 2, "Zmieniona");
        w.ImportCsvFrom(1, dir + "/opakowania.xlsx");
        QCOMPARE(w.Tables().Cell(t, 1, 2), name);
        QCOMPARE(w.Tables().Cell(t, 2, 2), price);
        // Filled from the workbook now: a new export names no register.
        w.ExportXlsxTo(1, dir + "/znowu.xlsx");
        QFile again(dir + "/znowu.xlsx");
        QVERIFY(again.open(QIODevice::ReadOnly));
        const QByteArray second = again.readAll();
        QVERIFY(!WorkbookPart(std::string_view(second.constData(), second.size()), "docProps/custom.xml"));
    }

    void gridsFollowTheTableSet() {
        WriteConfig("2");
        MainWindow w(link, nullptr, dir);
        TableModel* plu = w.GridModel(TableId::Plu);
        QTableView* view = w.Grid(TableId::Plu);
        QCOMPARE(plu->headerData(0, Qt::Horizontal).toString(), QString("Numer PLU"));
        QCOMPARE(plu->headerData(7, Qt::Horizontal).toString(), QString("Sprzedaż ułamkowa"));
        QCOMPARE(view->columnWidth(1), 130);
        QVERIFY(view->verticalHeader()->isHidden());

        // A cell written in Windows-1250 shows in the grid, in its row.
        QSignalSpy changed(plu, &QAbstractItemModel::dataChanged);
        w.Tables().SetCell(TableId::Plu, 1, 19200, "\xAFubr \xB3\xF3\x64\x9F");  // "Żubr łódź"
        QVERIFY(changed.count() >= 1);
        QCOMPARE(plu->index(19199, 1).data().toString(), QString("Żubr łódź"));
        QCOMPARE(plu->index(0, 1).data().toString(), QString());

        // After a reshape the columns keep the table's widths, widened where
        // a title needs more at the window's font.
        w.Tables().ApplyModel(0, PluRule::Capacity);
        QCOMPARE(plu->columnCount(), 7);
        QCOMPARE(plu->rowCount(), 2636);
        QCOMPARE(view->columnWidth(1), 130);
        QCOMPARE(view->columnWidth(6), std::max(85, view->horizontalHeader()->sectionSizeHint(6)));
        QCOMPARE(plu->index(2635, 1).data().toString(), QString());

        // Tab 5 shows both tables; the surcharge grid has its own titles.
        QCOMPARE(w.GridModel(TableId::Surcharge)->headerData(0, Qt::Horizontal).toString(),
                 QString("Numer dopłaty"));
        QCOMPARE(w.Grid(TableId::Surcharge)->columnWidth(0),
                 std::max(85, w.Grid(TableId::Surcharge)->horizontalHeader()->sectionSizeHint(0)));
        QCOMPARE(w.GridModel(TableId::Ptu)->index(6, 0).data().toString(), QString("G"));
    }

    void qtUiDrivesTheWindow() {
        WriteConfig("2");
        QtUi qt;
        MainWindow w(link, &qt, dir);  // the start message still goes to the recorder
        qt.ProgressShow(UiBar::Main, 3);
        QVERIFY(w.MainBar()->isVisibleTo(&w));
        for (int i = 0; i < 5; ++i) qt.ProgressStep(UiBar::Main, 1);
        QCOMPARE(w.MainBar()->value(), 3);
        qt.ProgressHide(UiBar::Main);
        QVERIFY(!w.MainBar()->isVisibleTo(&w));
        qt.ShowLabel(UiLabel::ServicePlu, true);
        qt.SetLabel(UiLabel::ServicePlu, "Odczytalem PLU nr : 7");
        QCOMPARE(w.Service().pluLabel->text(), QString("Odczytalem PLU nr : 7"));
        QVERIFY(w.Service().pluLabel->isVisibleTo(&w));
        qt.ProgressShow(UiBar::Overall, 5);
        QVERIFY(w.Service().overallBar->isVisibleTo(&w));
        QCOMPARE(BoxText("Pierwsza\rDruga"), QString("Pierwsza\nDruga"));
    }

    void fiscalReadingHoldsTheRegisterControls() {
        WriteConfig("2");
        MainWindow w(link, nullptr, dir);
        FmreaderWindow fiscal(link, &w);
        AuxiliaryWindows windows;
        windows.fiscalMemory = &fiscal;
        w.SetAuxiliaryWindows(windows);
        QCOMPARE(Enabled(w), 41);

        // The button asks the register for its state before the window opens.
        ClearRequests();
        QTest::mouseClick(w.Service().fiscalMemory, Qt::LeftButton);
        auto requests = Requests();
        QVERIFY(!requests.empty());
        QCOMPARE(requests.front(), std::string("0N"));
        fiscal.hide();

        // While a reading runs nothing else may talk to the register.
        QMetaObject::invokeMethod(&fiscal, "readingActive", Q_ARG(bool, true));
        QCOMPARE(Enabled(w), 0);
        ClearRequests();
        QTest::mouseClick(w.Service().checkConnection, Qt::LeftButton);
        QVERIFY(Requests().empty());
        QMetaObject::invokeMethod(&fiscal, "readingActive", Q_ARG(bool, false));
        QCOMPARE(Enabled(w), 41);

        // A reading that ends after the communication ended leaves them disabled.
        QMetaObject::invokeMethod(&fiscal, "readingActive", Q_ARG(bool, true));
        w.SetRegisterControlsEnabled(false);
        QMetaObject::invokeMethod(&fiscal, "readingActive", Q_ARG(bool, false));
        QCOMPARE(Enabled(w), 0);
    }

    void startUpThroughMessageBoxes() {
        // The real boxes: each one is answered as soon as it shows.
        struct Box {
            QString title, text;
            QMessageBox::Icon icon;
        };
        QList<Box> boxes;
        QTimer answer;
        answer.setInterval(20);
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            boxes.append({box->windowTitle(), box->text(), box->icon()});
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click()
                                         : box->button(QMessageBox::Yes)->click();
        });
        answer.start();
        Silent(true);
        WriteConfig("0.2");
        QtUi qt;
        InstallUi(&qt);
        MainWindow w(link, &qt, dir);
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].text, QString("Uruchom w kasie tryb komunikacji"));
        QCOMPARE(boxes[1].text, QString("Brak odpowiedzi z kasy"));
        QCOMPARE(boxes[1].title, QString("Uwaga!"));
        QCOMPARE(boxes[1].icon, QMessageBox::Warning);
        QCOMPARE(w.ModelLabel()->text(), QString("TRYB OFF-LINE"));

        // "\r" is a line break; Yes answers true.
        QVERIFY(qt.Question("Pierwsza\rDruga", "Uwaga!", UiIcon::Information));
        QCOMPARE(boxes.last().text, QString("Pierwsza\nDruga"));
        QCOMPARE(boxes.last().icon, QMessageBox::Information);
        InstallUi(&ui);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
