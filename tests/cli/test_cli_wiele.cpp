// zeltra-kasa on several registers at once (--port A,B,C), each an emulator
// on its own pseudo-terminal, and the changes-only send: what each register
// holds afterwards, which files are written, the result lines and the exit
// status.
#include "CliFixture.h"

#include "Kopia.h"
#include "Wiele.h"

using namespace clitest;
using cli::PortLogName;

namespace {

std::string PortList(const std::vector<PtyServer*>& regs) {
    std::string list;
    for (PtyServer* r : regs) list += (list.empty() ? "" : ",") + r->SlavePath();
    return list;
}

int Uploads(PtyServer& reg) {
    const auto sent = reg.WithEmulator([](Emulator& e) { return e.requests; });
    return static_cast<int>(std::count_if(sent.begin(), sent.end(), IsUpload));
}

// One data file sent to four registers at once, each holding records of its
// own beforehand: every register ends with exactly the file's records, byte
// for byte, beside its own that the file leaves alone; the fiscal one keeps
// its header and rates and says so on its own line.
TEST_F(CliTest, SeveralPortsSendOneFileToEveryRegister) {
    PtyServer& source = Register([](Emulator& e) { Shop(e, 1); });
    Config(source, 2);
    ASSERT_EQ(Run({"read", "shop.pod"}).status, kExitDone);
    const auto shop = Records(source);
    const std::string header = source.WithEmulator([](Emulator& e) { return e.state.header; });

    struct Target {
        const char* serial;
        bool fiscal;
        int ownPlu;  // a record the file does not have
    };
    const Target targets[] = {{"100001", false, 500}, {"100002", true, 600}, {"100003", false, 700}, {"100004", false, 800}};
    std::vector<PtyServer*> regs;
    for (const Target& t : targets)
        regs.push_back(&Register([&](Emulator& e) {
            e.SetModel(1);
            e.state.serial = t.serial;
            e.state.fiscal = t.fiscal;
            e.state.records[kPlu][t.ownPlu] = shop.at(kPlu).begin()->second;
        }));
    const Result r = Run({"--port", PortList(regs), "send", "shop.pod"});
    EXPECT_EQ(r.status, kExitDone) << r.err;
    std::string out;
    for (std::size_t i = 0; i < regs.size(); ++i)
        out += regs[i]->SlavePath() + " (nr " + targets[i].serial + "): Wysłano dane z pliku shop.pod\n";
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, regs[1]->SlavePath() + " (nr 100002): Kasa jest w trybie fiskalnym: nagłówek i stawki PTU pominięto\n");

    for (std::size_t i = 0; i < regs.size(); ++i) {
        SCOPED_TRACE(targets[i].serial);
        auto want = shop;
        want[kPlu][targets[i].ownPlu] = shop.at(kPlu).begin()->second;
        EXPECT_EQ(Records(*regs[i]), want);
        EXPECT_EQ(regs[i]->WithEmulator([](Emulator& e) { return e.state.header; }) == header, !targets[i].fiscal);
        EXPECT_EQ(regs[i]->WithEmulator([](Emulator& e) { return e.badChecks; }), 0);
    }
}

