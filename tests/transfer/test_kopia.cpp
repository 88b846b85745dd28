// The register's copy: the changes-only plan, the refresh rules, the file, the
// sample read back and its comparison, the message.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <set>

#include "ByteText.h"
#include "Emulator.h"
#include "EmulatorPort.h"
#include "Kopia.h"
#include "Pomoc.h"
#include "RecordingUi.h"
#include "Sekwencje.h"
#include "TempFiles.h"
#include "Uklady.h"

namespace {

namespace fs = std::filesystem;
using Edit = std::function<void(TableSet&)>;
using Ints = std::vector<int>;

const std::string kSerial = "AB12345";
const std::string kWhen = "2026-12-01 14:03";

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());  // an empty value removes it
#else
    value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1);
#endif
}

void Row(TableSet& set, TableId t, int row, const std::vector<std::string>& cells) {
    for (int c = 0; c < static_cast<int>(cells.size()); ++c) set.SetCell(t, c, row, cells[c]);
}

void Plu(TableSet& set, int row, const std::string& name, const std::string& price) {
    Row(set, TableId::Plu, row, {std::to_string(row), name, "590123412345", "A", "0", price, "10", "NIE"});
}

TableSet ModelSet(int model) {
    TableSet set;
    set.ApplyModel(model, PluRule::Configured);
    return set;
}

TableSet Shop() {
    TableSet set = ModelSet(1);
    Plu(set, 1, "Chleb", "3.50");
    Plu(set, 2, "Mleko", "2.99");
    Plu(set, 3, "Ser", "25.00");
    Row(set, TableId::Discount, 1, {"1", "Klient", "5.00"});
    Row(set, TableId::Surcharge, 1, {"5", "Noc", "10.00"});
    Row(set, TableId::Surcharge, 2, {"6", "Dostawa", "2.00"});
    set.SetCell(TableId::Header, 1, 1, "Sklep");
    set.SetCell(TableId::Header, 1, 2, "ul. Polna 1");
    return set;
}

RegisterCopy CopyOf(const TableSet& set) {
    RegisterCopy copy{set.Model(), kSerial, {}};
    for (int p = 0; p < kCopyPartCount; ++p) RefreshAfterRead(copy, set, static_cast<CopyPart>(p), {}, kWhen);
    return copy;
}

