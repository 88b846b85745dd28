// The fiscal memory reader's core: field decoding, the requests byte for byte,
// whole readings from the emulator, the search, and the emulator's fiscal
// memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ByteText.h"
#include "Emulator.h"
#include "EmulatorPort.h"
#include "Fmreader.h"
#include "Pomoc.h"
#include "RecordingUi.h"
#include "ScriptedPort.h"

namespace {

using namespace std::string_literals;
using Row = std::vector<std::string>;

const std::string kNoReply = "Brak odpowiedzi z kasy";

using bytetext::Check;
using bytetext::DataReply;
using bytetext::Frame;
using bytetext::HexDigits;

// The cells of record row `row`.
Row RowOf(const FiscalTable& t, int row) {
    Row cells;
    for (int c = 0; c < t.Columns(); ++c) cells.push_back(t.Cell(c, row));
    return cells;
}
int FilledRows(const FiscalTable& t) {
    int n = 0;
    for (int r = 1; r <= t.Rows(); ++r) n += !t.Cell(0, r).empty();
    return n;
}

TEST(FiscalDecoding, Fields) {
    struct Case {
        std::string (*decode)(std::string_view);
        const char* hex;
        const char* shown;
    };
    const Case cases[] = {
        {FiscalAmount, "5634120000", "1234.56"},
        {FiscalAmount, "0000000000", "0.00"},
        {FiscalAmount, "0100000000", "0.01"},
        {FiscalAmount, "0000000001", "1000000.00"},
        {FiscalAmount, "9999999999", "99999999.99"},
        {FiscalAmount, "56341A0000", "56341A0000"},  // a letter: the text as it stands
        {FiscalAmount, "FFFFFFFFFF", "FFFFFFFFFF"},
        {FiscalAmount, "563412", "563412"},          // a record cut short
        {FiscalAmount, "", ""},
        {FiscalCount, "3412", "1234"},
        {FiscalCount, "0000", "0"},
        {FiscalCount, "563412", "123456"},
        {FiscalCount, "0700", "7"},
        {FiscalCount, "12A4", "12A4"},
        {FiscalCount, "FFFF", "FFFF"},
        {FiscalRate, "FFFF", "NAK"},
        {FiscalRate, "FEFF", "zw"},
        {FiscalRate, "0022", "22.00"},
        {FiscalRate, "0007", "07.00"},
        {FiscalRate, "50", ".50"},
        {FiscalDate, "07200915", "2007-09-15"},
        {FiscalDate, "26200102", "2026-01-02"},
        {FiscalDate, "0720", "2007--"},
        {FiscalTime, "0830", "08:30"},
        {FiscalTime, "23", "23:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(c.decode(c.hex), c.shown);
    }
}

TEST(FiscalDecoding, Records) {
    // A daily report with every field different, its last byte 51.
    const std::string daily = HexDigits("\x01\x07\x20\x09\x15"s + "\x56\x34\x12\x00\x00"s + "\x01\x00\x00\x00\x00"s +
                                  std::string(20, '\0') + "\x99\x99\x99\x99\x99"s +
                                  "\x37\x00"s + "\x21\x43\x65"s + "\x03\x00"s + "\x50\x07\x00\x00\x00"s);
    const std::string ptu = HexDigits("\x02\x07\x20\x09\x15\x00\x22\x00\x07\x00\x00\xFE\xFF\xFF\xFF\x50\x10\x00\x05"s);
    const std::string ram = HexDigits("\x03\x07\x20\x09\x15\x08\x30"s);
    struct Case {
        const char* name;
        std::string hex;
        bool end;
        int kind;  // -1 none
        Row fields;
    };
    const std::vector<Case> cases = {
        {"daily report", daily, false, 0,
         {"2007-09-15", "1234.56", "0.01", "0.00", "0.00", "0.00", "0.00", "99999999.99", "37", "654321", "3",
          "7.50"}},
        {"PTU change", ptu, false, 1, {"2007-09-15", "22.00", "07.00", "00.00", "zw", "NAK", "10.50", "05.00"}},
        {"RAM reset", ram, false, 2, {"2007-09-15", "08:30"}},
        {"only the low digit counts", "21" + daily.substr(2), false, 0, {}},
        {"erased", "FFFFFFFF", true, -1, {}},
        {"F in the high digit", "F1", true, -1, {}},
        {"F in the low digit", "1F", true, -1, {}},
        {"another kind", "04", false, -1, {}},
        {"kind 00", "00", false, -1, {}},
        {"no text", "", false, -1, {}},
        {"a silent register's filling", "\xFF\xFF\xFF\xFF", false, -1, {}},
        {"a report cut short", "0107200915563412", false, 0,
         {"2007-09-15", "563412", "", "", "", "", "", "", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedFiscalRecord r = DecodeFiscalRecord(c.hex);
        EXPECT_EQ(r.end, c.end);
        EXPECT_EQ(r.kind ? static_cast<int>(*r.kind) : -1, c.kind);
        if (!c.fields.empty()) {
            EXPECT_EQ(r.fields, c.fields);
        }
    }
}

class FiscalLink : public ::testing::Test {
protected:
    Connection link;
    void SetUp() override {
        link.Reset();
        InstallUi(&ui);
        link.Settings().pollLimit = 200;
    }
    void TearDown() override {
        link.Reset();
        InstallUi(nullptr);
    }
    ScriptedPort& Scripted() { return *InstallScriptedPort(link); }
    void Serve(Emulator& e) { link.UsePort(std::make_unique<EmulatorPort>(e)); }

    RecordingUi ui;
};

TEST_F(FiscalLink, RecordRequestsAndTheIndexShift) {
    // A daily report: its 52 bytes as hexadecimal text.
    const std::string record = "0107200915" + std::string(2 * 47, '0');
    for (int mode : {1, 2}) {
        for (int n : {8, 9, 10, 99, 100, 999, 1000, 2045}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + ", record " + std::to_string(n));
            link.Reset();
            link.Settings().pollLimit = 200;
            link.Settings().errorMode = mode;
            ScriptedPort& port = Scripted();
            port.answers.push_back(DataReply(std::to_string(n) + ";" + record) +
                                   (mode > 1 ? "\x1bP2#22#CD\x1b\\"s : ""s));
            ui.Clear();
            EXPECT_EQ(ReadFiscalRecord(link, n), record);
            std::string expected = Frame("0;" + std::to_string(n) + "J");
            expected.resize(15, '\0');
            ASSERT_EQ(port.writes.size(), 1u);
            EXPECT_EQ(port.writes[0], expected);
            // In mode 2 the status reply is read after the data, and only then.
            EXPECT_EQ(ui.Messages(), mode > 1 ? std::vector<std::string>{"Błąd parametru"} : std::vector<std::string>{});
            EXPECT_EQ(port.Pending(), "");
        }
    }
    // The kind digits of record 10 stand at reply positions 8 and 9.
    link.Reset();
    ScriptedPort& port = Scripted();
    port.answers.push_back(DataReply("10;" + record));
    EXPECT_EQ(ReadFiscalRecord(link, 10).value_or("").substr(0, 2), "01");
    EXPECT_EQ(link.ReplyText().substr(7, 2), "01");
}

TEST_F(FiscalLink, Identity) {
    std::string identity(64, '\0');
    identity.replace(0, 11, "AB123456789");
    identity.replace(32, 13, "526-000-11-22");
    struct Case {
        const char* name;
        std::string reply;
        std::string unique, nip;
        int warnings;
        std::size_t writes;  // the second request is asked again when its reply does not fit
    };
    std::string shortNumber = identity;
    shortNumber.replace(0, 11, "XY\0\0\0\0\0\0\0\0\0"s);
    const std::vector<Case> cases = {
        {"whole", DataReply("4;" + HexDigits(identity)), "AB123456789", "526-000-11-22", 0, 2},
        {"ends at a zero byte", DataReply("4;" + HexDigits(shortNumber)), "XY", "526-000-11-22", 0, 2},
        {"no answer", "", "", "", 2, 2},
        {"a reply too short for the NIP", DataReply("4;" + HexDigits(identity.substr(0, 11))), "AB123456789", "", 1,
         4},
        {"another record's reply", DataReply("5;" + HexDigits(identity)), "", "", 2, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPort& port = Scripted();
        port.answers.assign(6, c.reply);
        ui.Clear();
        EXPECT_EQ(ReadFiscalIdentity(link, 0), c.unique);
        EXPECT_EQ(ReadFiscalIdentity(link, 1), c.nip);
        std::string expected = Frame("0;4J");
        expected.resize(12, '\0');
        EXPECT_EQ(port.writes, std::vector<std::string>(c.writes, expected));
        EXPECT_EQ(ui.Count(kNoReply), c.warnings);
    }
}

TEST_F(FiscalLink, ReadingsFromTheEmulator) {
    auto withKinds = [](std::vector<std::string> kinds) {
        Emulator e;
        int n = kFirstFiscalRecord;
        for (const std::string& k : kinds)
            e.state.fiscalMemory[n++] = k + "\x26\x20\x01\x02"s + std::string(50, '\0');
        return e;
    };
    struct Case {
        const char* name;
        Emulator emulator;
        FiscalReadEnd end;
        int daily, ptu, ram;  // rows filled
        int requests;         // records asked for
    };
    Emulator demo;
    demo.LoadDemoData();
    Emulator empty;
    Emulator full;
    GenerateFiscalMemory(full.state, kFiscalRecordCount);
    std::vector<std::string> manyChanges(40, "\x02");
    manyChanges.push_back("\x03");
    std::vector<Case> cases;
    cases.push_back({"demo shop", demo, FiscalReadEnd::Ended, 3, 1, 1, 6});
    cases.push_back({"record 8 erased", empty, FiscalReadEnd::Ended, 0, 0, 0, 1});
    cases.push_back({"full memory", full, FiscalReadEnd::Exhausted, 1976, 21, 41, 2038});
    cases.push_back({"more PTU changes than rows", withKinds(manyChanges), FiscalReadEnd::Ended, 0, 40, 1, 42});
    cases.push_back({"other kinds give no row", withKinds({"\x01", "\x04", "\x11", "\x00"s, "\x23"}),
                     FiscalReadEnd::Ended, 2, 0, 1, 6});
    for (int mode : {1, 3}) {
        for (Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(mode));
            link.Reset();
            link.Settings().pollLimit = 200;
            link.Settings().errorMode = mode;
            c.emulator.state.errorMode = mode;
            c.emulator.requests.clear();
            Serve(c.emulator);
            ui.Clear();
            FiscalTables tables = MakeFiscalTables();
            std::vector<std::pair<FiscalKind, int>> written;
            FiscalReadHooks hooks;
            hooks.rowWritten = [&](FiscalKind k, int row) { written.emplace_back(k, row); };
            EXPECT_EQ(ReadFiscalMemory(link, tables, hooks), c.end);
            EXPECT_EQ(FilledRows(tables[0]), c.daily);
            EXPECT_EQ(FilledRows(tables[1]), c.ptu);
            EXPECT_EQ(FilledRows(tables[2]), c.ram);
            EXPECT_EQ(static_cast<int>(c.emulator.requests.size()), c.requests);
            EXPECT_EQ(ui.Messages(), std::vector<std::string>{});
            // Running numbers count each kind from 1 in reading order, one row each.
            std::array<int, 3> next = {1, 1, 1};
            for (auto [k, row] : written) {
                auto& t = TableOf(tables, k);
                EXPECT_EQ(row, next[static_cast<int>(k)]++);
                EXPECT_EQ(t.Cell(0, row), std::to_string(row));
            }
            EXPECT_EQ(tables[1].Rows(), std::max(30, c.ptu));
        }
    }
    // The values of the demo shop, cell by cell.
    link.Reset();
    Serve(demo);
    FiscalTables tables = MakeFiscalTables();
    ReadFiscalMemory(link, tables, {});
    EXPECT_EQ(RowOf(tables[2], 1), (Row{"1", "2026-01-02", "08:00"}));
    EXPECT_EQ(RowOf(tables[1], 1), (Row{"1", "2026-01-02", "23.00", "08.00", "05.00", "00.00", "zw", "NAK", "NAK"}));
    EXPECT_EQ(RowOf(tables[0], 1), (Row{"1", "2026-01-02", "1234.56", "45.50", "0.00", "0.00", "0.00", "0.00", "0.00",
                                        "37", "0", "0", "0.00"}));
    EXPECT_EQ(RowOf(tables[0], 3), (Row{"3", "2026-01-05", "1543.00", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00",
                                        "44", "0", "0", "0.00"}));
    // The generated memory: the first report and the last record.
    link.Reset();
    Serve(full);
    tables = MakeFiscalTables();
    ReadFiscalMemory(link, tables, {});
    EXPECT_EQ(RowOf(tables[0], 1), (Row{"1", "2020-01-03", "123.45", "1.07", "0.00", "0.00", "0.00", "0.00", "0.00",
                                        "1", "1", "1", "2.50"}));
    EXPECT_EQ(RowOf(tables[0], 1976), (Row{"1976", "2025-07-30", "243937.20", "1976.07",
                                           "0.00", "0.00", "0.00", "0.00", "0.00", "1976", "1976", "2", "5.00"}));
    EXPECT_EQ(RowOf(tables[1], 2), (Row{"2", "2020-04-11", "22.00", "08.00", "05.00", "00.00", "zw", "NAK", "NAK"}));
    EXPECT_EQ(RowOf(tables[2], 41), (Row{"41", "2025-06-23", "08:20"}));
}

TEST_F(FiscalLink, SilentRegisterAsksOnceAndGoesOnQuietly) {
    Emulator e;
    e.LoadDemoData();
    e.switches.silent = true;
    Serve(e);
    link.Settings().pollLimit = 3;
    FiscalTables tables = MakeFiscalTables();
    int before = 0;
    FiscalReadHooks hooks;
    hooks.beforeRecord = [&] { ++before; };
    ui.answers = {true};  // "Tak": on to the last record, the rest without a box
    EXPECT_EQ(ReadFiscalMemory(link, tables, hooks), FiscalReadEnd::Exhausted);
    EXPECT_EQ(before, kFiscalRecordCount);
    EXPECT_EQ(ui.Count(kNoReply), 3);
    EXPECT_EQ(ui.Count("Kasa nie odpowiada. Kontynuować?"), 1);
    EXPECT_EQ(ui.Count("Kasa nie odpowiedziała dla 2038 rekordów (nr 8, 9, 10, 11, 12, …). "
                       "Te rekordy nie zostały odczytane."), 1);
    EXPECT_EQ(FilledRows(tables[0]) + FilledRows(tables[1]) + FilledRows(tables[2]), 0);
}

TEST_F(FiscalLink, StopBeforeAndAfterARecord) {
    Emulator e;
    GenerateFiscalMemory(e.state, 100);
    struct Case {
        const char* name;
        int stopAtAsk;  // the stop question that first says yes (two per record)
        int requests;
        int rows;
    };
    // Record 8 is a RAM reset, 9 a PTU change, 10 a daily report.
    const Case cases[] = {
        {"before the first record", 1, 0, 0},
        {"after the first record arrived", 2, 1, 0},
        {"before the third record", 5, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e.requests.clear();
        Serve(e);
        FiscalTables tables = MakeFiscalTables();
        int asks = 0;
        FiscalReadHooks hooks;
        hooks.stop = [&] { return ++asks >= c.stopAtAsk; };
        EXPECT_EQ(ReadFiscalMemory(link, tables, hooks), FiscalReadEnd::Stopped);
        EXPECT_EQ(static_cast<int>(e.requests.size()), c.requests);
        EXPECT_EQ(FilledRows(tables[0]) + FilledRows(tables[1]) + FilledRows(tables[2]), c.rows);
    }
}

TEST(FiscalSearch, StepsThroughMatchesAndWraps) {
    FiscalTables tables = MakeFiscalTables();
    FiscalTable& daily = tables[0];
    const char* dates[] = {"2007-08-31", "2007-09-01", "2007-09-02", "2007-10-01", "2008-09-01"};
    for (int i = 0; i < 12; ++i)
        daily.SetRow(i + 1, {std::to_string(i + 1), i < 5 ? dates[i] : "2009-01-01"});
    tables[2].SetRow(1, {"1", "2007-09-05", "10:00"});
    tables[2].SetRow(2, {"2", "2007-09-06", "10:00"});
    daily.SetRow(35, {"35", "2010-01-01"});
    tables[1].SetRow(1, {"1", "2007-01-01"});
    FiscalSearch search;
    using R = std::optional<int>;
    struct Step {
        FiscalKind kind;
        int column;
        std::string text;
        R found;
    };
    const std::vector<Step> steps = {
        {FiscalKind::DailyReport, 1, "2007-09", R(2)},
        {FiscalKind::DailyReport, 1, "2007-09", R(3)},
        {FiscalKind::DailyReport, 1, "2007-09", R()},    // no more: back to the top
        {FiscalKind::DailyReport, 1, "2007-09", R(2)},
        {FiscalKind::DailyReport, 0, "1", R(10)},        // the position is shared by every column
        {FiscalKind::DailyReport, 0, "1", R(11)},
        {FiscalKind::DailyReport, 0, "1", R(12)},
        {FiscalKind::DailyReport, 0, "1", R()},
        {FiscalKind::DailyReport, 0, "1", R(1)},
        {FiscalKind::RamReset, 1, "2007-09", R(2)},      // and by every table
        {FiscalKind::RamReset, 1, "2007-09", R()},
        {FiscalKind::DailyReport, 1, "rrrr-mm-dd", R()},
        {FiscalKind::DailyReport, 0, "0", R(10)},
        {FiscalKind::DailyReport, 1, "", R()},           // an empty text finds nothing
        {FiscalKind::DailyReport, 0, "2", R(2)},
        {FiscalKind::DailyReport, 13, "2", R()},         // no such column
        {FiscalKind::DailyReport, 0, "12", R(12)},
    };
    int i = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE("step " + std::to_string(i++) + ": " + s.text);
        EXPECT_EQ(search.FindInTable(TableOf(tables, s.kind), s.column, s.text), s.found);
    }
    // A position beyond a shorter table (left by a longer one) starts at row 1.
    EXPECT_EQ(search.FindInTable(tables[0], 0, "35"), R(35));
    EXPECT_EQ(search.Position(), 36);
    EXPECT_EQ(search.FindInTable(tables[1], 1, "2007"), R(1));
    EXPECT_EQ(search.Position(), 2);
}

TEST(FiscalTables, GrowAndClear) {
    FiscalTables tables = MakeFiscalTables();
    EXPECT_EQ(tables[0].Rows(), 2038);
    EXPECT_EQ(tables[1].Rows(), 30);
    EXPECT_EQ(tables[2].Rows(), 200);
    EXPECT_EQ(tables[0].Columns(), 13);
    EXPECT_EQ(tables[0].Title(11), "Ilość Anul.");
    EXPECT_EQ(tables[1].Title(8), "PTU. G");
    EXPECT_EQ(tables[2].Title(2), "Godzina");
    tables[2].SetRow(203, {"203", "d", "t", "extra"});
    EXPECT_EQ(tables[2].Rows(), 203);
    EXPECT_EQ(RowOf(tables[2], 203), (Row{"203", "d", "t"}));
    EXPECT_EQ(tables[2].Cell(0, 202), "");
    EXPECT_EQ(tables[2].Cell(3, 203), "");
    tables[2].SetRow(0, {"x"});
    tables[2].Clear();
    EXPECT_EQ(tables[2].Rows(), 200);
    EXPECT_EQ(FilledRows(tables[2]), 0);
}

TEST(EmulatorFiscalMemory, GeneratedAndLoaded) {
    RegisterState s;
    GenerateFiscalMemory(s, 5000);
    EXPECT_EQ(s.fiscalMemory.size(), 2038u);
    EXPECT_EQ(s.fiscalMemory.begin()->first, 8);
    EXPECT_EQ(s.fiscalMemory.rbegin()->first, 2045);
    GenerateFiscalMemory(s, 3);
    EXPECT_EQ(HexDigits(s.fiscalMemory[8].substr(0, 7)), "03202001010000");
    EXPECT_EQ(HexDigits(s.fiscalMemory[9].substr(0, 19)), "02202001020023000800050000FEFFFFFFFFFF");

    const std::string path = ::testing::TempDir() + "fiscal_memory.txt";
    struct Case {
        const char* name;
        std::string text;
        bool ok;
        std::vector<std::string> records;  // bytes as hex from record 8 on
    };
    std::string tooMany;
    for (int i = 0; i < 2039; ++i) tooMany += "0307200915\n";
    const std::vector<Case> cases = {
        {"records, comments, blank lines, CR LF", "# memory\r\n0307200915\r\n\r\n  02ff\n01\n", true,
         {"0307200915", "02FF", "01"}},
        {"an odd digit count", "030\n", false, {}},
        {"not hexadecimal", "03G7\n", false, {}},
        {"a record above 64 bytes", std::string(130, '0') + "\n", false, {}},
        {"more than 2038 records", tooMany, false, {}},
        {"empty", "", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(path, std::ios::binary) << c.text;
        RegisterState state;
        state.fiscalMemory[8] = "\x03";
        EXPECT_EQ(LoadFiscalMemory(state, path), c.ok);
        if (!c.ok) {
            EXPECT_EQ(state.fiscalMemory.size(), 1u);  // left as it was
            continue;
        }
        std::vector<std::string> got;
        for (const auto& [n, bytes] : state.fiscalMemory) got.push_back(HexDigits(bytes));
        EXPECT_EQ(got, c.records);
    }
    RegisterState state;
    EXPECT_FALSE(LoadFiscalMemory(state, path + ".missing"));
    std::remove(path.c_str());
}

}  // namespace