// info and read on two registers: each info block under a line with its
// port, one line per read, the same whatever stderr is; the progress block
// only on a terminal that moves its cursor, taken away before the results,
// and never mixed into them.
TEST_F(CliTest, SeveralPortsResultsAndTheProgressBlock) {
    std::vector<PtyServer*> regs;
    for (const char* serial : {"100001", "100002"})
        regs.push_back(&Register([&](Emulator& e) {
            Shop(e, 1);
            e.state.serial = serial;
        }));
    Config(*regs[0]);
    const std::string one = regs[0]->SlavePath() + " (nr 100001)", two = regs[1]->SlavePath() + " (nr 100002)";
    struct Case {
        bool terminal, movesCursor;
    };
    for (const Case& c : {Case{false, true}, Case{true, false}, Case{true, true}}) {
        SCOPED_TRACE(std::to_string(c.terminal) + std::to_string(c.movesCursor));
        env.stderrIsTerminal = c.terminal;
        env.terminalMovesCursor = c.movesCursor;
        const Result info = Run({"--port", PortList(regs), "info"});
        EXPECT_EQ(info.status, kExitDone) << info.err;
        EXPECT_EQ(Lines(info.out), 2 * 12 + 1) << info.out;
        EXPECT_EQ(info.out.rfind(one + ":\nTyp kasy:", 0), 0u) << info.out;
        EXPECT_NE(info.out.find("\n\n" + two + ":\nTyp kasy:"), std::string::npos) << info.out;
        const Result read = Run({"--port", PortList(regs), "read", "kasjerzy", "k.pod"});
        EXPECT_EQ(read.status, kExitDone) << read.err;
        EXPECT_EQ(read.out, one + ": Zapisano k-100001.pod\n" + two + ": Zapisano k-100002.pod\n");
        for (const Result* r : {&info, &read}) {
            if (!c.terminal || !c.movesCursor) {
                EXPECT_EQ(r->err, "");
                continue;
            }
            EXPECT_NE(r->err.find("\r" + regs[1]->SlavePath() + " [ZELTRA ARK MIRRA 100002]"), std::string::npos);
            const std::string away = "\x1b[2A\r\x1b[J";
            ASSERT_GT(r->err.size(), away.size());
            EXPECT_EQ(r->err.substr(r->err.size() - away.size()), away);
        }
    }
}