TEST(CopyPlan, SendsWhatDiffersAndDeletesWhatWasEmptied) {
    struct Case {
        const char* name;
        CopyPart part;
        Edit edit;
        Ints send, remove;
        int unchanged;
    };
    const std::vector<Case> cases = {
        {"nothing changed", CopyPart::Plu, [](TableSet&) {}, {}, {}, 3},
        {"price changed", CopyPart::Plu, [](TableSet& s) { s.SetCell(TableId::Plu, 5, 2, "3.19"); }, {2}, {}, 2},
        {"record added", CopyPart::Plu, [](TableSet& s) { Plu(s, 1000, "Jaja", "9.00"); }, {1000}, {}, 3},
        {"record emptied", CopyPart::Plu, [](TableSet& s) { s.ClearRow(TableId::Plu, 3); }, {}, {3}, 2},
        // The user changed it in the table, so it is sent; only the check ignores stock.
        {"stock only", CopyPart::Plu, [](TableSet& s) { s.SetCell(TableId::Plu, 6, 1, "11"); }, {1}, {}, 2},
        {"surcharge emptied", CopyPart::Discounts, [](TableSet& s) { s.ClearRow(TableId::Surcharge, 2); }, {}, {6}, 2},
        {"header line added", CopyPart::Header, [](TableSet& s) { s.SetCell(TableId::Header, 1, 3, "NIP"); }, {1}, {}, 0},
        {"header emptied: sent, never deleted", CopyPart::Header,
         [](TableSet& s) { s.SetCell(TableId::Header, 1, 1, ""), s.SetCell(TableId::Header, 1, 2, ""); }, {1}, {}, 0},
    };
    const TableSet shop = Shop();
    const RegisterCopy copy = CopyOf(shop);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TableSet set = shop;
        c.edit(set);
        const ChangesPlan plan = PlanChanges(copy, set, c.part, 1, kSerial);
        ASSERT_FALSE(plan.Refused()) << plan.refusal;
        EXPECT_EQ(plan.send, c.send);
        EXPECT_EQ(plan.remove, c.remove);
        EXPECT_EQ(plan.unchanged, c.unchanged);
        EXPECT_EQ(plan.since, kWhen);
        // Carried out, the plan leaves nothing more to do.
        RegisterCopy after = copy;
        RefreshAfterChanges(after, set, c.part, plan, kWhen);
        const ChangesPlan again = PlanChanges(after, set, c.part, 1, kSerial);
        EXPECT_TRUE(again.send.empty() && again.remove.empty());
    }

    RegisterCopy stale = copy, absent = copy;
    MarkStale(stale, CopyPart::Plu);
    absent.Part(CopyPart::Plu) = PartCopy{};
    EXPECT_TRUE(PlanChanges(copy, shop, CopyPart::Plu, 1, "AB12346").Refused()) << "another register";
    EXPECT_TRUE(PlanChanges(copy, shop, CopyPart::Plu, 2, kSerial).Refused()) << "another model";
    EXPECT_TRUE(PlanChanges(absent, shop, CopyPart::Plu, 1, kSerial).Refused());
    EXPECT_TRUE(PlanChanges(stale, shop, CopyPart::Plu, 1, kSerial).Refused());
    EXPECT_FALSE(PlanChanges(stale, shop, CopyPart::Discounts, 1, kSerial).Refused()) << "other parts stay good";
}

TEST(CopyRefresh, FullSendKnowsWhatItSentAndKeepsTheRestOnlyFromACompletePart) {
    TableSet before = ModelSet(1), now = ModelSet(1);
    Row(before, TableId::Packaging, 1, {"1", "Stara", "0.10"});
    Row(before, TableId::Packaging, 3, {"3", "Trzecia", "0.30"});
    Row(now, TableId::Packaging, 1, {"1", "Nowa", "0.50"});
    Row(now, TableId::Packaging, 2, {"2", "Druga", "0.20"});
    const CopyPart part = CopyPart::Packaging;
    // Records 1 to 4: N the bytes sent now, P those known before, e known empty, ? unknown.
    struct Case {
        const char* name;
        std::function<void(RegisterCopy&)> previous;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"complete before", [&](RegisterCopy& c) { RefreshAfterRead(c, before, part, {}, kWhen); }, "NNPe"},
        {"cut short before",
         [&](RegisterCopy& c) { RefreshAfterRead(c, before, part, {}, kWhen), MarkStale(c, part); }, "NN??"},
        {"never seen", [](RegisterCopy&) {}, "NN??"},
        {"a full send before", [&](RegisterCopy& c) { RefreshAfterFullSend(c, before, part, kWhen); }, "NN??"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterCopy copy{1, kSerial, {}};
        c.previous(copy);
        RefreshAfterFullSend(copy, now, part, "2026-12-02 10:00");
        const PartCopy& p = copy.Part(part);
        EXPECT_EQ(p.refreshed, "2026-12-02 10:00");
        std::string got;
        for (int r = 1; r <= 4; ++r) {
            const auto held = p.known.find(r);
            if (held == p.known.end()) got += '?';
            else if (held->second.empty()) got += 'e';
            else if (held->second == RecordBytes(now, TableId::Packaging, r)) got += 'N';
            else got += held->second == RecordBytes(before, TableId::Packaging, r) ? 'P' : 'x';
        }
        EXPECT_EQ(got, c.expected);
        const bool complete = c.expected[2] != '?';
        EXPECT_EQ(p.Complete(), complete);
        // An unknown record is never deleted: the full send left it alone too.
        EXPECT_EQ(PlanChanges(copy, now, part, 1, kSerial).remove, complete ? Ints{3} : Ints{});
    }

    // A row whose number cell names another record was sent as that record; keys go by their row.
    TableSet moved = ModelSet(1);
    Row(moved, TableId::Packaging, 2, {"5", "Piata", "1.00"});
    Row(moved, TableId::Key, 3, {"7", "12", "1", "NIE"});
    RegisterCopy copy{1, kSerial, {}};
    RefreshAfterFullSend(copy, moved, CopyPart::Packaging, kWhen);
    RefreshAfterFullSend(copy, moved, CopyPart::Key, kWhen);
    EXPECT_EQ(copy.Part(CopyPart::Packaging).known.size(), 1u);
    EXPECT_EQ(copy.Part(CopyPart::Packaging).known.count(5), 1u);
    EXPECT_EQ(copy.Part(CopyPart::Key).known.count(3), 1u);
}

