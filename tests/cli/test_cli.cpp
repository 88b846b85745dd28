// zeltra-kasa's commands through the real serial code against the register
// emulator on a pseudo-terminal, in a temporary working folder with its own
// config.cfg: what reaches the register, what lands in the files, and the
// exit status.
#include "CliFixture.h"

using namespace clitest;

namespace {

TEST_F(CliTest, InfoShowsIdentificationBlockUniqueNumberAndClock) {
    struct Case {
        int model;
        bool fiscal;
        int mode;
        std::map<std::string, std::string> rows;
    };
    const Case cases[] = {
        {1, false, 1,
         {{"Typ kasy", "ZELTRA ARK MIRRA"},
          {"Nr fabryczny", "654321"},
          {"Wersja oprogramowania", "V2.01"},
          {"Nr unikatowy", "ZEL12345678"},
          {"Tryb obsługi błędów", "Wyświetlacz-OFF, RS232-OFF"},
          {"Tryb pracy", "Tryb szkoleniowy"},
          {"Sposób wprowadzania kwot", "w groszach"},
          {"Sposób komunikacji", "ON-LINE"},
          {"Jakość wydruku", "Normalny wydruk"},
          {"Data ostatniego zapisu w FM", "0000-00-00"}}},
        {3, true, 2,
         {{"Typ kasy", "ZELTRA ARK MAXI 20k"},
          {"Tryb obsługi błędów", "Wyświetlacz-ON, RS232-ON"},
          {"Tryb pracy", "Tryb fiskalny"},
          {"Data ostatniego zapisu w FM", "2026-01-05"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        PtyServer& reg = Register([&](Emulator& e) {
            e.SetModel(c.model);
            if (c.model == 3) e.LoadDemoData();
            e.state.serial = "654321";
            e.state.version = "V2.01";
            e.state.fiscal = c.fiscal;
            e.state.settingsFlags = 3;
        });
        Config(reg, c.mode);
        const Result r = Run({"info"});
        EXPECT_EQ(r.status, kExitDone) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(Lines(r.out), 11);
        std::map<std::string, std::string> shown;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            const std::size_t colon = line.find(':');
            ASSERT_NE(colon, std::string::npos) << line;
            shown[line.substr(0, colon)] = line.substr(line.find_first_not_of(' ', colon + 1));
        }
        for (const auto& [name, value] : c.rows) EXPECT_EQ(shown[name], value) << name;
        EXPECT_EQ(shown["Data i czas w kasie"].size(), 19u) << shown["Data i czas w kasie"];
    }
}

TEST_F(CliTest, ReadAllThenSendToAFreshRegisterGivesTheSameFile) {
    struct Case {
        int model;
        int mode;
        const char* maxPlu;
    };
    const Case cases[] = {{1, 1, "0"}, {0, 2, "200"}, {3, 0, "300"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        PtyServer& first = Register([&](Emulator& e) { Shop(e, c.model); });
        Config(first, c.mode, "2", c.maxPlu);
        Result r = Run({"read", "a.pod"});
        ASSERT_EQ(r.status, kExitDone) << r.err;
        EXPECT_EQ(r.err, "");
        const std::string a = Slurp(dir / "a.pod");
        ASSERT_NE(a.find("Typ_kasy=" + std::to_string(c.model) + "\r\n"), std::string::npos);
        ASSERT_NE(a.find("Plu124=124;MLEKO 2%;"), std::string::npos);
        ASSERT_NE(a.find("Linja1=1;SKLEP SPOZYWCZY;"), std::string::npos);

        PtyServer& fresh = Register([&](Emulator& e) { e.SetModel(c.model); });
        Config(fresh, c.mode, "2", c.maxPlu);
        r = Run({"send", "a.pod"});
        ASSERT_EQ(r.status, kExitDone) << r.err;
        EXPECT_EQ(r.err, "");
        ASSERT_TRUE(WaitForRequest(fresh, "0Z"));
        r = Run({"read", "b.pod"});
        ASSERT_EQ(r.status, kExitDone) << r.err;
        EXPECT_EQ(FirstDifference(Slurp(dir / "b.pod"), a), "");
        EXPECT_EQ(fresh.WithEmulator([](Emulator& e) { return e.state.header; }),
                  first.WithEmulator([](Emulator& e) { return e.state.header; }));
        EXPECT_EQ(fresh.WithEmulator([](Emulator& e) { return e.badChecks; }), 0);
    }
}

TEST_F(CliTest, ReadOneTableWritesOnlyItsEntries) {
    PtyServer& reg = Register([](Emulator& e) { Shop(e, 1); });
    Config(reg);
    // One table after another into the same file: each adds its own
    // sections and leaves the others' as they were.
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> present, absent;
    };
    const Case cases[] = {
        {{"read", "plu", "t.pod"}, {"[KASA]", "Typ_kasy=1", "Plu1=1;CHLEB;;C;0;3.49;40;NIE;", "Plu1000="}, {"[OPAKOWANIA]", "[KASJERZY]"}},
        {{"read", "3", "t.pod"}, {"Kasjer2=2;ANNA;1234;", "Kasjer8=;;;", "Plu1=1;CHLEB;"}, {"[OPAKOWANIA]", "[NAGLOWEK]"}},
        {{"read", "NAGLOWEK", "t"}, {"Linja3=3;00-001 Warszawa;", "Kasjer2=2;ANNA;1234;"}, {"[PTU]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const Result r = Run(c.args);
        ASSERT_EQ(r.status, kExitDone) << r.err;
        const std::string file = Slurp(dir / "t.pod");
        for (const std::string& s : c.present) EXPECT_NE(file.find(s), std::string::npos) << s;
        for (const std::string& s : c.absent) EXPECT_EQ(file.find(s), std::string::npos) << s;
    }
}

TEST_F(CliTest, SendOneTableOrAllByWorkMode) {
    // The file: a shop read from a register in training mode.
    PtyServer& source = Register([](Emulator& e) { Shop(e, 1); });
    Config(source);
    ASSERT_EQ(Run({"read", "shop.pod"}).status, kExitDone);

    // A packaging table saved on its own, and a file that holds no table.
    Spit(dir / "packaging.pod", "[OPAKOWANIA]\r\nOpak1=1;BUTELKA;0.50;\r\n");
    Spit(dir / "notes.pod", "zakupy\r\n");

    struct Case {
        const char* name;
        std::vector<std::string> args;
        bool fiscal;
        int status;
        std::vector<int> filled;  // databases holding records afterwards
        bool header, rates;       // "0X", "0Z" sent
        const char* err;          // expected on stderr (a part of it)
    };
    const std::vector<int> all = {kPackaging, kKeys, kCashiers, kForms, kDiscounts, kPlu};
    const Case cases[] = {
        {"cashiers", {"send", "shop.pod", "kasjerzy"}, false, kExitDone, {kCashiers}, false, false, ""},
        {"header by number", {"send", "shop.pod", "7"}, false, kExitDone, {}, true, false, ""},
        {"rates in fiscal mode", {"send", "shop.pod", "ptu"}, true, kExitRegister, {}, false, false,
         "Programowanie stawek z komputera jest możliwe tylko w trybie szkoleniowym\n"},
        {"all in fiscal mode", {"send", "shop.pod"}, true, kExitDone, all, false, false,
         "nagłówek i stawki PTU pominięto\n"},
        {"all in training mode", {"send", "shop.pod", "wszystkie"}, false, kExitDone, all, true, true, ""},
        // What the file lacks is not sent as empty: the register keeps its header and rates.
        {"all from a one-table file", {"send", "packaging.pod"}, false, kExitDone, {kPackaging}, false, false,
         "Plik packaging.pod nie zawiera nagłówka ani stawek PTU: pominięto je\n"},
        {"a table the file lacks", {"send", "packaging.pod", "ptu"}, false, kExitFile, {}, false, false,
         "Plik packaging.pod nie zawiera tabeli ptu\n"},
        {"not a data file", {"send", "notes.pod"}, false, kExitFile, {}, false, false,
         "Plik notes.pod nie jest plikiem z danymi kasy\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PtyServer& reg = Register([&](Emulator& e) {
            e.SetModel(1);
            e.state.fiscal = c.fiscal;
        });
        Config(reg, 2);
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (*c.err) {
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
            EXPECT_EQ(Lines(r.err), 1) << r.err;
        } else {
            EXPECT_EQ(r.err, "");
        }
        const auto records = Records(reg);
        for (int db : {kPackaging, kKeys, kCashiers, kForms, kDiscounts, kPlu}) {
            const bool filled = std::find(c.filled.begin(), c.filled.end(), db) != c.filled.end();
            const auto it = records.find(db);
            EXPECT_EQ(it != records.end() && !it->second.empty(), filled) << "database " << db;
        }
        const auto sent = Requests(reg);
        auto has = [&](const char* prefix) {
            return std::any_of(sent.begin(), sent.end(), [&](const std::string& p) { return p.rfind(prefix, 0) == 0; });
        };
        EXPECT_EQ(has("0X"), c.header);
        EXPECT_EQ(has("0Z"), c.rates);
        // A file refused is refused before the port is opened.
        if (c.status == kExitFile) {
            EXPECT_EQ(sent, std::vector<std::string>{});
        }
    }
}

TEST_F(CliTest, DeleteRecordOrTable) {
    struct Case {
        std::vector<std::string> args;
        int status;
        int db;
        std::vector<int> left;  // record indexes of that database afterwards
        const char* err;
    };
    const Case cases[] = {
        {{"delete", "opakowania", "2"}, kExitDone, kPackaging, {0}, ""},
        {{"delete", "kasjerzy"}, kExitDone, kCashiers, {0}, ""},
        {{"delete", "kasjerzy", "1"}, kExitUsage, kCashiers, {0, 1}, "Kasjer z nr 1 nie może być usunięty z kasy\n"},
        {{"delete", "rabaty", "5"}, kExitDone, kDiscounts, {0}, ""},
        {{"delete", "plu"}, kExitDone, kPlu, {}, ""},
        {{"delete", "plu", "124"}, kExitDone, kPlu, {0, 1, 2, 3}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + (c.args.size() > 2 ? " " + c.args[2] : ""));
        PtyServer& reg = Register([](Emulator& e) { Shop(e, 1); });
        Config(reg, 3);
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (*c.err) {
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
            EXPECT_EQ(Lines(r.err), 1);
        } else {
            EXPECT_EQ(r.err, "");
        }
        std::vector<int> left;
        const auto records = Records(reg);
        if (const auto it = records.find(c.db); it != records.end())
            for (const auto& [index, bytes] : it->second) left.push_back(index);
        EXPECT_EQ(left, c.left);
    }
}

TEST_F(CliTest, ClockTakesThePcTime) {
    PtyServer& reg = Register([](Emulator& e) { e.state.clockOffset = -400LL * 86400; });
    Config(reg, 2);
    const Result r = Run({"clock"});
    ASSERT_EQ(r.status, kExitDone) << r.err;
    EXPECT_LE(std::llabs(reg.WithEmulator([](Emulator& e) { return e.state.clockOffset; })), 2);
    ASSERT_EQ(r.out.rfind("Data i czas w kasie: ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.size(), std::string("Data i czas w kasie: 2026-01-01 00:00:00\n").size());
}

TEST_F(CliTest, FiscalMemoryToCsv) {
    PtyServer& reg = Register([](Emulator& e) {
        e.state.fiscal = true;
        GenerateFiscalMemory(e.state, 120);
    });
    Config(reg, 2);
    Result r = Run({"fiscal", "fm.csv"});
    ASSERT_EQ(r.status, kExitDone) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string csv = Slurp(dir / "fm.csv");
    EXPECT_EQ(Lines(csv), 121);
    std::vector<std::string> rows;
    std::istringstream lines(csv);
    for (std::string line; std::getline(lines, line);) rows.push_back(line);
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[0],
              "Rodzaj;Nr;Data;TOT. A;TOT. B;TOT. C;TOT. D;TOT. E;TOT. F;TOT. G;Ilość Par.;Ilość Zmian;"
              "Ilość Anul.;Kwota Anul.;PTU. A;PTU. B;PTU. C;PTU. D;PTU. E;PTU. F;PTU. G;Godzina");
    EXPECT_EQ(rows[1], "Zerowanie RAM;1;2020-01-01;;;;;;;;;;;;;;;;;;;00:00");
    EXPECT_EQ(rows[2], "Zmiana stawek PTU;1;2020-01-02;;;;;;;;;;;;23.00;08.00;05.00;00.00;zw;NAK;NAK;");
    EXPECT_EQ(rows[3], "Raport dobowy;1;2020-01-03;123.45;1.07;0.00;0.00;0.00;0.00;0.00;1;1;1;2.50;;;;;;;;");
    EXPECT_EQ(rows[120].rfind("Raport dobowy;", 0), 0u);

    // Without a file: the same text on stdout.
    r = Run({"fiscal"});
    ASSERT_EQ(r.status, kExitDone) << r.err;
    EXPECT_EQ(r.out, csv);

    // A register in training mode has no fiscal memory to read.
    reg.WithEmulator([](Emulator& e) { e.state.fiscal = false; });
    r = Run({"fiscal", "fm.csv"});
    EXPECT_EQ(r.status, kExitRegister);
    EXPECT_EQ(r.err, "Kasa jest w trybie szkoleniowym\n");
    EXPECT_EQ(Slurp(dir / "fm.csv"), csv);
}

// A line that misbehaves as real ones do. Each file written holds exactly
// what a clean line gives; where records stay without their own reply the
// tool writes nothing, says which, and exits 1.
TEST_F(CliTest, MisbehavingLineGivesTheRegistersOwnRecordsOrNothing) {
    enum class Command { ReadAll, ReadCashiers, ReadPlu, Fiscal };
    struct Case {
        const char* name;
        Command command;
        int mode;
        std::function<void(EmulatorSwitches&)> line;
        int status;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"stray bytes after every fifth reply, mode 2", Command::ReadAll, 2,
         [](EmulatorSwitches& s) { s.strayEvery = 5; }, kExitDone, ""},
        {"every fifth record read answered for the next record, mode 2", Command::ReadAll, 2,
         [](EmulatorSwitches& s) { s.wrongRecordEvery = 5; }, kExitDone, ""},
        {"every record read answered for the next record", Command::ReadCashiers, 1,
         [](EmulatorSwitches& s) { s.wrongRecordEvery = 1; }, kExitRegister,
         "Kasa przestała odpowiadać (3 rekordy bez odpowiedzi), przerwano; plik out.pod nie został zapisany\n"},
        {"every tenth reply dropped", Command::ReadPlu, 1, [](EmulatorSwitches& s) { s.dropEvery = 10; },
         kExitRegister,
         "Brak odpowiedzi z kasy: 3 rekordy bez odpowiedzi (PLU nr 9, 19, 29); plik out.pod nie został zapisany\n"},
        {"fiscal memory, stray bytes once after the 9th reply, mode 2", Command::Fiscal, 2,
         [](EmulatorSwitches& s) { s.strayOnceAfter = 9; }, kExitDone, ""},
        {"fiscal memory, stray bytes once after the 11th reply, mode 2", Command::Fiscal, 2,
         [](EmulatorSwitches& s) { s.strayOnceAfter = 11; }, kExitDone, ""},
        {"fiscal memory, every fourth record answered for the next", Command::Fiscal, 2,
         [](EmulatorSwitches& s) { s.wrongRecordEvery = 4; }, kExitDone, ""},
        {"fiscal memory, every record answered for the next", Command::Fiscal, 1,
         [](EmulatorSwitches& s) { s.wrongRecordEvery = 1; }, kExitRegister,
         "Kasa przestała odpowiadać (3 rekordy bez odpowiedzi), przerwano; plik out.pod nie został zapisany\n"},
    };
    auto args = [](Command c) -> std::vector<std::string> {
        switch (c) {
        case Command::ReadAll: return {"read", "out.pod"};
        case Command::ReadCashiers: return {"read", "kasjerzy", "out.pod"};
        case Command::ReadPlu: return {"read", "plu", "out.pod"};
        default: return {"fiscal", "out.pod"};
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto shop = [&](Emulator& e) {
            Shop(e, 1);
            e.state.fiscal = true;
            GenerateFiscalMemory(e.state, 40);
            e.state.errorMode = c.mode;
        };
        Config(Register(shop), c.mode, c.status == kExitDone ? "2" : "0.3", "30");
        const Result clean = Run(args(c.command));
        ASSERT_EQ(clean.status, kExitDone) << clean.err;
        const std::string whole = Slurp(dir / "out.pod");

        // The same register on a line that misbehaves, counting its replies
        // from the start.
        fs::remove(dir / "out.pod");
        Config(Register([&](Emulator& e) {
                   shop(e);
                   c.line(e.switches);
               }),
               c.mode, c.status == kExitDone ? "2" : "0.3", "30");
        const Result r = Run(args(c.command));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        if (c.status == kExitDone)
            EXPECT_EQ(FirstDifference(Slurp(dir / "out.pod"), whole), "");
        else
            EXPECT_FALSE(fs::exists(dir / "out.pod"));
    }
}

// A register that answers after the time-out: the read stops after three
// records without their own reply and writes nothing; its late replies are
// still on the way when the next command starts, and that command takes
// only its own.
TEST_F(CliTest, LateRepliesNeverAnswerTheNextCommand) {
    // Late from the first record read on (the third request, after the mode
    // and the identification): start-up finds the register.
    PtyServer& reg = Register([](Emulator& e) {
        Shop(e, 1);
        e.switches.lateMs = 1500;
        e.switches.lateFrom = 3;
    });
    Config(reg, 1, "0.5");
    Result r = Run({"read", "kasjerzy", "out.pod"});
    EXPECT_EQ(r.status, kExitRegister);
    EXPECT_EQ(r.err, "Kasa przestała odpowiadać (3 rekordy bez odpowiedzi), przerwano; plik out.pod nie został zapisany\n");
    EXPECT_FALSE(fs::exists(dir / "out.pod"));

    reg.WithEmulator([](Emulator& e) { e.switches.lateMs = 0; });
    r = Run({"info"});
    ASSERT_EQ(r.status, kExitDone) << r.err;
    EXPECT_NE(r.out.find("Typ kasy:"), std::string::npos);
    EXPECT_NE(r.out.find("ZELTRA ARK MIRRA"), std::string::npos);
    EXPECT_NE(r.out.find("Nr unikatowy:                ZEL12345678"), std::string::npos) << r.out;
}

TEST_F(CliTest, FileOfAnotherModelSendsNothingUnlessForced) {
    Spit(dir / "maxi.pod", "[KASA]\r\nTyp_kasy=3\r\n[OPAKOWANIA]\r\nOpak1=1;BUTELKA;0.50;\r\n");
    struct Case {
        bool force;
        int status;
        bool uploaded;
    };
    for (const Case& c : {Case{false, kExitModel, false}, Case{true, kExitDone, true}}) {
        SCOPED_TRACE(c.force);
        PtyServer& reg = Register([](Emulator& e) { e.SetModel(1); });
        Config(reg, 2);  // a status reply for each frame: the upload is taken when the run ends
        std::vector<std::string> args = {"send", "maxi.pod"};
        if (c.force) args.push_back("--force");
        const Result r = Run(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        // Forced: a note on the model, and one on the header and rates the file lacks.
        EXPECT_EQ(Lines(r.err), c.force ? 2 : 1) << r.err;
        EXPECT_EQ(r.err.rfind("Plik maxi.pod jest dla kasy ZELTRA ARK MAXI 20k", 0), 0u) << r.err;
        const auto sent = Requests(reg);
        EXPECT_EQ(std::any_of(sent.begin(), sent.end(), IsUpload), c.uploaded);
        if (!c.force) {
            EXPECT_EQ(sent, (std::vector<std::string>{"0;2P", "0^"}));
        }
        const auto records = Records(reg);
        EXPECT_EQ(records.count(kPackaging) ? records.at(kPackaging).size() : 0u, c.uploaded ? 1u : 0u);
    }
}

TEST_F(CliTest, PortOrRegisterMissing) {
    struct Case {
        const char* name;
        bool portExists;
        int mode;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {"no such port", false, 1, kExitPort, "Nie można otworzyć portu /nonexistent/ttyUSB9\n"},
        {"silent register, mode 1", true, 1, kExitRegister, "Kasa nie odpowiada na porcie "},
        {"silent register, mode 3", true, 3, kExitRegister, "Kasa nie odpowiada na porcie "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PtyServer& reg = Register([](Emulator& e) { e.switches.silent = true; });
        if (c.portExists)
            Config(reg, c.mode, "0.2");
        else
            Spit(dir / "config.cfg", ConfigText("/nonexistent/ttyUSB9", "0.2", "9600", "1", "0", "0"));
        Spit(dir / "old.pod", "[KASA]\r\nTyp_kasy=1\r\n");
        const Result r = Run({"read", "old.pod"});
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
        EXPECT_EQ(Lines(r.err), 1) << r.err;
        EXPECT_EQ(Slurp(dir / "old.pod"), "[KASA]\r\nTyp_kasy=1\r\n");
        // The start-up's purge and at most three short time-outs.
        EXPECT_LT(r.seconds, 4.0);
    }
}

// detect: the register found at its speed goes to stdout, the other ports
// to stderr. None found: a register's failure when a port opened, a port's
// failure (as for every command) when none could be opened.
TEST_F(CliTest, DetectFindsTheRegister) {
    PtyServer& silent = Register([](Emulator& e) { e.switches.silent = true; });
    PtyServer& reg = Register([](Emulator& e) {
        e.state.serial = "123456";
        e.switches.lineSpeed = 19200;
    });
    const std::string quiet = silent.SlavePath(), found = reg.SlavePath(), none = "/nonexistent/ttyUSB9";
    const std::string line = found + "\t19200\tZELTRA ARK MIRRA\t123456\tV1.07\n";
    const std::string cannot = none + ": nie można otworzyć portu\n";
    const struct {
        std::string first, second;
        int status;
        std::string out, err;
    } cases[] = {
        {quiet, found, kExitDone, line, quiet + ": brak odpowiedzi\n"},
        {none, found, kExitDone, line, cannot},
        {none, quiet, kExitRegister, "", cannot + quiet + ": brak odpowiedzi\nNie znaleziono kasy\n"},
        {none, none, kExitPort, "", cannot + cannot + "Nie znaleziono kasy: nie można otworzyć żadnego portu\n"},
    };
    for (const auto& c : cases) {
        const Result r = Run({"detect", c.first, c.second});
        EXPECT_EQ(r.status, c.status) << c.second;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(CliTest, TransferCutShortLeavesFilesWhole) {
    // A stop asked for (Ctrl+C) or a register that falls silent once the
    // transfer has begun: the run ends soon, with one line, and a file that
    // was there stays byte for byte.
    std::string plus = "[KASA]\r\nTyp_kasy=1\r\n[TOWARY]\r\n";
    for (int n = 1; n <= 1000; ++n) plus += "Plu" + std::to_string(n) + "=" + std::to_string(n) + ";TOWAR;;A;0;1.00;5;NIE;\r\n";
    Spit(dir / "plu.pod", plus);
    const std::string old = "[KASA]\r\nTyp_kasy=1\r\n[OPAKOWANIA]\r\nOpak1=1;STARA;1.00;\r\n";

    enum class Cut { Interrupt, Silence };
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* file;  // the file that must stay as it was
        Cut cut;
        int mode;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {"read, Ctrl+C", {"read", "out.pod"}, "out.pod", Cut::Interrupt, 1, kExitInterrupted,
         "Przerwano (Ctrl+C); plik out.pod nie został zapisany\n"},
        {"read, silence", {"read", "plu", "out.pod"}, "out.pod", Cut::Silence, 1, kExitRegister,
         "Kasa przestała odpowiadać (3 rekordy bez odpowiedzi), przerwano; plik out.pod nie został zapisany\n"},
        {"send, Ctrl+C", {"send", "plu.pod"}, "plu.pod", Cut::Interrupt, 2, kExitInterrupted,
         "Przerwano (Ctrl+C); kasa otrzymała tylko część danych\n"},
        {"send, silence in mode 2", {"send", "plu.pod", "plu"}, "plu.pod", Cut::Silence, 2, kExitRegister,
         "Kasa przestała odpowiadać (3 rekordy bez odpowiedzi), przerwano; kasa otrzymała tylko część danych\n"},
        {"fiscal memory, Ctrl+C", {"fiscal", "out.pod"}, "out.pod", Cut::Interrupt, 1, kExitInterrupted,
         "Przerwano (Ctrl+C); plik out.pod nie został zapisany\n"},
        // A record whose reply is missing waits for no status after it: the
        // line is cleared before the next one instead.
        {"delete, silence in mode 3", {"delete", "plu"}, "plu.pod", Cut::Silence, 3, kExitRegister,
         "Kasa przestała odpowiadać (3 rekordy bez odpowiedzi), przerwano; usunięto tylko część rekordów\n"},
    };
    constexpr std::size_t kCutAfter = 40;  // requests, start-up's included
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        interrupt = false;
        Spit(dir / "out.pod", old);
        PtyServer& reg = Register([](Emulator& e) {
            Shop(e, 1);
            e.state.fiscal = true;
            GenerateFiscalMemory(e.state, 2000);
            e.switches.baud = 38400;  // a real line's pace: the transfer takes a while
        });
        // A reply at that pace takes up to 40 ms: the time-out must not cut it.
        Config(reg, c.mode, "0.5");
        std::atomic<bool> done{false};
        std::thread watcher([&] {
            while (!done) {
                const bool cut = reg.WithEmulator([&](Emulator& e) {
                    if (e.requests.size() < kCutAfter) return false;
                    if (c.cut == Cut::Silence) e.switches.silent = true;
                    return true;
                });
                if (cut) {
                    if (c.cut == Cut::Interrupt) interrupt = true;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const std::string before = Slurp(dir / c.file);
        const Result r = Run(c.args);
        done = true;
        watcher.join();
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(Slurp(dir / c.file), before);
        // Ended at the cut, not after the whole table.
        EXPECT_LT(Requests(reg).size(), kCutAfter + 10);
        EXPECT_LT(r.seconds, 10.0);
    }
}

}  // namespace

// Tables read from a register go to a spreadsheet and back into the data
// file unchanged, byte for byte; an edited price comes in, and a file with a
// bad row changes nothing unless the good rows are asked for.
TEST_F(CliTest, TablesThroughASpreadsheetAndBack) {
    PtyServer& shop = Register([](Emulator& e) {
        e.SetModel(3);
        e.LoadDemoData();
    });
    Config(shop);
    ASSERT_EQ(Run({"read", "a.pod"}).status, kExitDone);
    const std::string original = Slurp(dir / "a.pod");
    for (const char* table : {"opakowania", "plu", "kasjerzy", "klawisze", "rabaty", "formy", "naglowek", "ptu"}) {
        SCOPED_TRACE(table);
        // Every other table in Windows-1250: the import recognises both.
        const bool cp1250 = table[1] == 'l' || table[1] == 'a';
        Result r = cp1250 ? Run({"csv-export", "--cp1250", table, "a.pod", "t.csv"})
                          : Run({"csv-export", table, "a.pod", "t.csv"});
        ASSERT_EQ(r.status, kExitDone) << r.err;
        EXPECT_EQ(Slurp(dir / "t.csv").rfind("\xEF\xBB\xBF", 0) == 0, !cp1250);
        r = Run({"csv-import", table, "t.csv", "a.pod"});
        ASSERT_EQ(r.status, kExitDone) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(FirstDifference(Slurp(dir / "a.pod"), original), "");
        // The same through a workbook, chosen by the extension.
        r = Run({"csv-export", table, "a.pod", "t.xlsx"});
        ASSERT_EQ(r.status, kExitDone) << r.err;
        EXPECT_EQ(Slurp(dir / "t.xlsx").rfind("PK\x03\x04", 0), 0u);
        r = Run({"csv-import", table, "t.xlsx", "a.pod"});
        ASSERT_EQ(r.status, kExitDone) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(FirstDifference(Slurp(dir / "a.pod"), original), "");
    }
    ASSERT_EQ(Run({"csv-export", "plu", "a.pod", "plu.csv"}).status, kExitDone);
    std::string csv = Slurp(dir / "plu.csv");
    const size_t line2 = csv.find("\r\n") + 2;
    const size_t price = csv.find(";", csv.find(";", csv.find(";", csv.find(";", csv.find(";", line2) + 1) + 1) + 1) + 1);
    csv.replace(price + 1, csv.find(";", price + 1) - price - 1, "12,34");
    Spit(dir / "plu.csv", csv + "7;Za długa nazwa towaru;;A;0;1;0;NIE\r\n");
    const int badLine = static_cast<int>(std::count(csv.begin(), csv.end(), '\n')) + 1;

    Result r = Run({"csv-import", "plu", "plu.csv", "a.pod"});
    EXPECT_EQ(r.status, kExitFile);
    EXPECT_NE(r.err.find("Wiersz " + std::to_string(badLine) + ", Nazwa PLU: Tekst jest dłuższy niż 15 znaków"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(FirstDifference(Slurp(dir / "a.pod"), original), "");
    r = Run({"csv-import", "--poprawne", "plu", "plu.csv", "a.pod"});
    EXPECT_EQ(r.status, kExitDone) << r.err;
    const std::string edited = Slurp(dir / "a.pod");
    EXPECT_NE(edited.find("\r\nPlu1=1;"), std::string::npos);
    EXPECT_NE(edited.find(";12.34;", edited.find("\r\nPlu1=1;")), std::string::npos);
    EXPECT_LT(edited.find(";12.34;", edited.find("\r\nPlu1=1;")), edited.find("\r\nPlu2="));
}

// Price lists as LibreOffice Calc saves them by default (a heading above the
// titles, ',' between fields, decimal commas in quotes, a column of remarks,
// a bar code and a password without their leading zeros, a stock below zero)
// and as Excel's "CSV (Macintosh)". The notes go to stderr and leave the exit
// status at 0; the Mac file is refused with one line and changes nothing.
TEST_F(CliTest, PriceListsAsSpreadsheetsSaveThem) {
    const std::string pod = "[KASA]\r\nTyp_kasy=3\r\n[KASJERZY]\r\nKasjer1=1;ANNA;0123;\r\n"
                            "[TOWARY]\r\nPlu1=1;CHLEB;0012345678905;A;0;3.49;5.000;TAK;\r\n";
    struct Case {
        const char* table;
        std::string csv;
        int status;
        std::string err;
        std::vector<std::string> entries;  // in the data file afterwards
    } cases[] = {
        {"plu",
         "CENNIK – STYCZEŃ 2026,,,,,\n"
         "Numer PLU,Nazwa PLU,Kod kreskowy,Cena jedn.,Ilość magazyn.,Uwagi\n"
         "1,CHLEB,12345678905,\"3,79\",\"-12,5\",promocja\n"
         "2,\"MASŁO, 200 G\",5901234123457,\"1 234,50\",0,\n",
         kExitDone,
         "Uwaga: Wiersz 2: Pominięto wiersz 1 nad tytułami kolumn\n"
         "Uwaga: Wiersz 2, Uwagi: Tabela nie ma takiej kolumny; jej pola zostały pominięte\n"
         "Uwaga: Wiersz 3, Kod kreskowy: Zachowano kod 0012345678905 z tabeli (arkusz usunął zera z przodu)\n",
         {"Plu1=1;CHLEB;0012345678905;A;0;3.79;-12.500;TAK;", "Plu2=2;MAS\xA3O, 200 G;5901234123457;A;0;1234.50;0;NIE;"}},
        {"kasjerzy", "Numer kasjer.,Nazwa kasjera,Hasło\n1,ANNA,123\n", kExitDone,
         "Uwaga: Wiersz 2, Hasło: Zachowano hasło z tabeli (arkusz usunął zera z przodu)\n", {"Kasjer1=1;ANNA;0123;"}},
        {"plu", "Numer PLU;Nazwa PLU\r1;\xFBUREK \xE5L\x84SKI\r", kExitFile,
         "Plik nie jest zapisany w UTF-8 ani w Windows-1250 (wiersz 2: znak „ű”; tak zapisuje np. „CSV (Macintosh)” "
         "lub „CSV (MS-DOS)”): zapisz go w arkuszu jako „CSV UTF-8”\n",
         {"Plu1=1;CHLEB;0012345678905;A;0;3.49;5.000;TAK;"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv.substr(0, 30));
        Spit(dir / "a.pod", pod);
        Spit(dir / "cennik.csv", c.csv);
        const Result r = Run({"csv-import", c.table, "cennik.csv", "a.pod"});
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err, c.err);
        const std::string after = Slurp(dir / "a.pod");
        for (const std::string& entry : c.entries) EXPECT_NE(after.find("\r\n" + entry + "\r\n"), std::string::npos);
    }
}
