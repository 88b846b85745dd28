// "Wyślij do wielu kas…" against several emulators on pseudo-terminals: every
// register ends with exactly the window's records, one that fails ends its
// own row only, "Przerwij" and closing stop them all, the changes-only send
// offers the full one. The window's register is the fixture's emulator.
#include <QtTest>

#include <QAction>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>

#include <filesystem>
#include <functional>
#include <map>

#include "Main.h"
#include "PtyAppFixture.h"
#include "WieleKas.h"

namespace {

constexpr int kPluCount = 20;
using Kind = RegisterRunResult::Kind;

// What a register holds of what the program programs.
struct Held {
    std::map<int, std::map<int, std::string>> records;
    std::string header, ptu;
    bool operator==(const Held&) const = default;
};

Held HeldBy(PtyServer& s) {
    return s.WithEmulator([](Emulator& e) { return Held{e.state.records, e.state.header, e.state.ptuRates}; });
}

// Other data in every record the window has, so that a record left unsent shows.
void Scramble(Emulator& e, const Held& like, char fill) {
    for (const auto& [digit, records] : like.records)
        for (const auto& [index, bytes] : records) e.state.records[digit][index] = std::string(bytes.size(), fill);
    e.state.header = std::string(like.header.size(), fill);
    e.state.ptuRates = std::string(like.ptu.size(), fill);
}

// Record frames ("0;" index, letter, record bytes) the register has taken.
int Uploads(const std::vector<std::string>& requests) {
    int n = 0;
    for (const std::string& r : requests) n += r.rfind("0;", 0) == 0 && r.size() > 8;
    return n;
}
int Uploads(PtyServer& s) {
    return s.WithEmulator([](Emulator& e) { return Uploads(e.requests); });
}

}  // namespace

class ManyRegistersTest : public QObject, protected PtyAppFixture {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;
    std::vector<std::unique_ptr<PtyServer>> registers;
    Held reference;  // what the window's own send leaves in its register
    int referenceUploads = 0;
    QString dataDir;

    // The window on its register, its tables read from it; the reference is
    // what the window's own buttons then send there.
    MainWindow& Start() {
        WriteConfigFile("0.5", 2, std::to_string(kPluCount));
        window = std::make_unique<MainWindow>(link, nullptr, dir);
        window->ReadAllClicked();
        // Every PLU row a record, like the first.
        TableSet& t = window->Tables();
        for (int r = 5; r <= kPluCount; ++r) {
            for (int c = 0; c < t.Columns(TableId::Plu); ++c) t.SetCell(TableId::Plu, c, r, t.Cell(TableId::Plu, c, 1));
            t.SetCell(TableId::Plu, 0, r, std::to_string(r));
            t.SetCell(TableId::Plu, 1, r, "TOWAR " + std::to_string(r));
        }
        server->WithEmulator([](Emulator& e) {
            e.state.records.clear();
            e.state.header.clear();
            e.state.ptuRates.clear();
        });
        window->SendAllClicked();
        window->SendTableClicked(7);
        window->SendTableClicked(8);
        reference = HeldBy(*server);
        referenceUploads = Uploads(*server);
        ui.Clear();
        return *window;
    }
    // A model 1 register with its own serial number and data.
    PtyServer& AddRegister(const std::function<void(Emulator&)>& shape = {}) {
        registers.push_back(std::make_unique<PtyServer>());
        PtyServer& s = *registers.back();
        if (!s.Start()) qFatal("no pseudo-terminal");
        const int k = static_cast<int>(registers.size());
        s.WithEmulator([&](Emulator& e) {
            e.SetModel(1);
            e.state.serial = std::to_string(200000 + k);
            Scramble(e, reference, static_cast<char>('A' + k));
            if (shape) shape(e);
        });
        return s;
    }
    // The dialog from the menu, listing the window's port and the registers'.
    ManyRegistersDialog& Open(const std::vector<std::string>& extraPorts = {}) {
        ManyRegistersDialog& d = *window->ManyRegisters();
        std::vector<SerialPortInfo> ports{{server->SlavePath(), ""}};
        for (const auto& s : registers) ports.push_back({s->SlavePath(), ""});
        for (const auto& p : extraPorts) ports.push_back({p, ""});
        d.SetPortSource([ports] { return ports; });
        DetectionOptions fast;
        fast.speeds = {9600};
        fast.timeoutMs = 300;
        d.SetDetectionOptions(fast);
        QAction* item = window->findChild<QAction*>("manyRegistersAction");
        if (!item) qFatal("no menu item");
        item->trigger();
        return d;
    }
    static int Row(ManyRegistersDialog& d, const PtyServer& s) { return d.RowOf(QString::fromStdString(s.SlavePath())); }
    static void TickAll(ManyRegistersDialog& d) {
        for (int r = 0; r < d.Table()->rowCount(); ++r) d.SetTicked(r, true);
    }
    static bool RunToEnd(ManyRegistersDialog& d) {
        QSignalSpy finished(&d, &ManyRegistersDialog::runFinished);
        QTest::mouseClick(d.SendButton(), Qt::LeftButton);
        return finished.wait(30000);
    }

private slots:
    void initTestCase() {
#ifdef _WIN32
        QSKIP("Windows has one pair of joined COM ports: several registers cannot be served at once");
#endif
        // The registers' copies go to a folder of the test's own.
        dataDir = QString::fromStdString(testfiles::MakeTempDir("zeltra-wiele-dane-").string());
        qputenv("ZELTRA_DATA_DIR", dataDir.toUtf8());
    }
    void cleanupTestCase() {
        std::error_code ignored;
        std::filesystem::remove_all(dataDir.toStdString(), ignored);
    }
    void init() {
        SetUpFixture("zeltra-wiele-");
        QVERIFY(LaunchEmulator([](Emulator& e) {
            e.SetModel(1);
            e.LoadDemoData();
        }));
    }
    void cleanup() {
        window.reset();  // stops and waits for whatever still runs
        registers.clear();
        TearDownFixture();
    }