// read on three ports writes one file per register, named by its serial
// number, each the same as that register read alone; with logging on, each
// port has its own log. Two registers with one number never share a file:
// the second reads nothing.
TEST_F(CliTest, SeveralPortsReadOneFilePerRegister) {
    struct Case {
        const char* name;
        std::vector<std::string> serials;  // pairs read the same both ways on the wire
        int status;
    };
    const Case cases[] = {
        {"three registers", {"111111", "222222", "333333"}, kExitDone},
        {"two with one number", {"444444", "444444", "555555"}, kExitFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PtyServer*> regs;
        for (std::size_t i = 0; i < c.serials.size(); ++i)
            regs.push_back(&Register([&](Emulator& e) {
                Shop(e, 1);
                e.state.serial = c.serials[i];
                e.state.records[kPlu].erase(static_cast<int>(i));  // each its own PLU table
            }));
        Config(*regs[0]);
        std::vector<std::string> alone;
        for (std::size_t i = 0; i < regs.size(); ++i) {
            ASSERT_EQ(Run({"--port", regs[i]->SlavePath(), "read", "alone.pod"}).status, kExitDone);
            alone.push_back(Slurp(dir / "alone.pod"));
            fs::remove(dir / "alone.pod");
        }
        Spit(dir / "config.cfg", ConfigText(regs[0]->SlavePath(), "2", "9600", "1", "0", "1"));

        const Result r = Run({"--port", PortList(regs), "read", "sklep.pod"});
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_FALSE(fs::exists(dir / "sklep.pod"));
        EXPECT_FALSE(fs::exists(dir / "LogFile.log"));
        for (std::size_t i = 0; i < regs.size(); ++i) {
            const std::string who = regs[i]->SlavePath() + " (nr " + c.serials[i] + "): ";
            const std::string file = "sklep-" + c.serials[i] + ".pod";
            const bool refused = r.err.find(who + "Inna kasa ma ten sam numer fabryczny i zapisuje plik " + file +
                                            "; nic nie odczytano\n") != std::string::npos;
            const bool saved = r.out.find(who + "Zapisano " + file + "\n") != std::string::npos;
            EXPECT_NE(refused, saved) << who;
            if (saved) {
                EXPECT_EQ(FirstDifference(Slurp(dir / file), alone[i]), "");
            }
            const std::string log = Slurp(dir / PortLogName(regs[i]->SlavePath()));
            for (std::size_t j = 0; j < regs.size(); ++j)
                EXPECT_EQ(log.find("/" + c.serials[j]) != std::string::npos, c.serials[j] == c.serials[i]) << j;
        }
        EXPECT_EQ(Lines(r.out) + Lines(r.err), 3) << r.out << r.err;
        for (const auto& f : fs::directory_iterator(dir))
            if (f.path().extension() == ".pod" || f.path().extension() == ".log") fs::remove(f.path());
        servers.clear();
    }
}

// A register that falls silent or is taken away in the middle of a transfer
// stops only its own run: the others' registers and files are whole, the
// dead one's line names it, and the exit status is the worst of all.
TEST_F(CliTest, SeveralPortsOneRegisterDiesTheOthersFinish) {
    std::string plus = "[KASA]\r\nTyp_kasy=1\r\n[TOWARY]\r\n";
    for (int n = 1; n <= 1000; ++n) plus += "Plu" + std::to_string(n) + "=" + std::to_string(n) + ";TOWAR;;A;0;1.00;5;NIE;\r\n";
    Spit(dir / "plu.pod", plus);

    enum class Death { Silent, Taken };
    struct Case {
        const char* name;
        std::vector<std::string> args;
        Death death;
        int mode;
        bool missingPort;  // a fourth port that cannot be opened
        int status;
        std::string deadLine;  // after the dying register's port and number
    };
    const Case cases[] = {
        {"send, one falls silent", {"send", "plu.pod", "plu"}, Death::Silent, 2, false, kExitRegister,
         "Kasa przestała odpowiadać (3 rekordy bez odpowiedzi), przerwano; kasa otrzymała tylko część danych"},
        {"read, one taken away, one port missing", {"read", "plu", "out.pod"}, Death::Taken, 1, true, kExitPort,
         "Kasa przestała odpowiadać (3 rekordy bez odpowiedzi), przerwano; plik out-777777.pod nie został zapisany"},
    };
    constexpr std::size_t kCutAfter = 40;  // requests, start-up's included
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool reading = c.args[0] == "read";
        auto shop = [](const char* serial) {
            return [serial](Emulator& e) {
                Shop(e, 1);
                e.state.serial = serial;
            };
        };
        PtyServer& first = Register(shop("666666"));
        PtyServer& dying = Register(shop("777777"));
        PtyServer& last = Register(shop("888888"));
        Config(first, c.mode, "0.5");
        std::vector<PtyServer*> alive = {&first, &last};
        std::map<PtyServer*, std::string> alone;  // each read alone, or the file sent to a fresh register
        if (reading) {
            for (PtyServer* reg : alive) {
                ASSERT_EQ(Run({"--port", reg->SlavePath(), "read", "plu", "alone.pod"}).status, kExitDone);
                alone[reg] = Slurp(dir / "alone.pod");
                fs::remove(dir / "alone.pod");
            }
        }
        std::string ports = PortList({&first, &dying, &last});
        if (c.missingPort) ports += ",/nonexistent/ttyUSB9";

        std::atomic<bool> done{false};
        std::thread watcher([&] {
            while (!done) {
                const bool cut = dying.WithEmulator([&](Emulator& e) {
                    if (e.requests.size() < kCutAfter) return false;
                    if (c.death == Death::Silent) e.switches.silent = true;
                    return true;
                });
                if (cut) {
                    if (c.death == Death::Taken) dying.Stop();
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        std::vector<std::string> args = {"--port", ports};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Run(args);
        done = true;
        watcher.join();

        EXPECT_EQ(r.status, c.status) << r.err;
        std::string err = dying.SlavePath() + " (nr 777777): " + c.deadLine + "\n";
        if (c.missingPort) err += "/nonexistent/ttyUSB9: Nie można otworzyć portu /nonexistent/ttyUSB9\n";
        EXPECT_EQ(r.err, err);
        const char* did = reading ? "Zapisano out-" : "Wysłano bazę PLU";
        EXPECT_EQ(r.out, first.SlavePath() + " (nr 666666): " + did + (reading ? "666666.pod\n" : "\n") +
                             last.SlavePath() + " (nr 888888): " + did + (reading ? "888888.pod\n" : "\n"));
        EXPECT_LT(r.seconds, 60.0);
        if (reading) {
            EXPECT_EQ(FirstDifference(Slurp(dir / "out-666666.pod"), alone[&first]), "");
            EXPECT_EQ(FirstDifference(Slurp(dir / "out-888888.pod"), alone[&last]), "");
            EXPECT_FALSE(fs::exists(dir / "out-777777.pod"));
        } else {
            // Every PLU of the file, and the rest of the shop as it was.
            PtyServer& fresh = Register(shop("999999"));
            Config(fresh, c.mode, "0.5");
            ASSERT_EQ(Run({"send", "plu.pod", "plu"}).status, kExitDone);
            EXPECT_EQ(Records(first), Records(fresh));
            EXPECT_EQ(Records(last), Records(fresh));
            EXPECT_EQ(Records(fresh).at(kPlu).size(), 1000u);
            EXPECT_LT(Records(dying).at(kPlu).size(), 1000u);
        }
        for (const auto& f : fs::directory_iterator(dir))
            if (f.path().filename().string().rfind("out-", 0) == 0) fs::remove(f.path());
        servers.clear();
    }
}

// send --zmiany with no copy of the register: the reason and "nic nie
// wysłano" on one line per register, the register's failure status, and not
// one record sent, however many ports.
TEST_F(CliTest, ChangesOnlyWithoutACopySendsNothing) {
    PtyServer& source = Register([](Emulator& e) { Shop(e, 1); });
    Config(source, 2);
    ASSERT_EQ(Run({"read", "shop.pod"}).status, kExitDone);

    struct Case {
        const char* name;
        std::vector<std::string> args;
        int registers;
    };
    const Case cases[] = {
        {"all tables", {"send", "shop.pod", "--zmiany"}, 1},
        {"the PLU table", {"send", "--zmiany", "shop.pod", "plu"}, 1},
        {"the header", {"send", "--zmiany", "shop.pod", "naglowek"}, 1},
        {"all tables on three ports", {"send", "shop.pod", "--zmiany"}, 3},
    };
    int serial = 300000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PtyServer*> regs;
        for (int i = 0; i < c.registers; ++i)
            regs.push_back(&Register([&](Emulator& e) {
                e.SetModel(1);
                e.state.serial = std::to_string(++serial);
            }));
        std::vector<std::string> args = {"--port", PortList(regs)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Run(args);
        EXPECT_EQ(r.status, kExitRegister);
        EXPECT_EQ(r.out, "");
        std::istringstream lines(r.err);
        int n = 0;
        for (std::string line; std::getline(lines, line); ++n) {
            if (c.registers > 1) {
                EXPECT_EQ(line.rfind(regs[static_cast<std::size_t>(n)]->SlavePath() + " (nr ", 0), 0u) << line;
            }
            const std::string tail = "; nic nie wysłano (bez --zmiany wysyła całość)";
            ASSERT_GT(line.size(), tail.size());
            EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
        }
        EXPECT_EQ(n, c.registers) << r.err;
        for (PtyServer* reg : regs) {
            EXPECT_EQ(Uploads(*reg), 0);
            EXPECT_TRUE(Records(*reg).empty());
        }
    }
}

// After a full read the register's copy is kept: a changes-only send of the
// same file sends nothing, and after one price is changed, that record alone.
TEST_F(CliTest, ChangesOnlyAfterAFullReadSendsTheChangedRecordAlone) {
    PtyServer& reg = Register([](Emulator& e) { Shop(e, 1); });
    Config(reg, 2);
    ASSERT_EQ(Run({"read", "shop.pod"}).status, kExitDone);
    ASSERT_TRUE(fs::exists(CopyFilePath(1, "123456"))) << "the read keeps the register's copy";

    Result r = Run({"send", "shop.pod", "--zmiany"});
    EXPECT_EQ(r.status, kExitDone) << r.err;
    EXPECT_EQ(Lines(r.out), 1) << r.out;
    EXPECT_EQ(Uploads(reg), 0);

    std::string file = Slurp(dir / "shop.pod");
    const std::size_t price = file.find("Plu1=1;CHLEB;;C;0;3.49;");
    ASSERT_NE(price, std::string::npos);
    file.replace(price, 23, "Plu1=1;CHLEB;;C;0;3.79;");
    Spit(dir / "shop.pod", file);
    const std::string before = Records(reg).at(kPlu).at(0);
    r = Run({"send", "shop.pod", "plu", "--zmiany"});
    EXPECT_EQ(r.status, kExitDone) << r.err;
    EXPECT_EQ(r.out.rfind("Wysłano 1 ", 0), 0u) << r.out;
    EXPECT_EQ(Uploads(reg), 1);
    EXPECT_NE(Records(reg).at(kPlu).at(0), before);
}

}  // namespace