TEST(CopyRefresh, ReadTakesReportedEmptiesAndACutShortTransferMakesThePartStale) {
    TableSet set = ModelSet(1);
    Row(set, TableId::Cashier, 1, {"1", "ANNA", "0012"});
    Row(set, TableId::Cashier, 2, {"2", "OLA", "0034"});  // left by the read: empty in the register
    RegisterCopy copy{1, kSerial, {}};
    RefreshAfterRead(copy, set, CopyPart::Cashier, {2}, kWhen);
    EXPECT_TRUE(copy.Part(CopyPart::Cashier).Complete());
    EXPECT_EQ(PlanChanges(copy, set, CopyPart::Cashier, 1, kSerial).send, Ints{2});

    MarkStale(copy, CopyPart::Cashier);
    EXPECT_TRUE(PlanChanges(copy, set, CopyPart::Cashier, 1, kSerial).Refused());
    const auto kept = ParseCopyText(CopyText(copy));
    ASSERT_TRUE(kept);
    EXPECT_TRUE(PlanChanges(*kept, set, CopyPart::Cashier, 1, kSerial).Refused()) << "stale survives the file";
    RefreshAfterRead(copy, set, CopyPart::Cashier, {}, kWhen);
    EXPECT_FALSE(PlanChanges(copy, set, CopyPart::Cashier, 1, kSerial).Refused());
}

// Points the data folder at a fresh folder and restores the variables after.
class CopyFile : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) saved.push_back(std::getenv(name) ? std::getenv(name) : "");
        dir = testfiles::MakeTempDir("kopia");
        ASSERT_FALSE(dir.empty());
        SetEnv("ZELTRA_DATA_DIR", (dir / "dane").string());
    }
    void TearDown() override {
        for (std::size_t i = 0; i < kNames.size(); ++i) SetEnv(kNames[i], saved[i]);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static constexpr std::array<const char*, 5> kNames = {"ZELTRA_DATA_DIR", "XDG_DATA_HOME", "HOME",
                                                          "LOCALAPPDATA", "APPDATA"};
    std::vector<std::string> saved;
    fs::path dir;
};

TEST_F(CopyFile, FullPluPartSavesAndLoadsWhole) {
    TableSet set = ModelSet(3);
    ASSERT_EQ(set.Rows(TableId::Plu), 19200);
    for (int r = 1; r <= 19200; ++r)
        if (r % 97) Plu(set, r, "Towar " + std::to_string(r), std::to_string(r % 500) + ".99");
    RegisterCopy copy = CopyOf(set);
    MarkStale(copy, CopyPart::Ptu);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    ASSERT_TRUE(SaveRegisterCopy(copy)) << "the folder is made when saving";
    const auto saved = Clock::now();
    const std::optional<RegisterCopy> loaded = LoadRegisterCopy(3, kSerial);
    const auto done = Clock::now();
    auto ms = [](auto d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
    std::cout << "19 200 PLU: save " << ms(saved - start) << " ms, load " << ms(done - saved) << " ms\n";

    ASSERT_TRUE(loaded);
    EXPECT_EQ(CopyText(*loaded), CopyText(copy));
    EXPECT_TRUE(loaded->Part(CopyPart::Plu).Complete());
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(fs::path(CopyFolder()))) files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"kasa3-AB12345.kopia"}) << "no temporary file left";
    EXPECT_FALSE(LoadRegisterCopy(3, "AB12346"));
    EXPECT_FALSE(LoadRegisterCopy(2, kSerial));
}

