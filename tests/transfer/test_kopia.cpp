// The register's copy: the changes-only plan, the refresh rules, the file, the
// sample read back and its comparison, the message.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <set>

#include "Emulator.h"
#include "EmulatorPort.h"
#include "Kopia.h"
#include "Pomoc.h"
#include "RecordingUi.h"
#include "Sekwencje.h"
#include "TempFiles.h"
#include "Uklady.h"
#include "ByteText.h"

namespace {

namespace fs = std::filesystem;

const std::string kSerial = "AB12345";
const std::string kWhen = "2026-12-01 14:03";

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());  // an empty value removes it
#else
    if (value.empty()) unsetenv(name);
    else setenv(name, value.c_str(), 1);
#endif
}

std::string GetEnv(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

void Row(TableSet& set, TableId t, int row, const std::vector<std::string>& cells) {
    for (int c = 0; c < static_cast<int>(cells.size()); ++c) set.SetCell(t, c, row, cells[c]);
}

void Plu(TableSet& set, int row, const std::string& name, const std::string& price, const std::string& stock) {
    Row(set, TableId::Plu, row, {std::to_string(row), name, "590123412345", "A", "0", price, stock, "NIE"});
}

TableSet ModelSet(int model) {
    TableSet set;
    set.ApplyModel(model, PluRule::Configured);
    return set;
}

RegisterCopy CopyOf(const TableSet& set) {
    RegisterCopy copy{set.Model(), kSerial, {}};
    for (int p = 0; p < kCopyPartCount; ++p) RefreshAfterRead(copy, set, static_cast<CopyPart>(p), {}, kWhen);
    return copy;
}

// Restores the data folder variables a test changes.
class DataDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) saved_.push_back(GetEnv(name));
        dir = testfiles::MakeTempDir("kopia");
        ASSERT_FALSE(dir.empty());
        SetEnv("ZELTRA_DATA_DIR", (dir / "dane").string());
    }
    void TearDown() override {
        for (std::size_t i = 0; i < kNames.size(); ++i) SetEnv(kNames[i], saved_[i]);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::vector<std::string> FilesIn(const fs::path& folder) const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
        return names;
    }

    static constexpr std::array<const char*, 5> kNames = {"ZELTRA_DATA_DIR", "XDG_DATA_HOME", "HOME",
                                                          "LOCALAPPDATA", "APPDATA"};
    std::vector<std::string> saved_;
    fs::path dir;
};

// ---- the plan ----------------------------------------------------------------

TableSet PlanBase() {
    TableSet set = ModelSet(1);
    Plu(set, 1, "Chleb", "3.50", "10");
    Plu(set, 2, "Mleko", "2.99", "40");
    Plu(set, 3, "Ser", "25.00", "5");
    Row(set, TableId::Discount, 1, {"1", "Klient", "5.00"});
    Row(set, TableId::Surcharge, 1, {"5", "Noc", "10.00"});
    Row(set, TableId::Surcharge, 2, {"6", "Dostawa", "2.00"});
    set.SetCell(TableId::Header, 1, 1, "Sklep");
    set.SetCell(TableId::Header, 1, 2, "ul. Polna 1");
    set.SetCell(TableId::Ptu, 1, 1, "23.00");
    set.SetCell(TableId::Ptu, 2, 1, "AKTYWNA");
    return set;
}

