#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "Pliki.h"
#include "Profile.h"
#include "RecordingUi.h"
#include "Tabele.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

namespace {

using testfiles::Slurp;
using testfiles::Spit;

const TableId kAll[] = {TableId::Packaging, TableId::Plu,         TableId::Cashier,
                        TableId::Key,       TableId::Discount,    TableId::Surcharge,
                        TableId::PaymentForm, TableId::Header,    TableId::Ptu};

// Every cell of every record row gets a text of its own (with Windows-1250
// letters); model-0 stock keeps its "." so it reads back unchanged.
void Fill(TableSet& set) {
    for (TableId t : kAll)
        for (int r = 1; r <= set.Rows(t); ++r)
            for (int c = 0; c < set.Columns(t); ++c)
                set.SetCell(t, c, r, std::to_string(static_cast<int>(t)) + "\xB9" + std::to_string(r) + "." +
                                         std::to_string(c));
}

void ExpectSame(const TableSet& a, const TableSet& b, const std::string& what) {
    for (TableId t : kAll) {
        ASSERT_EQ(a.Rows(t), b.Rows(t)) << what;
        ASSERT_EQ(a.Columns(t), b.Columns(t)) << what;
        for (int r = 1; r <= a.Rows(t); ++r)
            for (int c = 0; c < a.Columns(t); ++c)
                ASSERT_EQ(a.Cell(t, c, r), b.Cell(t, c, r)) << what << " table " << int(t) << " row " << r;
    }
}

class PlikiTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testfiles::MakeTempDir("pliki");
        file = (dir / "dane.pod").string();
        InstallUi(&ui);
    }
    void TearDown() override {
        InstallUi(nullptr);
        fs::remove_all(dir);
    }
    TableSet Set(int model) {
        TableSet s;
        s.ApplyModel(model, PluRule::Capacity);
        return s;
    }
    RecordingUi ui;
    fs::path dir;
    std::string file;
};

const std::string kExample =
    "[KASA]\r\nTyp_kasy=1\r\n[OPAKOWANIA]\r\nOpak1=1;Butelka;0.50;\r\nOpak2=;;;\r\n"
    "[KLAWISZE]\r\nKlawisz1=1;12;1;NIE;\r\n[DOPLATY]\r\nDoplata5=5;Serwis;10.00;\r\n"
    "[PTU]\r\nPtu1=A;22.00;AKTYWNA;\r\nPtu2=B;;NIEAKTYWNA;\r\n"
    "[TOWARY]\r\nPlu1=1;Chleb;;A;0;2.50;10;NIE;\r\nPlu2=;;;;;;;;\r\n";

}  // namespace

TEST_F(PlikiTest, SaveThenLoadReproducesEveryRowInEveryModel) {
    for (int model = 0; model < 4; ++model) {
        TableSet saved = Set(model);
        Fill(saved);
        ASSERT_TRUE(SaveDataFile(saved, file));
        TableSet loaded;  // model 1: other models ask, and "Yes" takes the file's
        ui.answers = {true};
        ASSERT_TRUE(LoadDataFile(loaded, file));
        EXPECT_EQ(loaded.Model(), model);
        ExpectSame(saved, loaded, "model " + std::to_string(model));
        EXPECT_FALSE(ui.bars[UiBar::Main].visible);
        EXPECT_EQ(ui.bars[UiBar::Main].value, 0);
        EXPECT_EQ(ui.bars[UiBar::Main].maximum, saved.Rows(TableId::Plu) + saved.Rows(TableId::Key) + 50);
        EXPECT_GE(ui.processEvents, saved.Rows(TableId::Plu));
        fs::remove(file);
    }
}

