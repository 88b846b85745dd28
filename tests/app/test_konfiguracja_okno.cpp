// The configuration dialog with the main window: filling it from config.cfg,
// leaving it with and without saving, and applying the new values to the
// running program (a scripted port, or the emulator on a pseudo-terminal).
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>

#ifndef _WIN32
#include <sys/inotify.h>
#include <unistd.h>
#endif

#include "About.h"
#include "FmreaderWindow.h"
#ifndef _WIN32
#include "FifoGuard.h"
#endif
#include "Konfiguracja.h"
#include "Main.h"
#include "PtyAppFixture.h"
#include "ScriptedPort.h"
#include "TableModel.h"

namespace {

const char* const kOffLineMessage =
    "Włączono tryb OFF-LINE!!!\rPrzejdź do zakładki <Funkcje serwisowe>\r"
    "Użyj przycisku <Sprawdź połączenie>,\raby uruchomić tryb ON-LINE";
const char* const kApplyQuestion = "Czy uwzględnić zmiany w bieżącej sesji programu";

void Retype(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void Retype(QComboBox* box, const QString& text) {
    box->lineEdit()->selectAll();
    QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(box->lineEdit(), text);
}

}  // namespace

class ConfigurationDialogTest : public QObject, protected PtyAppFixture {
    Q_OBJECT

    std::string path;
    ScriptedPort* scripted = nullptr;

    void WriteFile(const std::string& text) { testfiles::Spit(path, text); }
    std::string ReadFile() const { return testfiles::Slurp(path); }
    bool FileExists() const { return std::ifstream(path).good(); }

    // The emulator as a model 3 register; config.cfg points at it.
    void StartEmulator(int mode = 1, const std::string& maxPlu = "0") {
        QVERIFY(LaunchEmulator(Model3Register));
        WriteConfigFile("2", mode, maxPlu);
    }
    // A port where no register answers; every call is recorded.
    void UseScriptedPort() { scripted = InstallScriptedPort(link); }
#ifndef _WIN32
    // Bytes this process has read through system calls so far.
    static long long BytesRead() {
        std::ifstream io("/proc/self/io");
        std::string key;
        long long value = 0;
        while (io >> key >> value)
            if (key == "rchar:") return value;
        return -1;
    }
    // How often config.cfg was opened, from the folder's open events so far.
    static int ConfigOpens(int watch) {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((e->mask & IN_OPEN) && e->len && std::string(e->name) == "config.cfg") ++opens;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return opens;
    }
#endif

private slots:
    void init() {
        SetUpFixture("zeltra-konfig-");
        path = ConfigPath();
        scripted = nullptr;
    }
    void cleanup() { TearDownFixture(); }

    void layoutAndTexts() {
        ConfigurationDialog d(nullptr, dir);
        QCOMPARE(d.windowTitle(), QString("Konfiguracja"));
        QVERIFY(!d.isModal());
        auto* form = d.findChild<QFormLayout*>();
        QVERIFY(form);
        const std::pair<QWidget*, const char*> rows[] = {
            {d.PortBox(), "Numer portu RS232"},   {d.SpeedBox(), "Prędkość transmisji"},
            {d.TimeoutEdit(), "Time-OUT"},         {d.ErrorModeEdit(), "Obsługa błędów"},
            {d.PluEdit(), "Ograniczenie PLU"},     {d.LoggingBox(), "Logowanie transmisji"}};
        for (int i = 0; i < 6; ++i) {
            auto* label = qobject_cast<QLabel*>(form->labelForField(rows[i].first));
            QVERIFY(label);
            QCOMPARE(label->text(), QString::fromUtf8(rows[i].second));
            int row = -1;
            QFormLayout::ItemRole role;
            form->getWidgetPosition(rows[i].first, &row, &role);
            QCOMPARE(row, i);  // top to bottom in this order
        }
        QCOMPARE(d.SpeedBox()->count(), 3);
        QCOMPARE(d.SpeedBox()->itemText(0), QString("9600"));
        QCOMPARE(d.SpeedBox()->itemText(1), QString("19200"));
        QCOMPARE(d.SpeedBox()->itemText(2), QString("38400"));
        QCOMPARE(d.LoggingBox()->count(), 2);
        QCOMPARE(d.LoggingBox()->itemText(0), QString("NIE"));
        QCOMPARE(d.LoggingBox()->itemText(1), QString("TAK"));
        QCOMPARE(d.SaveButton()->text(), QString::fromUtf8("Wyjście z zapisem"));
        QCOMPARE(d.CloseButton()->text(), QString::fromUtf8("Wyjście bez zapisu"));
    }