TEST_F(CopyFile, DamagedForeignOrOtherVersionFileIsNoCopy) {
    const RegisterCopy copy = CopyOf(Shop());
    const std::string good = CopyText(copy);
    const std::size_t pluHex = good.find("\n1 ", good.find("part plu")) + 3;  // PLU 1's bytes
    ASSERT_NE(good[pluHex], '-');
    auto edited = [&](const std::function<void(std::string&)>& edit) {
        std::string t = good;
        edit(t);
        return t;
    };
    RegisterCopy other = copy, otherModel = copy;
    other.serial = "XY999";
    otherModel.model = 2;
    const std::vector<std::pair<const char*, std::string>> damaged = {
        {"empty", ""},
        {"cut in half", good.substr(0, good.size() / 2)},
        {"cut in its last line", good.substr(0, good.size() - 1)},
        {"another format version", edited([](std::string& t) { t[13] = '2'; })},
        {"another register's serial", CopyText(other)},
        {"another model", CopyText(otherModel)},
        {"fewer records than it says", edited([&](std::string& t) { t.replace(t.find("current 1000"), 12, "current 999"); })},
        {"not hexadecimal", edited([&](std::string& t) { t[pluHex] = 'G'; })},
        {"a record byte lost", edited([&](std::string& t) { t.erase(pluHex, 2); })},
        {"a record twice", edited([&](std::string& t) { t.replace(t.find("\n2 "), 3, "\n1 "); })},
        {"more after the end", good + "1 FF\n"},
    };
    const std::string path = CopyFilePath(1, kSerial);
    ASSERT_TRUE(SaveRegisterCopy(copy));
    ASSERT_TRUE(LoadRegisterCopy(1, kSerial));
    for (const auto& [name, text] : damaged) {
        testfiles::Spit(fs::path(path), text);
        EXPECT_FALSE(LoadRegisterCopy(1, kSerial)) << name;
    }
}

TEST_F(CopyFile, FolderIsTheUsersAndFileNamesAreSafe) {
    const std::string sep(1, fs::path::preferred_separator);
    EXPECT_EQ(CopyFolder(), (dir / "dane").string() + sep + "kopie");
    const std::string odd = "A/B 1\xB3";  // a slash, a space, a Polish letter
    EXPECT_EQ(CopyFilePath(0, odd), CopyFolder() + sep + "kasa0-A_2FB_201_B3.kopia");
    EXPECT_NE(CopyFilePath(0, "A_2FB"), CopyFilePath(0, "A/B")) << "no two serial numbers share a file";
    EXPECT_EQ(CopyFilePath(0, ""), "");
    EXPECT_EQ(CopyFilePath(4, kSerial), "");

    // A user folder with Polish letters.
    const fs::path polish = dir / fs::path(u8"U\u017Cytkownik \u0141\u00F3d\u017A");
#ifdef _WIN32
    _wputenv_s(L"ZELTRA_DATA_DIR", polish.wstring().c_str());
#else
    SetEnv("ZELTRA_DATA_DIR", polish.string());
#endif
    RegisterCopy copy = CopyOf(Shop());
    copy.model = 0, copy.serial = odd;
    ASSERT_TRUE(SaveRegisterCopy(copy));
    EXPECT_TRUE(LoadRegisterCopy(0, odd));
    EXPECT_TRUE(fs::exists(polish / "kopie" / "kasa0-A_2FB_201_B3.kopia"));

#ifndef _WIN32
    const std::array<std::array<const char*, 4>, 5> cases = {{
        // ZELTRA_DATA_DIR, XDG_DATA_HOME, HOME, the folder
        {"/d", "/x", "/h", "/d/kopie"},
        {"", "/x", "/h", "/x/zeltra-serwis/kopie"},
        {"", "wzgledny", "/h", "/h/.local/share/zeltra-serwis/kopie"},
        {"", "", "/h", "/h/.local/share/zeltra-serwis/kopie"},
        {"", "", "", ""},
    }};
    for (const auto& c : cases) {
        SetEnv("ZELTRA_DATA_DIR", c[0]), SetEnv("XDG_DATA_HOME", c[1]), SetEnv("HOME", c[2]);
        EXPECT_EQ(CopyFolder(), c[3]);
    }
#else
    SetEnv("ZELTRA_DATA_DIR", ""), SetEnv("LOCALAPPDATA", "C:\\L"), SetEnv("APPDATA", "C:\\R");
    EXPECT_EQ(CopyFolder(), "C:\\L\\ZELTRA Serwis\\kopie");
    SetEnv("LOCALAPPDATA", "");
    EXPECT_EQ(CopyFolder(), "C:\\R\\ZELTRA Serwis\\kopie");
#endif
}