TEST_F(PlikiTest, NewFileHasTheSectionsKeysAndOrder) {
    TableSet set = Set(1);
    set.SetCell(TableId::Packaging, 0, 1, "1");
    set.SetCell(TableId::Packaging, 1, 1, "Butelka");
    set.SetCell(TableId::Packaging, 2, 1, "0.50");
    ASSERT_TRUE(SaveDataFile(set, file));
    const std::string text = Slurp(file);
    EXPECT_EQ(text.rfind("[KASA]\r\nTyp_kasy=1\r\n[OPAKOWANIA]\r\nOpak1=1;Butelka;0.50;\r\nOpak2=;;;\r\n", 0), 0u);
    size_t at = 0;
    for (const char* s : {"[KASJERZY]\r\nKasjer1=;;;\r\n", "Kasjer8=;;;\r\n[KLAWISZE]\r\nKlawisz1=;;;;\r\n",
                          "Klawisz10=;;;;\r\n[RABATY]\r\nRabat1=;;;\r\n", "Rabat4=;;;\r\n[DOPLATY]\r\nDoplata5=;;;\r\n",
                          "Doplata8=;;;\r\n[FORMY]\r\nForma1=;;\r\n", "Forma4=;;\r\n[NAGLOWEK]\r\nLinja1=1;;\r\n",
                          "Linja8=8;;\r\n[PTU]\r\nPtu1=A;;NIEAKTYWNA;\r\n", "Ptu7=G;;NIEAKTYWNA;\r\n[TOWARY]\r\nPlu1=;;;;;;;;\r\n"}) {
        size_t found = text.find(s, at);
        ASSERT_NE(found, std::string::npos) << s;
        at = found;
    }
    EXPECT_EQ(text.substr(text.size() - 20), "\r\nPlu1000=;;;;;;;;\r\n");
    EXPECT_EQ(text.find("Klawisz11"), std::string::npos);
}