TEST(CopyPlan, SendsWhatDiffersAndDeletesWhatWasEmptied) {
    struct Case {
        const char* name;
        CopyPart part;
        std::function<void(TableSet&)> edit;
        std::vector<int> send, remove;
        int unchanged;
    };
    const std::vector<Case> cases = {
        {"nothing changed", CopyPart::Plu, [](TableSet&) {}, {}, {}, 3},
        {"price changed", CopyPart::Plu, [](TableSet& s) { s.SetCell(TableId::Plu, 5, 2, "3.19"); }, {2}, {}, 2},
        {"record added", CopyPart::Plu, [](TableSet& s) { Plu(s, 4, "Jaja", "9.00", "0"); }, {4}, {}, 3},
        {"record emptied", CopyPart::Plu, [](TableSet& s) { s.ClearRow(TableId::Plu, 3); }, {}, {3}, 2},
        {"added, changed and emptied",
         CopyPart::Plu,
         [](TableSet& s) {
             Plu(s, 1000, "Ostatni", "1.00", "1");
             s.SetCell(TableId::Plu, 1, 1, "Bułka");
             s.ClearRow(TableId::Plu, 2);
         },
         {1, 1000},
         {2},
         1},
        // The user changed it in the table: it is sent, though the check ignores stock.
        {"stock only", CopyPart::Plu, [](TableSet& s) { s.SetCell(TableId::Plu, 6, 1, "11"); }, {1}, {}, 2},
        {"surcharge emptied", CopyPart::Discounts, [](TableSet& s) { s.ClearRow(TableId::Surcharge, 2); }, {}, {6}, 2},
        {"surcharge changed", CopyPart::Discounts, [](TableSet& s) { s.SetCell(TableId::Surcharge, 2, 1, "12.00"); },
         {5}, {}, 2},
        {"discount added", CopyPart::Discounts,
         [](TableSet& s) { Row(s, TableId::Discount, 4, {"4", "Hurt", "3.00"}); }, {4}, {}, 3},
        {"header unchanged", CopyPart::Header, [](TableSet&) {}, {}, {}, 1},
        {"header line added", CopyPart::Header, [](TableSet& s) { s.SetCell(TableId::Header, 1, 3, "NIP 1"); }, {1},
         {}, 0},
        {"header emptied is sent, never deleted",
         CopyPart::Header,
         [](TableSet& s) {
             s.SetCell(TableId::Header, 1, 1, "");
             s.SetCell(TableId::Header, 1, 2, "");
         },
         {1},
         {},
         0},
        {"header too long is still planned", CopyPart::Header,
         [](TableSet& s) {
             for (int r = 1; r <= s.Rows(TableId::Header); ++r) s.SetCell(TableId::Header, 1, r, std::string(40, 'x'));
         },
         {1}, {}, 0},
        {"PTU rate changed", CopyPart::Ptu, [](TableSet& s) { s.SetCell(TableId::Ptu, 1, 1, "8.00"); }, {1}, {}, 0},
    };
    const TableSet base = PlanBase();
    const RegisterCopy copy = CopyOf(base);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TableSet set = base;
        c.edit(set);
        const ChangesPlan plan = PlanChanges(copy, set, c.part, 1, kSerial);
        ASSERT_FALSE(plan.Refused()) << plan.refusal;
        EXPECT_EQ(plan.send, c.send);
        EXPECT_EQ(plan.remove, c.remove);
        EXPECT_EQ(plan.unchanged, c.unchanged);
        EXPECT_EQ(plan.records, PartRecordCount(set, c.part));
        EXPECT_EQ(plan.since, kWhen);

        // Carried out, the plan leaves nothing more to do.
        RegisterCopy after = copy;
        RefreshAfterChanges(after, set, c.part, plan, "2026-12-02 09:00");
        const ChangesPlan again = PlanChanges(after, set, c.part, 1, kSerial);
        const bool tooLong = c.part == CopyPart::Header && !HeaderPayload(set);
        EXPECT_EQ(again.send.size(), tooLong ? 1u : 0u);
        EXPECT_TRUE(again.remove.empty());
        EXPECT_EQ(again.since, "2026-12-02 09:00");
    }
}