    // Found by "Wykryj kasy", four registers with different data each end
    // with the window's records, header and rates byte for byte; the window's
    // own port is left out.
    void allTablesReachEveryRegister() {
        MainWindow& w = Start();
        QVERIFY(w.OnLine());
        for (int k = 0; k < 4; ++k) AddRegister(k == 0 ? [](Emulator& e) { e.state.records.clear(); }
                                                       : std::function<void(Emulator&)>());
        ManyRegistersDialog& d = Open();
        QVERIFY(d.isVisible());
        QCOMPARE(d.windowTitle(), QString("Wyślij do wielu kas"));
        const int own = d.RowOf(QString::fromStdString(server->SlavePath()));
        QVERIFY(!(d.Table()->item(own, ManyRegistersDialog::PortColumn)->flags() & Qt::ItemIsUserCheckable));
        QVERIFY(!d.SendButton()->isEnabled());

        QSignalSpy searched(&d, &ManyRegistersDialog::detectionFinished);
        QTest::mouseClick(d.DetectButton(), Qt::LeftButton);
        QVERIFY(searched.wait(10000));
        for (const auto& s : registers) {
            const int r = Row(d, *s);
            QVERIFY(d.IsTicked(r));
            QCOMPARE(d.Text(r, ManyRegistersDialog::ModelColumn), QString("ZELTRA ARK MIRRA"));
            QCOMPARE(d.Text(r, ManyRegistersDialog::SerialColumn),
                     QString::fromStdString(s->WithEmulator([](Emulator& e) { return e.state.serial; })));
        }
        QVERIFY(!d.IsTicked(own));
        for (const auto& s : registers) QVERIFY(HeldBy(*s) != reference);

        QVERIFY(d.AllTablesChoice()->isChecked());
        QVERIFY(RunToEnd(d));
        for (const auto& s : registers) {
            const int r = Row(d, *s);
            QCOMPARE(d.Text(r, ManyRegistersDialog::ResultColumn), QString("Wysłano wszystkie tabele"));
            QCOMPARE(d.RowBar(r)->value(), 1000);
            QVERIFY2(HeldBy(*s) == reference, s->SlavePath().c_str());
        }
        QCOMPARE(ui.shown.size(), size_t(0));  // no box from any worker
        QCOMPARE(Enabled(w), 41);              // the window's register untouched
    }

    // One register that fails ends its own row with the reason and keeps its
    // data; the others finish. All at once in one run.
    void oneFailingRegisterLeavesTheOthers() {
        Start();
        struct Case {
            const char* name;
            std::function<void(Emulator&)> shape;
            Kind kind;
            QString text;
            bool untouched;  // nothing of the window's reached it
        };
        const std::vector<Case> cases = {
            {"works", {}, Kind::Sent, "Wysłano wszystkie tabele", false},
            {"silent", [](Emulator& e) { e.switches.silent = true; }, Kind::Silent, "Kasa nie odpowiada", true},
            {"another model", [](Emulator& e) { e.SetModel(2); }, Kind::OtherModel,
             "Inny model kasy: ZELTRA ARK MAXI", true},
            // Answers the mode, the identification and the information
            // block, then nothing until long after the run.
            {"silent after identification",
             [](Emulator& e) {
                 e.switches.lateFrom = 4;
                 e.switches.lateMs = 20000;
             },
             Kind::Silent, "Kasa nie odpowiada", false},
            {"works too", {}, Kind::Sent, "Wysłano wszystkie tabele", false},
        };
        std::vector<Held> before;
        for (const Case& c : cases) before.push_back(HeldBy(AddRegister(c.shape)));
        const std::string missing = dir.toStdString() + "/brak-portu";
        ManyRegistersDialog& d = Open({missing});
        TickAll(d);
        QElapsedTimer took;
        took.start();
        QVERIFY(RunToEnd(d));
        // One after another they would take some 12 s.
        QVERIFY2(took.elapsed() < 8000, qPrintable(QString::number(took.elapsed())));
        for (std::size_t k = 0; k < cases.size(); ++k) {
            const Case& c = cases[k];
            const int r = Row(d, *registers[k]);
            QVERIFY2(d.Result(r) == c.kind, c.name);
            QCOMPARE(d.Text(r, ManyRegistersDialog::ResultColumn), c.text);
            if (c.kind == Kind::Sent) QVERIFY2(HeldBy(*registers[k]) == reference, c.name);
            if (c.untouched) QVERIFY2(HeldBy(*registers[k]) == before[k], c.name);
        }
        const int none = d.RowOf(QString::fromStdString(missing));
        QVERIFY(d.Result(none) == Kind::CannotOpen);
        QCOMPARE(d.Text(none, ManyRegistersDialog::ResultColumn), QString("Nie można otworzyć portu"));
        // The workers' questions were answered on their rows, never in a box.
        QCOMPARE(ui.shown.size(), size_t(0));
    }