TEST_F(PlikiTest, SavingIntoAnExistingFileKeepsForeignAndOlderEntries) {
    TableSet big = Set(3);
    Fill(big);
    ASSERT_TRUE(SaveDataFile(big, file));
    std::string old = Slurp(file);
    Spit(file, "; moja notatka\r\n" + old + "[INNE]\nfoo = bar\n");

    TableSet small = Set(0);
    small.SetCell(TableId::Plu, 0, 1, "1");
    ASSERT_TRUE(SaveDataFile(small, file));
    const std::string text = Slurp(file);
    EXPECT_EQ(text.rfind("; moja notatka\r\n[KASA]\r\nTyp_kasy=0\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\n[INNE]\nfoo = bar\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nPlu1=1;;;;;;;\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nPlu2636=;;;;;;;\r\n"), std::string::npos);
    Profile p;
    p.Parse(text);
    for (int n : {2637, 10000, 19200})
        EXPECT_EQ(p.Get("TOWARY", "Plu" + std::to_string(n), ""), big.BuildRecordText(TableCode::Plu, n)) << n;

    TableSet back = Set(0);
    ASSERT_TRUE(LoadDataFile(back, file));
    EXPECT_EQ(back.Rows(TableId::Plu), 2636);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(PlikiTest, ExampleFileLoadsIntoItsCells) {
    const std::vector<std::pair<const char*, std::string>> forms = {
        {"as written", kExample},
        {"LF only, spaces, other case", [] {
             std::string t;
             for (char c : kExample)
                 if (c != '\r') t += c;
             for (auto [a, b] : {std::pair{"Opak1=", "opak1 = "}, {"[PTU]", "[ptu]"}, {"Typ_kasy", "TYP_KASY"}})
                 t.replace(t.find(a), std::string(a).size(), b);
             return t;
         }()},
    };
    for (const auto& [name, text] : forms) {
        Spit(file, text);
        TableSet set = Set(1);
        set.SetCell(TableId::Plu, 0, 2, "2");  // an empty PLU entry leaves its row
        set.SetCell(TableId::Cashier, 0, 1, "1");  // a missing entry empties its row
        ASSERT_TRUE(LoadDataFile(set, file));
        EXPECT_TRUE(ui.shown.empty()) << name;
        const std::vector<std::tuple<TableId, int, std::string>> rows = {
            {TableId::Packaging, 1, "1;Butelka;0.50;"}, {TableId::Packaging, 2, ";;;"},
            {TableId::Key, 1, "1;12;1;NIE;"},          {TableId::Surcharge, 1, "5;Serwis;10.00;"},
            {TableId::Ptu, 1, "A;22.00;AKTYWNA;"},      {TableId::Ptu, 2, "B;;NIEAKTYWNA;"},
            {TableId::Ptu, 3, ";;;"},                   {TableId::Header, 1, ";;"},
            {TableId::Cashier, 1, ";;;"},               {TableId::Plu, 1, "1;Chleb;;A;0;2.50;10;NIE;"},
            {TableId::Plu, 2, "2;;;;;;;;"},
        };
        for (const auto& [t, r, expected] : rows) {
            std::string got;
            for (int c = 0; c < set.Columns(t); ++c) got += set.Cell(t, c, r) + ";";
            EXPECT_EQ(got, expected) << name << " table " << int(t) << " row " << r;
        }
    }
}

TEST_F(PlikiTest, PluEntriesFollowTheModelsRules) {
    struct Case {
        int model;
        std::string entry;  // "" = no entry
        std::string expected;
    };
    const std::string before = "5;Stary;1;B;0;1.00;3;TAK;";
    const std::vector<Case> cases = {
        {0, "5;Ser;;A;0;2.50;12;", "5;Ser;;A;0;2.50;12.000;"},
        {0, "5;Ser;;A;0;2.50;12.5;", "5;Ser;;A;0;2.50;12.5;"},
        {0, "5;Ser;;A;0;2.50;;", "5;Ser;;A;0;2.50;.000;"},
        {0, "5;Ser;;A;0;2.50;1.5;TAK;", "5;Ser;;A;0;2.50;1.5;"},
        {1, "5;Ser;;A;0;2.50;12;", "5;Ser;;A;0;2.50;12;;"},
        {3, "5;Ser;;A;0;2.50;12;NIE;", "5;Ser;;A;0;2.50;12;NIE;"},
        {3, ";Ser;;A;0;2.50;12;NIE;", before},
        {3, "", before},
    };
    for (const auto& c : cases) {
        TableSet set = Set(c.model);
        for (int col = 0; col < set.Columns(TableId::Plu); ++col)
            set.SetCell(TableId::Plu, col, 5, RecordField(before, col + 1));
        std::string text = "[KASA]\r\nTyp_kasy=" + std::to_string(c.model) + "\r\n[TOWARY]\r\n";
        if (!c.entry.empty()) text += "Plu5=" + c.entry + "\r\n";
        Spit(file, text);
        for (int tab : {0, 2}) {  // whole file, then the PLU tab alone
            if (tab) ASSERT_TRUE(LoadTableFile(set, tab, file));
            else ASSERT_TRUE(LoadDataFile(set, file));
            std::string expected = c.model == 0 && c.expected == before ? "5;Stary;1;B;0;1.00;3;" : c.expected;
            EXPECT_EQ(set.BuildRecordText(TableCode::Plu, 5), expected) << c.model << " " << c.entry << " tab " << tab;
        }
    }
}

TEST_F(PlikiTest, ModelQuestion) {
    struct Case {
        int current;
        std::string kasa;  // the KASA section, or ""
        std::deque<bool> answers;
        bool asked;
        int model, pluRows, keyRows;
    };
    const std::vector<Case> cases = {
        {1, "[KASA]\r\nTyp_kasy=1\r\n", {}, false, 1, 1000, 10},
        {1, "", {true}, true, 0, 2636, 20},
        {1, "", {false}, true, 1, 1000, 10},
        {3, "[KASA]\r\nTyp_kasy=2\r\n", {true}, true, 2, 9599, 20},
        {0, "[KASA]\r\nTyp_kasy=abc\r\n", {}, false, 0, 2636, 20},
        {0, "[KASA]\r\nTyp_kasy=7\r\n", {}, false, 0, 2636, 20},
        {0, "[KASA]\r\nTyp_kasy=-1\r\n", {}, false, 0, 2636, 20},
        {0, "[KASA]\r\nTyp_kasy=99999999999999999999\r\n", {}, false, 0, 2636, 20},
    };
    std::string body = "[KLAWISZE]\r\n";
    for (int n = 1; n <= 20; ++n) body += "Klawisz" + std::to_string(n) + "=" + std::to_string(n) + ";1;1;NIE;\r\n";
    body += "[TOWARY]\r\nPlu1000=1000;a;;A;0;1.00;1.000;NIE;\r\nPlu1001=1001;b;;A;0;1.00;1.000;NIE;\r\n";
    for (const auto& c : cases) {
        Spit(file, c.kasa + body);
        TableSet set = Set(c.current);
        ui.Clear();
        ui.answers = c.answers;
        ASSERT_TRUE(LoadDataFile(set, file));
        ASSERT_EQ(ui.shown.size(), c.asked ? 1u : 0u) << c.kasa;
        if (c.asked) {
            EXPECT_EQ(ui.shown[0].kind, "question");
            EXPECT_EQ(ui.shown[0].text,
                      "Pobierasz bazę z innej kasy niż masz podłączoną\rCzy zmienić typ kasy w programie?");
            EXPECT_EQ(ui.shown[0].caption, "Uwaga!");
            EXPECT_EQ(ui.shown[0].icon, UiIcon::Information);
        }
        EXPECT_EQ(set.Model(), c.model) << c.kasa;
        EXPECT_EQ(set.Rows(TableId::Plu), c.pluRows) << c.kasa;
        EXPECT_EQ(set.Rows(TableId::Key), c.keyRows) << c.kasa;
        EXPECT_EQ(set.Cell(TableId::Key, 0, c.keyRows), std::to_string(c.keyRows));
        EXPECT_EQ(set.Cell(TableId::Plu, 0, 1000), c.pluRows >= 1000 ? "1000" : "");
    }
}

TEST_F(PlikiTest, SingleTables) {
    struct Case {
        int tab;
        std::vector<std::string> keys;  // "Section/Key" that must be written
        int entries, saveMax, loadMax;
        std::vector<TableId> own;
    };
    const std::vector<Case> cases = {
        {1, {"OPAKOWANIA/Opak1", "OPAKOWANIA/Opak15"}, 15, 15, 15, {TableId::Packaging}},
        {2, {"KASA/Typ_kasy", "TOWARY/Plu1", "TOWARY/Plu1000"}, 1001, 1000, 1000, {TableId::Plu}},
        {3, {"KASJERZY/Kasjer1", "KASJERZY/Kasjer8"}, 8, 9, 9, {TableId::Cashier}},
        {4, {"KASA/Typ_kasy", "KLAWISZE/Klawisz1", "KLAWISZE/Klawisz10"}, 11, 11, 11, {TableId::Key}},
        {5, {"KASA/Typ_kasy", "RABATY/Rabat1", "RABATY/Rabat4", "DOPLATY/Doplata5", "DOPLATY/Doplata8"},
         9, 9, 9, {TableId::Discount, TableId::Surcharge}},
        {6, {"FORMY/Forma1", "FORMY/Forma4"}, 4, 5, 4, {TableId::PaymentForm}},
        {7, {"NAGLOWEK/Linja1", "NAGLOWEK/Linja8"}, 8, 8, 8, {TableId::Header}},
        {8, {"PTU/Ptu1", "PTU/Ptu7"}, 7, 8, 8, {TableId::Ptu}},
    };
    TableSet full = Set(1);
    Fill(full);
    const TableSet blank = Set(1);
    for (const auto& c : cases) {
        fs::remove(file);
        ASSERT_TRUE(SaveTableFile(full, c.tab, file));
        EXPECT_EQ(ui.bars[UiBar::Main].maximum, c.saveMax) << c.tab;
        const std::string text = Slurp(file);
        EXPECT_EQ(std::count(text.begin(), text.end(), '='), c.entries) << c.tab;
        Profile p;
        p.Parse(text);
        for (const auto& k : c.keys) EXPECT_TRUE(p.Has(k.substr(0, k.find('/')), k.substr(k.find('/') + 1))) << k;

        // Loaded back into an empty set, it fills that table and no other.
        TableSet set = Set(1);
        ASSERT_TRUE(LoadTableFile(set, c.tab, file));
        EXPECT_EQ(ui.bars[UiBar::Main].maximum, c.loadMax) << c.tab;
        EXPECT_FALSE(ui.bars[UiBar::Main].visible);
        EXPECT_TRUE(ui.shown.empty());
        for (TableId t : kAll) {
            bool own = std::find(c.own.begin(), c.own.end(), t) != c.own.end();
            const TableSet& expected = own ? full : blank;
            for (int r = 1; r <= expected.Rows(t); ++r)
                for (int col = 0; col < expected.Columns(t); ++col)
                    ASSERT_EQ(set.Cell(t, col, r), expected.Cell(t, col, r)) << c.tab << " " << int(t) << " " << r;
        }
    }
    TableSet set;
    EXPECT_FALSE(SaveTableFile(set, 9, file));
    EXPECT_FALSE(LoadTableFile(set, 0, file));
}

// Model 1 with PLU 1 sold in whole units; the packaging table saved alone (no
// Typ_kasy, so it reads as model 0) is loaded on the key tab. The model comes
// whole, after both questions, or not at all: the model index, the key and
// PLU sizes, the PLU columns and the next whole save always agree.
TEST_F(PlikiTest, KeyTableFromAFileOfAnotherModel) {
    const std::string kLoss = "Zmiana typu kasy usunie część danych z tabel. Czy kontynuować?";
    const std::string kModel = "Pobierasz bazę z innej kasy niż masz podłączoną\rCzy zmienić typ kasy w programie?";
    struct Case {
        const char* name;
        int fileModel;  // -1: the packaging table saved alone
        bool fractionalFlag;  // PLU 1 carries "NIE" in its eighth column
        std::deque<bool> answers;
        std::vector<std::string> questions;
        bool loaded;
        int model, keyRows, pluRows, pluColumns;
    };
    const std::vector<Case> cases = {
        {"model question: no", -1, true, {false}, {kModel}, false, 1, 10, 1000, 8},
        {"loss question: no", -1, true, {true, false}, {kModel, kLoss}, false, 1, 10, 1000, 8},
        {"both yes", -1, true, {true, true}, {kModel, kLoss}, true, 0, 20, 2636, 7},
        {"nothing to lose", 2, false, {true}, {kModel}, true, 2, 20, 9599, 8},
        {"same model", 1, true, {}, {}, true, 1, 10, 1000, 8},
    };
    for (const auto& c : cases) {
        TableSet source = Set(c.fileModel < 0 ? 3 : c.fileModel);
        Fill(source);
        fs::remove(file);
        ASSERT_TRUE(SaveTableFile(source, c.fileModel < 0 ? 1 : 4, file));

        TableSet set = Set(1);
        set.FillRow(c.fractionalFlag ? "1;Chleb;;A;0;2.50;10;NIE;" : "1;Chleb;;A;0;2.50;10;;", TableCode::Plu, 1);
        set.FillRow("3;12;1;TAK;", TableCode::Key, 3);
        const TableSet before = set;
        ui.Clear();
        ui.answers = c.answers;
        EXPECT_EQ(LoadTableFile(set, 4, file), c.loaded) << c.name;
        std::vector<std::string> questions;
        for (const auto& s : ui.shown) questions.push_back(s.text);
        EXPECT_EQ(questions, c.questions) << c.name;
        EXPECT_FALSE(ui.bars[UiBar::Main].visible) << c.name;
        EXPECT_EQ(set.Model(), c.model) << c.name;
        EXPECT_EQ(set.KeyCount(), c.keyRows) << c.name;
        EXPECT_EQ(set.Rows(TableId::Key), c.keyRows) << c.name;
        EXPECT_EQ(set.Rows(TableId::Plu), c.pluRows) << c.name;
        EXPECT_EQ(set.Columns(TableId::Plu), c.pluColumns) << c.name;
        if (!c.loaded) {
            ExpectSame(before, set, c.name);
            continue;
        }
        for (int r = 1; r <= c.keyRows; ++r)
            ASSERT_EQ(set.BuildRecordText(TableCode::Key, r),
                      c.fileModel < 0 ? ";;;;" : source.BuildRecordText(TableCode::Key, r)) << c.name << " " << r;

        // A whole save writes the model the tables have.
        const std::string whole = (dir / "calosc.pod").string();
        fs::remove(whole);
        ASSERT_TRUE(SaveDataFile(set, whole));
        Profile p;
        p.Load(whole);
        EXPECT_EQ(p.Get("KASA", "Typ_kasy", ""), std::to_string(c.model)) << c.name;
        EXPECT_EQ(p.Get("TOWARY", "Plu1", ""), c.model == 0 ? "1;Chleb;;A;0;2.50;10;" : set.BuildRecordText(TableCode::Plu, 1))
            << c.name;
        EXPECT_TRUE(p.Has("KLAWISZE", "Klawisz" + std::to_string(c.keyRows))) << c.name;
        EXPECT_FALSE(p.Has("KLAWISZE", "Klawisz" + std::to_string(c.keyRows + 1))) << c.name;
    }
}

// The PLU tab's model change takes the key part too, and asks before losing
// records; "No" there leaves every table as it was.
TEST_F(PlikiTest, PluTableFromAFileOfAnotherModel) {
    struct Case {
        const char* name;
        int fileModel;
        bool keyBeyond10;  // key 15 holds a record, which model 1 has no room for
        std::deque<bool> answers;
        int questions;
        bool loaded;
        int model, keyRows, pluRows, pluColumns;
    };
    const std::vector<Case> cases = {
        {"model 1 file, keys fit", 1, false, {true}, 1, true, 1, 10, 1000, 8},
        {"model 1 file, key 15: yes", 1, true, {true, true}, 2, true, 1, 10, 1000, 8},
        {"model 1 file, key 15: no", 1, true, {true, false}, 2, false, 3, 20, 19200, 8},
        {"model question no", 1, true, {false}, 1, true, 3, 20, 19200, 8},
    };
    for (const auto& c : cases) {
        TableSet source = Set(c.fileModel);
        Fill(source);
        fs::remove(file);
        ASSERT_TRUE(SaveTableFile(source, 2, file));

        TableSet set = Set(3);
        if (c.keyBeyond10) set.FillRow("15;1;1;NIE;", TableCode::Key, 15);
        const TableSet before = set;
        ui.Clear();
        ui.answers = c.answers;
        EXPECT_EQ(LoadTableFile(set, 2, file), c.loaded) << c.name;
        EXPECT_EQ(static_cast<int>(ui.shown.size()), c.questions) << c.name;
        EXPECT_EQ(set.Model(), c.model) << c.name;
        EXPECT_EQ(set.Rows(TableId::Key), c.keyRows) << c.name;
        EXPECT_EQ(set.KeyCount(), c.keyRows) << c.name;
        EXPECT_EQ(set.Rows(TableId::Plu), c.pluRows) << c.name;
        EXPECT_EQ(set.Columns(TableId::Plu), c.pluColumns) << c.name;
        if (!c.loaded) ExpectSame(before, set, c.name);
        else EXPECT_EQ(set.Cell(TableId::Plu, 1, 1000), source.Cell(TableId::Plu, 1, 1000)) << c.name;
    }
}

TEST_F(PlikiTest, RefusedWriteKeepsTheOldFileAndSaysSo) {
    TableSet set = Set(1);
    Fill(set);
    ASSERT_TRUE(SaveDataFile(set, file));
    const std::string old = Slurp(file);
    set.SetCell(TableId::Packaging, 1, 1, "Nowa");

    // The file system refuses: a file size limit stands in for a full disk.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool whole = SaveDataFile(set, file);
    const bool tab = SaveTableFile(set, 2, file);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(whole);
    EXPECT_FALSE(tab);
    EXPECT_EQ(Slurp(file), old);

    const std::string noDir = (dir / "brak" / "dane.pod").string();
    EXPECT_FALSE(SaveTableFile(set, 1, noDir));
    EXPECT_FALSE(SaveDataFile(set, dir.string()));
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(ui.Messages(), (std::vector<std::string>{"Unable to write to " + file, "Unable to write to " + file,
                                                       "Unable to write to " + noDir,
                                                       "Unable to write to " + dir.string()}));
    EXPECT_FALSE(ui.bars[UiBar::Main].visible);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no temporary left
}

TEST_F(PlikiTest, HostileFilesLoadWithoutHarm) {
    std::string junk;
    unsigned x = 7;
    for (int i = 0; i < 300000; ++i) {
        x = x * 1103515245u + 12345u;
        junk += static_cast<char>(x >> 16);
    }
    std::string many = "[KASA]\nTyp_kasy=3\n";
    for (int i = 0; i < 100000; ++i) many += "[S" + std::to_string(i) + "]\n";
    const std::string huge(10 << 20, 'x');
    for (const std::string& text : {junk, many, "[TOWARY]\r\nPlu1=1;" + huge + ";\r\n[KASA]\r\nTyp_kasy=1\r\n",
                                    "[OPAKOWANIA]\r\nOpak1=" + huge + "\r\n[KASA]\r\nTyp_kasy=1\r\n"}) {
        Spit(file, text);
        TableSet set = Set(1);
        ui.answers = {true};
        ASSERT_TRUE(LoadDataFile(set, file));
        ASSERT_TRUE(LoadTableFile(set, 2, file));
        ASSERT_TRUE(SaveDataFile(set, file));
    }
    Spit(file, "[TOWARY]\r\nPlu1=1;" + huge + ";\r\n[KASA]\r\nTyp_kasy=1\r\n");
    TableSet set = Set(1);
    ASSERT_TRUE(LoadDataFile(set, file));
    EXPECT_TRUE(set.Cell(TableId::Plu, 1, 1) == huge);  // values of any length are read whole
}

TEST_F(PlikiTest, UnreadableFileLeavesTheTablesAndSaysSo) {
    // There, but not a regular file: a folder, a FIFO (no writer: reading it
    // would wait for ever) and a link to an endless device.
    const std::string fifo = (dir / "kolejka.pod").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = (dir / "zera.pod").string();
    fs::create_symlink("/dev/zero", device);
    for (const std::string& path : {dir.string(), fifo, device}) {
        TableSet set = Set(1);
        Fill(set);
        const TableSet before = set;
        ui.Clear();
        EXPECT_FALSE(LoadDataFile(set, path)) << path;
        EXPECT_FALSE(LoadTableFile(set, 2, path)) << path;
        EXPECT_FALSE(LoadTableFile(set, 1, path)) << path;
        ExpectSame(before, set, "after refused loads of " + path);
        EXPECT_EQ(ui.Messages(), std::vector<std::string>(3, "Nie można odczytać pliku " + path));
        EXPECT_TRUE(ui.shown.size() == 3) << path;  // no model question either
        EXPECT_FALSE(SaveDataFile(set, path)) << path;  // and nothing written over it
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_symlink(device));
}

TEST(Pliki, WithPodExtension) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"dane", "dane.pod"},           {"dane.pod", "dane.pod"},         {"DANE.POD", "DANE.POD"},
        {"dane.bak", "dane.bak"},       {"/a.b/dane", "/a.b/dane.pod"},   {"C:\\x.y\\dane", "C:\\x.y\\dane.pod"},
        {"/tmp/dir/", "/tmp/dir/"},     {"", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(WithPodExtension(in), out) << in;
}

// A second operation started while the first lets the window handle events
// does nothing: it would mix two files into one table set.
TEST_F(PlikiTest, NoOperationInsideAnother) {
    struct Nested : RecordingUi {
        TableSet* set = nullptr;
        std::string path;
        int refused = 0;
        void ProcessEvents() override {
            if (set && !SaveDataFile(*set, path) && !LoadDataFile(*set, path)) ++refused;
        }
    } nested;
    InstallUi(&nested);
    TableSet set = Set(1);
    nested.set = &set;
    nested.path = file;
    ASSERT_TRUE(SaveTableFile(set, 1, file));
    EXPECT_EQ(nested.refused, 15);
    EXPECT_FALSE(DataFileBusy());
    nested.set = nullptr;
    EXPECT_TRUE(SaveDataFile(set, file));
}