TEST(CopyPlan, RefusedForAnotherRegisterOrAnAbsentOrStalePart) {
    const TableSet set = PlanBase();
    const RegisterCopy good = CopyOf(set);
    RegisterCopy absent = good;
    absent.Part(CopyPart::Plu) = PartCopy{};
    RegisterCopy stale = good;
    MarkStale(stale, CopyPart::Plu);
    struct Case {
        const char* name;
        const RegisterCopy& copy;
        int model;
        std::string serial;
        bool refused;
    };
    const Case cases[] = {
        {"its own register", good, 1, kSerial, false}, {"another serial number", good, 1, "AB12346", true},
        {"another model", good, 2, kSerial, true},     {"part never seen", absent, 1, kSerial, true},
        {"part stale", stale, 1, kSerial, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ChangesPlan plan = PlanChanges(c.copy, set, CopyPart::Plu, c.model, c.serial);
        EXPECT_EQ(plan.Refused(), c.refused);
        EXPECT_TRUE(plan.send.empty() || !c.refused);
        EXPECT_TRUE(plan.remove.empty() || !c.refused);
    }
    // Another part of a stale copy is still good.
    EXPECT_FALSE(PlanChanges(stale, set, CopyPart::Discounts, 1, kSerial).Refused());
}

// ---- refreshing -------------------------------------------------------------------

TEST(CopyRefresh, FullSendKnowsWhatItSentAndKeepsTheRestOnlyFromACompletePart) {
    TableSet before = ModelSet(1);
    Row(before, TableId::Packaging, 1, {"1", "Stara", "0.10"});
    Row(before, TableId::Packaging, 3, {"3", "Trzecia", "0.30"});
    TableSet now = ModelSet(1);
    Row(now, TableId::Packaging, 1, {"1", "Nowa", "0.50"});
    Row(now, TableId::Packaging, 2, {"2", "Druga", "0.20"});
    const CopyPart part = CopyPart::Packaging;

    // Per record 1 to 4: N the bytes sent now, P the bytes known before,
    // e known empty, ? unknown.
    struct Case {
        const char* name;
        std::function<void(RegisterCopy&)> previous;
        const char* expected;
        bool complete;
    };
    const std::vector<Case> cases = {
        {"complete before", [&](RegisterCopy& c) { RefreshAfterRead(c, before, part, {}, kWhen); }, "NNPe", true},
        {"stale before",
         [&](RegisterCopy& c) {
             RefreshAfterRead(c, before, part, {}, kWhen);
             MarkStale(c, part);
         },
         "NN??", false},
        {"never seen", [](RegisterCopy&) {}, "NN??", false},
        {"partial before (a full send without a copy)",
         [&](RegisterCopy& c) { RefreshAfterFullSend(c, before, part, kWhen); }, "NN??", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterCopy copy{1, kSerial, {}};
        c.previous(copy);
        RefreshAfterFullSend(copy, now, part, "2026-12-02 10:00");
        const PartCopy& p = copy.Part(part);
        EXPECT_FALSE(p.stale);
        EXPECT_EQ(p.Complete(), c.complete);
        EXPECT_EQ(p.refreshed, "2026-12-02 10:00");
        for (int r = 1; r <= 4; ++r) {
            SCOPED_TRACE(r);
            const auto held = p.known.find(r);
            switch (c.expected[r - 1]) {
            case 'N': ASSERT_NE(held, p.known.end()); EXPECT_EQ(held->second, RecordBytes(now, TableId::Packaging, r)); break;
            case 'P': ASSERT_NE(held, p.known.end()); EXPECT_EQ(held->second, RecordBytes(before, TableId::Packaging, r)); break;
            case 'e': ASSERT_NE(held, p.known.end()); EXPECT_EQ(held->second, ""); break;
            default: EXPECT_EQ(held, p.known.end());
            }
        }
        // An unknown record is never deleted: the full send did not touch it either.
        const ChangesPlan plan = PlanChanges(copy, now, part, 1, kSerial);
        EXPECT_EQ(plan.remove, c.complete ? std::vector<int>{3} : std::vector<int>{});
        EXPECT_TRUE(plan.send.empty());
    }
}

TEST(CopyRefresh, FullSendFollowsTheNumberTheRowWasSentAs) {
    TableSet set = ModelSet(1);
    Row(set, TableId::Packaging, 2, {"5", "Piata", "1.00"});  // row 2 sent as record 5
    Row(set, TableId::Key, 3, {"7", "12", "1", "NIE"});        // keys go by their row
    RegisterCopy copy{1, kSerial, {}};
    RefreshAfterFullSend(copy, set, CopyPart::Packaging, kWhen);
    RefreshAfterFullSend(copy, set, CopyPart::Key, kWhen);
    const auto& pack = copy.Part(CopyPart::Packaging).known;
    EXPECT_EQ(pack.size(), 1u);
    EXPECT_EQ(pack.count(5), 1u);
    EXPECT_EQ(copy.Part(CopyPart::Key).known.count(3), 1u);
}

TEST(CopyRefresh, ReadTakesEmptyRecordsAsReportedAndStaleNeedsAWholeTransfer) {
    TableSet set = ModelSet(1);
    Row(set, TableId::Cashier, 1, {"1", "ANNA", "0012"});
    Row(set, TableId::Cashier, 2, {"2", "OLA", "0034"});  // a row the read left: empty in the register
    RegisterCopy copy{1, kSerial, {}};
    RefreshAfterRead(copy, set, CopyPart::Cashier, {2}, kWhen);
    EXPECT_TRUE(copy.Part(CopyPart::Cashier).Complete());
    EXPECT_EQ(copy.Part(CopyPart::Cashier).known.at(2), "");
    EXPECT_EQ(PlanChanges(copy, set, CopyPart::Cashier, 1, kSerial).send, std::vector<int>{2});

    MarkStale(copy, CopyPart::Cashier);  // a transfer cut short
    EXPECT_FALSE(copy.Part(CopyPart::Cashier).Complete());
    EXPECT_TRUE(PlanChanges(copy, set, CopyPart::Cashier, 1, kSerial).Refused());
    const auto kept = ParseCopyText(CopyText(copy));
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->Part(CopyPart::Cashier).stale) << "stale survives the file";
    RefreshAfterRead(copy, set, CopyPart::Cashier, {}, kWhen);
    EXPECT_FALSE(PlanChanges(copy, set, CopyPart::Cashier, 1, kSerial).Refused());
}

// ---- the file ----------------------------------------------------------------------

TEST_F(DataDirTest, FullPluPartSavesAndLoadsWhole) {
    TableSet set = ModelSet(3);
    ASSERT_EQ(set.Rows(TableId::Plu), 19200);
    for (int r = 1; r <= 19200; ++r)
        if (r % 97 != 0) Plu(set, r, "Towar " + std::to_string(r), std::to_string(r % 500) + ".99", std::to_string(r % 37));
    RegisterCopy copy = CopyOf(set);
    MarkStale(copy, CopyPart::Ptu);

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(SaveRegisterCopy(copy));
    const auto saved = std::chrono::steady_clock::now();
    const std::optional<RegisterCopy> loaded = LoadRegisterCopy(3, kSerial);
    const auto done = std::chrono::steady_clock::now();
    using ms = std::chrono::milliseconds;
    std::cout << "19 200 PLU: save " << std::chrono::duration_cast<ms>(saved - start).count() << " ms, load "
              << std::chrono::duration_cast<ms>(done - saved).count() << " ms\n";

    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->model, 3);
    EXPECT_EQ(loaded->serial, kSerial);
    for (int p = 0; p < kCopyPartCount; ++p) {
        SCOPED_TRACE(p);
        const PartCopy &a = copy.parts[p], &b = loaded->parts[p];
        EXPECT_EQ(a.present, b.present);
        EXPECT_EQ(a.stale, b.stale);
        EXPECT_EQ(a.records, b.records);
        EXPECT_EQ(a.refreshed, b.refreshed);
        EXPECT_TRUE(a.known == b.known);
    }
    EXPECT_TRUE(loaded->Part(CopyPart::Plu).Complete());
    EXPECT_EQ(loaded->Part(CopyPart::Plu).known.at(97), "");
    EXPECT_EQ(FilesIn(CopyFolder()), std::vector<std::string>{"kasa3-AB12345.kopia"}) << "no temporary file left";
    EXPECT_FALSE(LoadRegisterCopy(3, "AB12346")) << "another register has no copy";
    EXPECT_FALSE(LoadRegisterCopy(2, kSerial));
}