    // "Przerwij", and closing the dialog, stop every register between two
    // records, promptly; nothing more reaches them afterwards.
    void stopEndsEveryRegister_data() {
        QTest::addColumn<bool>("byClosing");
        QTest::newRow("Przerwij") << false;
        QTest::newRow("Zamknij") << true;
    }
    void stopEndsEveryRegister() {
        QFETCH(bool, byClosing);
        Start();
        // Replies paced at 1200 Bd: each register's send takes seconds.
        for (int k = 0; k < 3; ++k) AddRegister([](Emulator& e) { e.switches.baud = 1200; });
        ManyRegistersDialog& d = Open();
        TickAll(d);
        QSignalSpy finished(&d, &ManyRegistersDialog::runFinished);
        QTest::mouseClick(d.SendButton(), Qt::LeftButton);
        QVERIFY(d.Running());
        QVERIFY(d.StopButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const auto& s : registers)
                    if (Uploads(*s) < 3) return false;
                return true;
            }(),
            10000);

        QElapsedTimer took;
        took.start();
        if (byClosing) {
            QTest::mouseClick(d.CloseButton(), Qt::LeftButton);
            QVERIFY(!d.isVisible());
            QVERIFY(!d.Running());
        } else {
            QTest::mouseClick(d.StopButton(), Qt::LeftButton);
            QVERIFY(finished.wait(5000));
        }
        QVERIFY2(took.elapsed() < 3000, qPrintable(QString::number(took.elapsed())));
        std::vector<int> sent;
        for (const auto& s : registers) {
            const int r = Row(d, *s);
            QVERIFY(d.Result(r) == Kind::Stopped);
            QCOMPARE(d.Text(r, ManyRegistersDialog::ResultColumn), QString("Przerwano"));
            sent.push_back(Uploads(*s));
            QVERIFY2(sent.back() < referenceUploads / 2, qPrintable(QString::number(sent.back())));
        }
        QTest::qWait(300);
        for (std::size_t k = 0; k < registers.size(); ++k) QCOMPARE(Uploads(*registers[k]), sent[k]);
        QVERIFY(d.SendButton()->isEnabled());
        QCOMPARE(ui.shown.size(), size_t(0));
    }

    // "Tylko zmiany" to registers without a copy: their rows say why, one
    // question offers the full send to just those; "Tak" sends it.
    void changesOnlyOffersTheFullSend_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Tak") << true;
        QTest::newRow("Nie") << false;
    }
    void changesOnlyOffersTheFullSend() {
        QFETCH(bool, yes);
        Start();
        PtyServer& a = AddRegister();
        PtyServer& b = AddRegister();
        const Held beforeA = HeldBy(a), beforeB = HeldBy(b);
        ManyRegistersDialog& d = Open();
        TickAll(d);
        QTest::mouseClick(d.ChangesChoice(), Qt::LeftButton);
        QVERIFY(d.ChangesChoice()->isChecked());
        ui.answers = {yes};
        QVERIFY(RunToEnd(d));

        QCOMPARE(ui.shown.size(), size_t(1));
        const std::string asked = ui.shown[0].text;
        const std::string intro = "Kasy " + a.SlavePath() + ", " + b.SlavePath() + " nie mają aktualnej kopii:\r";
        QVERIFY2(asked.rfind(intro, 0) == 0, asked.c_str());
        QVERIFY2(asked.find(a.SlavePath() + ", nr fabryczny 200001: ") != std::string::npos, asked.c_str());
        QVERIFY(QString::fromStdString(asked).endsWith(QString("\r\rWysłać do nich wszystkie tabele?")));
        for (PtyServer* s : {&a, &b}) {
            const int r = Row(d, *s);
            if (yes) {
                QVERIFY(d.Result(r) == Kind::Sent);
                QVERIFY(HeldBy(*s) == reference);
            } else {
                QVERIFY(d.Result(r) == Kind::FullSendNeeded);
                QVERIFY(!d.Text(r, ManyRegistersDialog::ResultColumn).isEmpty());
                QVERIFY(HeldBy(*s) == (s == &a ? beforeA : beforeB));
            }
        }
    }
};

QTEST_MAIN(ManyRegistersTest)
#include "test_wiele_kas.moc"