TEST(CopySample, FirstLastAndDistinctKnownRecordsRepeatably) {
    PartCopy all;
    for (int r = 1; r <= 19200; ++r) all.known[r] = r % 2 ? "x" : "";
    const Ints a = SampleRecords(all, 19200, 20, 42);
    EXPECT_EQ(a.size(), 22u);
    EXPECT_EQ(a.front(), 1);
    EXPECT_EQ(a.back(), 19200);
    EXPECT_EQ(std::set<int>(a.begin(), a.end()).size(), a.size()) << "no duplicates";
    EXPECT_EQ(SampleRecords(all, 19200, 20, 42), a) << "the same seed, the same sample";
    EXPECT_NE(SampleRecords(all, 19200, 20, 43), a);

    PartCopy few;
    few.known = {{5, "x"}, {6, ""}, {30, "x"}};  // 30 lies past the table now
    EXPECT_EQ(SampleRecords(few, 10, 50, 1), (Ints{1, 5, 6, 10})) << "only records the copy knows";
    EXPECT_EQ(SampleRecords(all, 3, 50, 1), (Ints{1, 2, 3})) << "never more than the table has";
    EXPECT_EQ(SampleRecords(all, 1, 5, 1), Ints{1});
}

TEST(CopyMessage, PluralsAndGrouping) {
    const std::string rest = " (pozostałe bez zmian od 2026-12-01 14:03)";
    const std::vector<std::tuple<int, int, int, std::string>> cases = {
        {50, 19200, 0, "Wysłano 50 zmienionych rekordów z 19 200"},
        {1, 1000, 0, "Wysłano 1 zmieniony rekord z 1000"},
        {2, 9600, 0, "Wysłano 2 zmienione rekordy z 9600"},
        {4, 15, 0, "Wysłano 4 zmienione rekordy z 15"},
        {12, 20, 0, "Wysłano 12 zmienionych rekordów z 20"},
        {14, 20, 0, "Wysłano 14 zmienionych rekordów z 20"},
        {22, 100, 0, "Wysłano 22 zmienione rekordy z 100"},
        {0, 8, 0, "Wysłano 0 zmienionych rekordów z 8"},
        {10000, 123456, 3, "Wysłano 10 000 zmienionych rekordów z 123 456, usunięto 3"},
    };
    for (const auto& [sent, records, removed, text] : cases)
        EXPECT_EQ(ChangesSentMessage(sent, records, removed, kWhen), text + rest);
}