TEST_F(DataDirTest, DamagedForeignOrOtherVersionFileIsNoCopy) {
    TableSet set = PlanBase();
    const RegisterCopy copy = CopyOf(set);
    const std::string good = CopyText(copy);
    const std::string path = CopyFilePath(1, kSerial);
    ASSERT_TRUE(SaveRegisterCopy(copy));

    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        const auto at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? t : t.replace(at, from.size(), to);
    };
    RegisterCopy other = copy;
    other.serial = "XY999";
    RegisterCopy otherModel = copy;
    otherModel.model = 2;
    // The first PLU record's bytes, as hexadecimal text.
    const std::size_t pluHex = good.find("\n1 ", good.find("part plu")) + 3;
    ASSERT_NE(good.substr(pluHex, 2), "-\n");
    auto edited = [&](const std::function<void(std::string&)>& edit) {
        std::string t = good;
        edit(t);
        return t;
    };

    struct Case {
        const char* name;
        std::string text;
        bool loads;
    };
    const std::vector<Case> cases = {
        {"as written", good, true},
        {"empty", "", false},
        {"cut in half", good.substr(0, good.size() / 2), false},
        {"cut before its end line", good.substr(0, good.size() - 4), false},
        {"last newline missing", good.substr(0, good.size() - 1), false},
        {"another format version", replaced("ZELTRA-KOPIA 1", "ZELTRA-KOPIA 2"), false},
        {"another register's serial", CopyText(other), false},
        {"another model", CopyText(otherModel), false},
        {"fewer records than it says", replaced("part plu 1000 current 1000", "part plu 1000 current 999"), false},
        {"not hexadecimal", edited([&](std::string& t) { t[pluHex] = 'G'; }), false},
        {"a record byte lost", edited([&](std::string& t) { t.erase(pluHex, 2); }), false},
        {"a record byte more", edited([&](std::string& t) { t.insert(pluHex, "00"); }), false},
        {"a record past the part", replaced("part header 1 current 1", "part header 0 current 1"), false},
        {"an unknown part", replaced("part ptu", "part vat"), false},
        {"a record twice", replaced("\n2 ", "\n1 "), false},
        {"more after the end", good + "1 FF\n", false},
        {"Windows line ends", replaced("\n", "\r\n"), false},
        {"a bad time", replaced(kWhen, "2026-12-01 1403"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testfiles::Spit(fs::path(path), c.text);
        const auto loaded = LoadRegisterCopy(1, kSerial);
        EXPECT_EQ(loaded.has_value(), c.loads);
    }
}

TEST_F(DataDirTest, FolderIsTheUsersAndFileNamesAreSafe) {
    const std::string sep(1, fs::path::preferred_separator);
    EXPECT_EQ(CopyFolder(), (dir / "dane").string() + sep + "kopie");
    // A serial number with a slash, a space and a Polish letter stays one name in the folder.
    const std::string odd = "A/B 1\xB3";
    const std::string path = CopyFilePath(0, odd);
    EXPECT_EQ(path, CopyFolder() + sep + "kasa0-A_2FB_201_B3.kopia");
    EXPECT_NE(CopyFilePath(0, "A_2FB"), CopyFilePath(0, "A/B")) << "no two serial numbers share a file";
    EXPECT_EQ(CopyFilePath(0, ""), "");
    EXPECT_EQ(CopyFilePath(4, kSerial), "");
    RegisterCopy copy = CopyOf(PlanBase());
    copy.model = 0;
    copy.serial = odd;
    ASSERT_TRUE(SaveRegisterCopy(copy)) << "the folder is made when saving";
    EXPECT_TRUE(LoadRegisterCopy(0, odd));

#ifndef _WIN32
    struct Case {
        const char* zeltra;
        const char* xdg;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/d", "/x", "/h", "/d/kopie"},
        {"", "/x", "/h", "/x/zeltra-serwis/kopie"},
        {"", "wzgledny", "/h", "/h/.local/share/zeltra-serwis/kopie"},
        {"", "", "/h", "/h/.local/share/zeltra-serwis/kopie"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        SetEnv("ZELTRA_DATA_DIR", c.zeltra);
        SetEnv("XDG_DATA_HOME", c.xdg);
        SetEnv("HOME", c.home);
        EXPECT_EQ(CopyFolder(), c.expected);
    }
#else
    SetEnv("ZELTRA_DATA_DIR", "");
    SetEnv("LOCALAPPDATA", "C:\\L");
    SetEnv("APPDATA", "C:\\R");
    EXPECT_EQ(CopyFolder(), "C:\\L\\ZELTRA Serwis\\kopie");
    SetEnv("LOCALAPPDATA", "");
    EXPECT_EQ(CopyFolder(), "C:\\R\\ZELTRA Serwis\\kopie");
#endif
}

// ---- the sample and the message ----------------------------------------------------------

TEST(CopySample, FirstLastAndDistinctKnownRecordsRepeatably) {
    PartCopy all;
    all.present = true;
    all.records = 19200;
    for (int r = 1; r <= 19200; ++r) all.known[r] = r % 2 ? "x" : "";
    const auto a = SampleRecords(all, 19200, 20, 42);
    EXPECT_EQ(a.size(), 22u);
    EXPECT_EQ(a.front(), 1);
    EXPECT_EQ(a.back(), 19200);
    EXPECT_EQ(std::set<int>(a.begin(), a.end()).size(), a.size()) << "no duplicates";
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
    EXPECT_EQ(SampleRecords(all, 19200, 20, 42), a) << "the same seed, the same sample";
    EXPECT_NE(SampleRecords(all, 19200, 20, 43), a);

    PartCopy few;
    few.known = {{5, "x"}, {6, ""}, {30, "x"}};  // 30 lies past the table now
    EXPECT_EQ(SampleRecords(few, 10, 50, 1), (std::vector<int>{1, 5, 6, 10}));
    EXPECT_EQ(SampleRecords(all, 3, 50, 1), (std::vector<int>{1, 2, 3})) << "never more than the table has";
    EXPECT_EQ(SampleRecords(all, 1, 5, 1), std::vector<int>{1});
    EXPECT_TRUE(SampleRecords(all, 0, 5, 1).empty());
}

TEST(CopyMessage, PluralsAndGrouping) {
    struct Case {
        int sent, records, removed;
        const char* expected;
    };
    const Case cases[] = {
        {50, 19200, 0, "Wysłano 50 zmienionych rekordów z 19 200 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {1, 1000, 0, "Wysłano 1 zmieniony rekord z 1000 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {2, 9600, 0, "Wysłano 2 zmienione rekordy z 9600 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {4, 15, 0, "Wysłano 4 zmienione rekordy z 15 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {5, 15, 0, "Wysłano 5 zmienionych rekordów z 15 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {12, 20, 0, "Wysłano 12 zmienionych rekordów z 20 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {14, 20, 0, "Wysłano 14 zmienionych rekordów z 20 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {22, 100, 0, "Wysłano 22 zmienione rekordy z 100 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {24, 100, 0, "Wysłano 24 zmienione rekordy z 100 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {112, 1000, 0, "Wysłano 112 zmienionych rekordów z 1000 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {0, 8, 0, "Wysłano 0 zmienionych rekordów z 8 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {10000, 19200, 3,
         "Wysłano 10 000 zmienionych rekordów z 19 200, usunięto 3 (pozostałe bez zmian od 2026-12-01 14:03)"},
        {1, 123456, 1, "Wysłano 1 zmieniony rekord z 123 456, usunięto 1 (pozostałe bez zmian od 2026-12-01 14:03)"},
    };
    for (const Case& c : cases) EXPECT_EQ(ChangesSentMessage(c.sent, c.records, c.removed, kWhen), c.expected);
}

// ---- read back from a register ----------------------------------------------------------

// What the register sends back, decoded and encoded again, gives the bytes
// that were sent: the copy of a read matches the copy of a send, and the
// sample comparison finds no difference where there is none.
class CopyReadBack : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLink();
        emu.SetModel(1);
        UsePort(std::make_unique<EmulatorPort>(emu, true));
        Link().errorMode = 1;
        Link().pollLimit = 5000;
        InstallUi(&ui);
        sent = ModelSet(1);
        got = ModelSet(1);
    }
    void TearDown() override {
        InstallUi(nullptr);
        ResetLink();
    }
    Emulator emu;
    RecordingUi ui;
    TableSet sent, got;
};

TEST_F(CopyReadBack, DecodedRecordsEncodeToTheBytesSent) {
    // Rows that the download writes back in another form than they were typed.
    Row(sent, TableId::Packaging, 1, {"1", "Butelka \xBF\xF3\xB3ta i d\xB3ugie imi\xEA", "0.505"});
    Row(sent, TableId::Packaging, 15, {"15", "Skrzynka", "99999999.99"});
    Row(sent, TableId::Plu, 1, {"1", "Woda \x9F\x72\xF3\x64lana mineralna", "5901234123457", "B", "1", "1.2", "12.7", "NIE"});
    Row(sent, TableId::Plu, 2, {"2", "Ser", "0000", "X", "(brak)", "25,999", "-1.5", "TAK"});
    Row(sent, TableId::Plu, 3, {"3", "Kod", "12", "G", "15", "0", "0", "TAK"});
    Row(sent, TableId::Plu, 1000, {"1000", "Ostatni", "123", "A", "99", "1", "599999", "NIE"});
    Row(sent, TableId::Cashier, 1, {"1", "ANNA MARIA", "12"});
    Row(sent, TableId::Cashier, 8, {"8", "\xA3UCJA", "123"});
    Row(sent, TableId::Key, 1, {"1", "12345", "16", "TAK"});
    Row(sent, TableId::Key, 10, {"10", "1000", "15", "NIE"});
    Row(sent, TableId::Discount, 1, {"1", "Sta\xB3y klient", "5.05"});
    Row(sent, TableId::Discount, 4, {"4", "Wszystko", "150"});
    Row(sent, TableId::Surcharge, 1, {"5", "Noc", "10"});
    Row(sent, TableId::Surcharge, 4, {"8", "Dostawa", "1000"});
    Row(sent, TableId::PaymentForm, 1, {"1", "GOT\xD3WKA"});
    Row(sent, TableId::PaymentForm, 4, {"4", "KARTA P\xA3\x41TNICZA D\xA3UGA NAZWA"});
    sent.SetCell(TableId::Header, 1, 1, "  Sklep \x8Cwit  ");
    sent.SetCell(TableId::Header, 1, 3, "ul. Polna 1");  // after an empty line
    sent.SetCell(TableId::Ptu, 1, 1, "23");
    sent.SetCell(TableId::Ptu, 2, 1, "AKTYWNA");
    sent.SetCell(TableId::Ptu, 2, 2, "ZWOLNIONA");
    sent.SetCell(TableId::Ptu, 1, 3, "5.5");
    sent.SetCell(TableId::Ptu, 2, 3, "AKTYWNA");

    SendAllTables(sent);
    SendHeader(sent);
    SendPtuRates(sent);
    ReadAllTables(got);
    ASSERT_TRUE(ui.Messages().empty()) << ui.Messages().front();

    RegisterCopy copy{1, emu.state.serial, {}};
    for (int p = 0; p < kCopyPartCount; ++p) {
        const auto part = static_cast<CopyPart>(p);
        SCOPED_TRACE(p);
        for (int r = 1; r <= PartRecordCount(sent, part); ++r) {
            const auto a = PartRecordBytes(sent, part, r), b = PartRecordBytes(got, part, r);
            ASSERT_TRUE(a && b);
            EXPECT_EQ(bytetext::Hex(*b), bytetext::Hex(*a)) << "record " << r;
            EXPECT_TRUE(SameHeldFields(TableOfPart(part), *a, *b));
        }
        RefreshAfterRead(copy, got, part, {}, kWhen);
        const ChangesPlan plan = PlanChanges(copy, sent, part, 1, emu.state.serial);
        EXPECT_TRUE(plan.send.empty() && plan.remove.empty()) << "nothing differs from what was read";
    }

    // A sale changes the stock in the register: the check lets that pass, not a price.
    std::string& plu1 = emu.state.records[PluLayout::kRecord.readDigit - '0'][0];
    ASSERT_EQ(plu1.size(), static_cast<std::size_t>(PluLayout::kRecord.recordBytes));
    plu1[PluLayout::kStock.offset] = '\x05';
    ReadPluTable(got);
    const std::string before = RecordBytes(sent, TableId::Plu, 1), after = RecordBytes(got, TableId::Plu, 1);
    EXPECT_NE(after, before);
    EXPECT_TRUE(SameHeldFields(TableId::Plu, before, after));
    plu1[PluLayout::kPrice.offset] = '\x99';
    ReadPluTable(got);
    EXPECT_FALSE(SameHeldFields(TableId::Plu, before, RecordBytes(got, TableId::Plu, 1)));
}

}  // namespace