    // As the program entry builds them: config.cfg is read once, for the
    // settings and the dialog alike. A FIFO or a link to an endless device
    // gives the defaults at once; a time-out typed as 200 s is taken as 60 s.
    void startUpReadsTheConfigFileOnce() {
#ifdef _WIN32
        QSKIP("A FIFO, a link to an endless device and the count of opens (inotify) are Linux's own; "
              "Windows refuses a config.cfg that is a folder (app.Configuration).");
#else
        enum class Kind { Text, Fifo, EndlessDevice };
        const struct {
            const char* name;
            Kind kind;
            const char* text;
            const char* port;
            int pollLimit;
            int opens;  // -1: not seen from the folder (the link leads elsewhere)
            const char* timeoutShown;
        } cases[] = {
            {"time-out typo in mode 3", Kind::Text,
             "[PORTRS]\r\nNrPortu=COM7\r\nTimeout=200\r\n[USTAWIENIA]\r\nObslugaBledow=3\r\n", "COM7",
             6000000, 1, "200"},
            {"FIFO", Kind::Fifo, "", "COM1", 200000, 1, "2"},
            {"link to an endless device", Kind::EndlessDevice, "", "COM1", 200000, -1, "2"},
        };
        for (const auto& c : cases) {
            std::remove(path.c_str());
            std::optional<FifoGuard> fifo;
            switch (c.kind) {
            case Kind::Text: WriteFile(c.text); break;
            case Kind::Fifo: QVERIFY(fifo.emplace(path).Made()); break;
            case Kind::EndlessDevice: QCOMPARE(symlink("/dev/zero", path.c_str()), 0); break;
            }
            UseScriptedPort();
            const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            QVERIFY(watch >= 0);
            QVERIFY(inotify_add_watch(watch, dir.toLocal8Bit().constData(), IN_OPEN) >= 0);
            {
                const long long before = BytesRead();
                QVERIFY(before >= 0);
                MainWindow w(link, nullptr, dir);
                ConfigurationDialog d(&w, dir, w.ConfigurationTextsAtStart());
                QVERIFY2(BytesRead() - before <= static_cast<long long>(kMaxConfigFileSize) + 65536, c.name);
                if (c.opens >= 0) QCOMPARE(ConfigOpens(watch), c.opens);
                QCOMPARE(scripted->openedName, std::string(c.port));
                QCOMPARE(link.Settings().pollLimit, c.pollLimit);
                QVERIFY2(scripted->polls <= 3L * c.pollLimit, c.name);  // at most three reads
                QCOMPARE(d.PortEdit()->text(), QString(c.port));
                QCOMPARE(d.TimeoutEdit()->text(), QString(c.timeoutShown));
            }
            ::close(watch);
            if (fifo) QVERIFY2(!fifo->Rescued(), c.name);
        }
#endif
    }