// What the register sends back, decoded by the download and encoded again,
// gives the bytes that were sent, for every table: so the copy of a read
// matches the table sent, and the check finds no difference where none is.
TEST(CopyReadBack, DecodedRecordsEncodeToTheBytesSent) {
    Connection link;
    Emulator emu;
    emu.SetModel(1);
    link.UsePort(std::make_unique<EmulatorPort>(emu, true));
    link.Settings().pollLimit = 5000;
    RecordingUi ui;
    InstallUi(&ui);
    TableSet sent = ModelSet(1), got = ModelSet(1);
    // Rows the download writes back in another form than they were typed.
    Row(sent, TableId::Packaging, 1, {"1", "Butelka \xBF\xF3\xB3ta i d\xB3ugie imi\xEA", "0.505"});
    Row(sent, TableId::Plu, 1, {"1", "Woda \x9Fr\xF3" "dlana mineralna", "5901234123457", "B", "1", "1.2", "12.7", "NIE"});
    Row(sent, TableId::Plu, 2, {"2", "Ser", "0000", "X", "(brak)", "25,999", "-1.5", "TAK"});
    Row(sent, TableId::Plu, 1000, {"1000", "Ostatni", "123", "G", "99", "1", "599999", "NIE"});
    Row(sent, TableId::Cashier, 8, {"8", "ANNA MARIA", "123"});
    Row(sent, TableId::Key, 10, {"10", "12345", "16", "TAK"});
    Row(sent, TableId::Discount, 1, {"1", "Sta\xB3y klient", "5.05"});
    Row(sent, TableId::Discount, 4, {"4", "Wszystko", "150"});
    Row(sent, TableId::Surcharge, 4, {"8", "Dostawa", "1000"});
    Row(sent, TableId::PaymentForm, 4, {"4", "KARTA P\xA3" "ATNICZA D\xA3UGA NAZWA"});
    sent.SetCell(TableId::Header, 1, 1, "  Sklep \x8Cwit  ");
    sent.SetCell(TableId::Header, 1, 3, "ul. Polna 1");  // after an empty line
    sent.SetCell(TableId::Ptu, 1, 1, "5.5");
    sent.SetCell(TableId::Ptu, 2, 1, "AKTYWNA");
    sent.SetCell(TableId::Ptu, 2, 2, "ZWOLNIONA");
    SendAllTables(link, sent);
    SendHeader(link, sent);
    SendPtuRates(link, sent);
    ReadAllTables(link, got);
    EXPECT_TRUE(ui.Messages().empty());

    RegisterCopy copy{1, emu.state.serial, {}};
    for (int p = 0; p < kCopyPartCount; ++p) {
        const auto part = static_cast<CopyPart>(p);
        for (int r = 1; r <= PartRecordCount(sent, part); ++r) {
            const auto a = PartRecordBytes(sent, part, r), b = PartRecordBytes(got, part, r);
            ASSERT_TRUE(a && b);
            EXPECT_EQ(bytetext::Hex(*b), bytetext::Hex(*a)) << "part " << p << " record " << r;
        }
        RefreshAfterRead(copy, got, part, {}, kWhen);
        const ChangesPlan plan = PlanChanges(copy, sent, part, 1, emu.state.serial);
        EXPECT_TRUE(plan.send.empty() && plan.remove.empty()) << "part " << p;
    }

    // A sale changes the stock in the register: the check lets that pass, not a price.
    std::string& plu1 = emu.state.records[PluLayout::kRecord.readDigit - '0'][0];
    ASSERT_EQ(plu1.size(), static_cast<std::size_t>(PluLayout::kRecord.recordBytes));
    const std::string before = RecordBytes(sent, TableId::Plu, 1);
    plu1[PluLayout::kStock.offset] = '\x05';
    ReadPluTable(link, got);
    EXPECT_NE(RecordBytes(got, TableId::Plu, 1), before);
    EXPECT_TRUE(SameHeldFields(TableId::Plu, before, RecordBytes(got, TableId::Plu, 1)));
    plu1[PluLayout::kPrice.offset] = '\x99';
    ReadPluTable(link, got);
    EXPECT_FALSE(SameHeldFields(TableId::Plu, before, RecordBytes(got, TableId::Plu, 1)));
    InstallUi(nullptr);
}

}  // namespace