    void noConfigFile() {
        UseScriptedPort();
        MainWindow w(link, nullptr, dir);
        ConfigurationDialog d(&w, dir);
        QCOMPARE(scripted->openedName, std::string("COM1"));
        QCOMPARE(scripted->openedBaud, 9600);
        QCOMPARE(link.Settings().pollLimit, 200000);
        QCOMPARE(link.Settings().errorMode, 1);
        QCOMPARE(link.Settings().logging, 0);
        QCOMPARE(w.Tables().PluCount(), 0);  // the model's default, once one is chosen
        QCOMPARE(d.PortEdit()->text(), QString("COM1"));
        QCOMPARE(d.SpeedBox()->currentText(), QString("9600"));
        QCOMPARE(d.TimeoutEdit()->text(), QString("2"));
        QCOMPARE(d.ErrorModeEdit()->text(), QString("1"));
        QCOMPARE(d.PluEdit()->text(), QString());
        QCOMPARE(d.LoggingBox()->currentText(), QString("NIE"));
        QVERIFY(!FileExists());  // reading creates nothing
    }

    void otherWorkingDirectory() {
        WriteFile("[PORTRS]\r\nNrPortu=COM7\r\nTimeout=0.01\r\nBaud=38400\r\n[USTAWIENIA]\r\n"
                  "MaxPlu=77\r\nCzyLogowac=1\r\n");
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir));
        UseScriptedPort();
        {
            MainWindow w(link);
            ConfigurationDialog d(&w);
            QCOMPARE(scripted->openedName, std::string("COM7"));
            QCOMPARE(scripted->openedBaud, 38400);
            QCOMPARE(d.PortEdit()->text(), QString("COM7"));
            QCOMPARE(d.PluEdit()->text(), QString("77"));
            QCOMPARE(d.LoggingBox()->currentText(), QString("TAK"));
            // Saving after the directory changed still writes the file read at entry.
            QVERIFY(QDir::setCurrent(before));
            Retype(d.PortEdit(), "COM8");
            QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
        }
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(ReadFile(),
                 std::string("[PORTRS]\r\nNrPortu=COM8\r\nTimeout=0.01\r\nBaud=38400\r\n"
                             "[USTAWIENIA]\r\nMaxPlu=77\r\nCzyLogowac=1\r\nObslugaBledow=1\r\n"));
    }

    void speedOutsideTheList() {
        WriteFile("[PORTRS]\r\nTimeout=0.01\r\nBaud=4800\r\n");
        UseScriptedPort();
        MainWindow w(link, nullptr, dir);
        ConfigurationDialog d(&w, dir);
        w.AttachConfigurationDialog(&d);
        QCOMPARE(d.SpeedBox()->currentText(), QString("4800"));
        QCOMPARE(d.SpeedBox()->count(), 3);
        QCOMPARE(scripted->openedBaud, 9600);

        // Applied as it is: the link keeps 4800, the port opens at 9600 again.
        scripted->events.clear();
        ui.answers = {true};
        QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
        QCOMPARE(link.Settings().baud, 4800);
        QCOMPARE(scripted->openedBaud, 9600);
        // The port is closed after its queues are emptied, then opened again.
        QCOMPARE(scripted->events,
                 (std::vector<std::string>{"sleep 1000", "purge", "close", "open"}));
        QCOMPARE(d.SpeedBox()->count(), 3);  // a typed speed is not added to the list

        // A speed picked from the list.
        w.ShowConfiguration();
        d.SpeedBox()->setCurrentIndex(1);
        ui.answers = {true};
        QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
        QCOMPARE(scripted->openedBaud, 19200);
        QVERIFY(ReadFile().find("Baud=19200\r\n") != std::string::npos);
    }

    void exitWithoutSaving() {
        WriteFile("[PORTRS]\r\nNrPortu=COM3\r\nTimeout=0.01\r\n");
        const std::string before = ReadFile();
        UseScriptedPort();
        MainWindow w(link, nullptr, dir);
        ConfigurationDialog d(&w, dir);
        w.AttachConfigurationDialog(&d);
        w.findChild<QAction*>("configurationAction")->trigger();
        QVERIFY(d.isVisible());
        QVERIFY(!d.isModal());
        ui.Clear();
        scripted->events.clear();

        Retype(d.PortEdit(), "COM9");
        Retype(d.SpeedBox(), "38400");
        Retype(d.TimeoutEdit(), "5");
        Retype(d.PluEdit(), "300");
        d.LoggingBox()->setCurrentIndex(1);
        QTest::mouseClick(d.CloseButton(), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(ReadFile(), before);
        QVERIFY(ui.shown.empty());
        QVERIFY(scripted->events.empty());
        QCOMPARE(link.Settings().portName, std::string("COM3"));
        QCOMPARE(link.Settings().pollLimit, 1000);

        // Shown again, it still holds what was typed.
        w.findChild<QAction*>("configurationAction")->trigger();
        QVERIFY(d.isVisible());
        QCOMPARE(d.PortEdit()->text(), QString("COM9"));
        QCOMPARE(d.SpeedBox()->currentText(), QString("38400"));
        QCOMPARE(d.TimeoutEdit()->text(), QString("5"));
        QCOMPARE(d.PluEdit()->text(), QString("300"));
        QCOMPARE(d.LoggingBox()->currentText(), QString("TAK"));
        // Enter in a field does not save.
        QTest::keyClick(d.PortEdit(), Qt::Key_Return);
        QCOMPARE(ReadFile(), before);
    }

    void saveAndKeepTheSession() {
        StartEmulator();
        MainWindow w(link, nullptr, dir);
        ConfigurationDialog d(&w, dir);
        w.AttachConfigurationDialog(&d);
        QVERIFY(w.OnLine());
        const LinkSettings old = link.Settings();
        ui.Clear();

        Retype(d.TimeoutEdit(), "0,5");
        Retype(d.SpeedBox(), "19200");
        Retype(d.ErrorModeEdit(), "0");
        Retype(d.PluEdit(), "500");
        d.LoggingBox()->setCurrentIndex(1);
        ui.answers = {false};
        QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(ui.shown.size(), size_t(1));
        QCOMPARE(ui.shown[0].kind, std::string("question"));
        QCOMPARE(ui.shown[0].text, std::string(kApplyQuestion));
        QCOMPARE(ui.shown[0].caption, std::string("Uwzględnić zmiany ?"));
        QCOMPARE(ReadFile(), "[PORTRS]\r\nNrPortu=" + server->SlavePath() +
                                 "\r\nTimeout=0,5\r\nBaud=19200\r\n[USTAWIENIA]\r\n"
                                 "ObslugaBledow=0\r\nMaxPlu=500\r\nCzyLogowac=1\r\n");

        // The running program goes on as it was.
        QCOMPARE(link.Settings().baud, old.baud);
        QCOMPARE(link.Settings().pollLimit, old.pollLimit);
        QCOMPARE(link.Settings().logging, old.logging);
        QCOMPARE(link.Settings().errorMode, old.errorMode);
        QVERIFY(w.OnLine());
        QCOMPARE(Enabled(w), 41);
        QCOMPARE(w.SerialLabel()->text(), QString("123456"));
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 19200);
        QTest::mouseClick(w.Service().checkConnection, Qt::LeftButton);
        QVERIFY(w.OnLine());
        QCOMPARE(w.Tables().Model(), 3);
    }

    void saveAndApply() {
        StartEmulator();
        MainWindow w(link, nullptr, dir);
        ConfigurationDialog d(&w, dir);
        w.AttachConfigurationDialog(&d);
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 19200);  // model 3's default taken
        ui.Clear();

        Retype(d.TimeoutEdit(), "1");
        d.LoggingBox()->setCurrentIndex(0);
        ui.answers = {true};
        QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(ui.shown.size(), size_t(2));
        QCOMPARE(ui.shown[0].text, std::string(kApplyQuestion));
        QCOMPARE(ui.shown[1].kind, std::string("message"));
        QCOMPARE(ui.shown[1].text, std::string(kOffLineMessage));
        QVERIFY(!w.OnLine());
        QCOMPARE(Enabled(w), 0);
        QVERIFY(w.Service().checkConnection->isEnabled());
        QCOMPARE(w.ModelLabel()->text(), QString("TRYB OFF-LINE"));
        QCOMPARE(w.SerialLabel()->text(), QString("??????"));
        QCOMPARE(w.VersionLabel()->text(), QString());
        QCOMPARE(w.ProgramVersionLabel()->text(), QString(" - wersja programu: 1.7.0.0"));
        // Model 0 with the configured rule: MaxPlu 0 gives model 0's default again.
        QCOMPARE(w.Tables().Model(), 0);
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 2636);
        QCOMPARE(w.GridModel(TableId::Plu)->columnCount(), 7);
        QCOMPARE(w.GridModel(TableId::Key)->rowCount(), 20);
        QCOMPARE(link.Settings().pollLimit, 100000);

        // The reopened port reaches the register: ON-LINE again.
        QTest::mouseClick(w.Service().checkConnection, Qt::LeftButton);
        QVERIFY(w.OnLine());
        QCOMPARE(Enabled(w), 41);
        QCOMPARE(w.SerialLabel()->text(), QString("123456"));
        QCOMPARE(w.Tables().Model(), 3);
    }

    // Texts that are no numbers keep what is in force; the program goes on.
    void applyUnusableNumbers() {
        StartEmulator(1, "700");
        MainWindow w(link, nullptr, dir);
        ConfigurationDialog d(&w, dir);
        w.AttachConfigurationDialog(&d);
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 700);
        Retype(d.SpeedBox(), "szybko");
        d.TimeoutEdit()->clear();
        d.PluEdit()->setText(QString::fromUtf8("dużo"));  // key clicks take Latin-1 only
        ui.answers = {true};
        QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
        QCOMPARE(link.Settings().baud, 9600);
        QCOMPARE(link.Settings().pollLimit, 200000);
        QCOMPARE(w.Tables().Model(), 0);
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 700);
        QCOMPARE(w.SerialLabel()->text(), QString("??????"));
        // The file holds what was typed, in Windows-1250.
        QVERIFY(ReadFile().find("Timeout=\r\nBaud=szybko\r\n") != std::string::npos);
        QVERIFY(ReadFile().find("MaxPlu=du\xBFo\r\n") != std::string::npos);
        QTest::mouseClick(w.Service().checkConnection, Qt::LeftButton);
        QVERIFY(w.OnLine());
    }

    // Records beyond model 0's PLU count: the user is asked; No keeps the
    // model, the sizes and the records.
    void applyThatWouldDropRecords() {
        StartEmulator();
        MainWindow w(link, nullptr, dir);
        ConfigurationDialog d(&w, dir);
        w.AttachConfigurationDialog(&d);
        w.Tables().SetCell(TableId::Plu, 0, 5000, "5000");
        ui.Clear();
        ui.answers = {true, false};
        QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
        QCOMPARE(ui.shown.size(), size_t(3));
        QCOMPARE(ui.shown[1].text, std::string(kOffLineMessage));
        QCOMPARE(ui.shown[2].kind, std::string("question"));
        QCOMPARE(w.Tables().Model(), 3);
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 19200);
        QCOMPARE(w.Tables().PluCount(), 19200);
        QCOMPARE(w.Tables().Cell(TableId::Plu, 0, 5000), std::string("5000"));
        QCOMPARE(w.SerialLabel()->text(), QString("??????"));
        QCOMPARE(Enabled(w), 0);

        // Yes this time: model 0, the record goes with its row.
        ui.answers = {true, true};
        QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
        QCOMPARE(w.Tables().Model(), 0);
        QCOMPARE(w.GridModel(TableId::Plu)->rowCount(), 2636);
    }

    void errorModeOnlyAtTheNextStart() {
        StartEmulator(1);
        {
            MainWindow w(link, nullptr, dir);
            ConfigurationDialog d(&w, dir);
            w.AttachConfigurationDialog(&d);
            ClearRequests();
            Retype(d.ErrorModeEdit(), "2");
            ui.answers = {true};
            QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
            QCOMPARE(link.Settings().errorMode, 1);
            QTest::mouseClick(w.Service().checkConnection, Qt::LeftButton);
            QVERIFY(w.OnLine());
            const auto sent = Requests();
            QVERIFY(std::find(sent.begin(), sent.end(), "0;2P") == sent.end());
            QCOMPARE(server->WithEmulator([](Emulator& e) { return e.state.errorMode; }), 1);
        }
        // The next start sends it.
        ClearRequests();
        MainWindow next(link, nullptr, dir);
        QCOMPARE(link.Settings().errorMode, 2);
        const auto sent = Requests();
        QVERIFY(std::find(sent.begin(), sent.end(), "0;2P") != sent.end());
        QVERIFY(next.OnLine());
    }

    // While the fiscal memory is being read the port is not taken away.
    void applyRefusedDuringAReading() {
        WriteFile("[PORTRS]\r\nTimeout=0.01\r\n");
        UseScriptedPort();
        MainWindow w(link, nullptr, dir);
        FmreaderWindow fiscal(link, &w);
        AuxiliaryWindows windows;
        windows.fiscalMemory = &fiscal;
        w.SetAuxiliaryWindows(windows);
        ConfigurationDialog d(&w, dir);
        w.AttachConfigurationDialog(&d);
        QMetaObject::invokeMethod(&fiscal, "readingActive", Q_ARG(bool, true));
        scripted->events.clear();
        ui.Clear();
        Retype(d.SpeedBox(), "38400");
        ui.answers = {true};
        QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
        QVERIFY(scripted->events.empty());
        QCOMPARE(link.Settings().baud, 9600);
        QCOMPARE(ui.Messages().size(), size_t(1));
        QVERIFY(ui.Messages()[0] != kOffLineMessage);
        QVERIFY(ReadFile().find("Baud=38400\r\n") != std::string::npos);
        QMetaObject::invokeMethod(&fiscal, "readingActive", Q_ARG(bool, false));
    }

    // "Wykryj kasę": the ports offered with their descriptions, the search
    // in its progress window, and the chosen register's port and speed put
    // into the fields on OK; Anuluj, or a search stopped with "Przerwij",
    // leaves the fields as they were.
    void detectRegister() {
#ifdef _WIN32
        QSKIP("Three registers at three line speeds need three terminals whose speed the emulator can see; "
              "the Windows run has one pair of joined COM ports.");
#else
        PtyServer nobody, slow, fast;
        nobody.WithEmulator([](Emulator& e) { e.switches.silent = true; });
        slow.WithEmulator([](Emulator& e) { e.switches.lineSpeed = 19200; });
        fast.WithEmulator([](Emulator& e) {
            e.SetModel(0);
            e.switches.lineSpeed = 38400;
        });
        QVERIFY(nobody.Start() && slow.Start() && fast.Start());
        const QString slowPath = QString::fromStdString(slow.SlavePath());
        const QString fastPath = QString::fromStdString(fast.SlavePath());

        enum class Answer { Ok, Cancel, StopSearch };
        const struct {
            const char* name;
            std::vector<PtyServer*> ports;
            int choose;  // row in the results; -1: as offered
            Answer answer;
            QString port, speed;  // the fields afterwards
            int lines;            // lines that can be chosen
        } cases[] = {
            {"one register, OK", {&nobody, &slow}, -1, Answer::Ok, slowPath, "19200", 1},
            {"two registers, the second chosen", {&slow, &fast}, 1, Answer::Ok, fastPath, "38400", 2},
            {"Anuluj", {&slow, &fast}, 1, Answer::Cancel, "COM9", "9600", 2},
            {"Przerwij", {&nobody, &slow}, -1, Answer::StopSearch, "COM9", "9600", 0},
        };
        for (const auto& c : cases) {
            ConfigurationDialog d(nullptr, dir);
            d.SetPortSource([&] {
                std::vector<SerialPortInfo> ports;
                for (PtyServer* s : c.ports) ports.push_back({s->SlavePath(), "Kasa testowa"});
                return ports;
            });
            QCOMPARE(d.PortBox()->count(), int(c.ports.size()));
            QCOMPARE(d.PortBox()->itemText(0),
                     QString::fromStdString(c.ports[0]->SlavePath()) + QString::fromUtf8(" — Kasa testowa"));
            // An entry picked puts its name alone into the field.
            d.PortBox()->setCurrentIndex(0);
            QCOMPARE(d.PortEdit()->text(), QString::fromStdString(c.ports[0]->SlavePath()));
            Retype(d.PortEdit(), "COM9");
            d.SpeedBox()->setCurrentIndex(0);
            QCOMPARE(d.DetectButton()->text(), QString::fromUtf8("&Wykryj kasę"));

            bool sawStop = false;
            QStringList lines;
            int choosable = 0;
            QTimer answer;
            answer.setInterval(20);
            connect(&answer, &QTimer::timeout, this, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* progress = qobject_cast<QProgressDialog*>(modal)) {
                    for (auto* b : progress->findChildren<QPushButton*>())
                        if (b->text() == "Przerwij") {
                            sawStop = true;
                            if (c.answer == Answer::StopSearch) QTest::mouseClick(b, Qt::LeftButton);
                        }
                    return;
                }
                auto* results = qobject_cast<DetectionResultsDialog*>(modal);
                if (!results) return;
                answer.stop();
                for (int i = 0; i < results->List()->count(); ++i) {
                    lines << results->List()->item(i)->text();
                    choosable += (results->List()->item(i)->flags() & Qt::ItemIsEnabled) != 0;
                }
                if (c.choose >= 0) results->List()->setCurrentRow(c.choose);
                QTest::mouseClick(c.answer == Answer::Ok ? results->OkButton() : results->CancelButton(),
                                  Qt::LeftButton);
            });
            answer.start();
            QTest::mouseClick(d.DetectButton(), Qt::LeftButton);
            answer.stop();

            QVERIFY2(sawStop, c.name);
            // The listed ports and the typed one, which is not there.
            QCOMPARE(lines.size(), int(c.ports.size()) + 1);
            QCOMPARE(lines.last(), QString::fromUtf8(c.answer == Answer::StopSearch
                                                         ? "COM9: nie sprawdzono (przerwano)"
                                                         : "COM9: nie można otworzyć portu"));
            QCOMPARE(choosable, c.lines);
            QCOMPARE(d.PortEdit()->text(), c.port);
            QCOMPARE(d.SpeedBox()->currentText(), c.speed);
            QCOMPARE(d.Texts().port, c.port.toStdString());
            QVERIFY(ui.shown.empty());
            // Every line is free again.
            for (PtyServer* s : c.ports) {
                NativeSerialPort check;
                QVERIFY2(check.Open(s->SlavePath(), 9600), c.name);
            }
        }
#endif
    }

    // The program's version in the top line and in the About box.
    void versionInBothPlaces() {
        WriteFile("[PORTRS]\r\nTimeout=0.01\r\n");
        UseScriptedPort();
        MainWindow w(link, nullptr, dir);
        AboutBox about(&w);
        about.SetVersionSource(w.ProgramVersionLabel());
        QCOMPARE(w.ProgramVersionLabel()->text(), QString(" - wersja programu: 1.7.0.0"));
        about.show();
        QCOMPARE(about.versionLine()->text(), QString(" - wersja programu: 1.7.0.0"));
    }
};

QTEST_MAIN(ConfigurationDialogTest)
#include "test_konfiguracja_okno.moc"
