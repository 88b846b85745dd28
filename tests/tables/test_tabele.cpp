#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Cp1250.h"
#include "RecordingUi.h"
#include "Tabele.h"

namespace {

// A table set with the sizes of model m under the capacity rule.
TableSet SetForModel(int m) {
    TableSet s;
    s.ApplyModel(m, PluRule::Capacity);
    return s;
}

std::string W(const char* utf8) { return Utf8ToCp1250(utf8); }

TEST(Tabele, EmptyRowsGiveOnlySeparators) {
    struct Case {
        int model, code, row;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, TableCode::Packaging, 1, ";;;"},   {1, TableCode::Packaging, 15, ";;;"},
        {0, TableCode::Plu, 1, ";;;;;;;"},     {0, TableCode::Plu, 2636, ";;;;;;;"},
        {1, TableCode::Plu, 1000, ";;;;;;;;"}, {2, TableCode::Plu, 9599, ";;;;;;;;"},
        {3, TableCode::Plu, 19200, ";;;;;;;;"}, {2, TableCode::Cashier, 8, ";;;"},
        {0, TableCode::Key, 20, ";;;;"},        {1, TableCode::Key, 10, ";;;;"},
        {1, TableCode::DiscountBuild, 1, ";;;"}, {1, TableCode::DiscountBuild, 8, ";;;"},
        {1, TableCode::PaymentForm, 4, ";;"},   {1, 7, 1, ""}, {1, -1, 1, ""},
    };
    for (const auto& c : cases) {
        TableSet s = SetForModel(c.model);
        EXPECT_EQ(s.BuildRecordText(c.code, c.row), c.text)
            << "model " << c.model << " code " << c.code << " row " << c.row;
    }
}

TEST(Tabele, RecordFieldCuts) {
    const std::string longName(300, 'x');
    const std::string longText = "1;" + longName + ";2.50;";
    struct Case {
        std::string text;
        int n;
        std::string field;
    };
    const std::vector<Case> cases = {
        {"7;Woda;1.20;", 1, "7"},
        {"7;Woda;1.20;", 2, "Woda"},
        {"7;Woda;1.20;", 3, "1.20"},
        {"7;Woda;1.20;", 4, ""},
        {"7;Woda;1.20", 3, ""},  // the last part is not closed
        {"7;Woda;1.20", 2, "Woda"},
        {";;;", 1, ""},
        {";;;", 3, ""},
        {"7;Woda;1.20;", 0, ""},
        {"7;Woda;1.20;", -5, ""},
        {"no separator", 1, ""},
        {"", 1, ""},
        {"a;b;tail", 3, ""},
        {"Sok;jab;ko;3.00;", 2, "jab"},  // a ";" in a name shifts the later fields
        {"Sok;jab;ko;3.00;", 3, "ko"},
        {longText, 2, longName},  // long texts and fields are read whole
        {longText, 3, "2.50"},
        {std::string(1000, ';') + "end;", 1001, "end"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecordField(c.text, c.n), c.field) << '"' << c.text.substr(0, 40) << "\" n=" << c.n;
}

TEST(Tabele, FillRowThenBuildGivesTheSameText) {
    struct Case {
        int model, code, row;
        std::string text;  // filled in
        std::string built; // read back
    };
    const std::string longCode = "1;Chleb;" + std::string(40, '5') + ";A;0;2.50;10;NIE;";
    const std::vector<Case> cases = {
        {1, TableCode::Packaging, 15, "15;Butelka;0.50;", "15;Butelka;0.50;"},
        {1, TableCode::Plu, 1000, "1000;Chleb;590123;A;0;2.50;10;NIE;",
         "1000;Chleb;590123;A;0;2.50;10;NIE;"},
        {1, TableCode::Plu, 1, longCode, longCode},
        // Model 0 has no fractional-sale field: it is neither filled nor built.
        {0, TableCode::Plu, 2636, "2636;Chleb;;A;0;2.50;10.000;TAK;", "2636;Chleb;;A;0;2.50;10.000;"},
        {3, TableCode::Cashier, 8, "8;Ania;1234;", "8;Ania;1234;"},
        {0, TableCode::Key, 20, "20;12;1;NIE;", "20;12;1;NIE;"},
        {1, TableCode::PaymentForm, 4, "4;Karta;", "4;Karta;"},
        // Fields the text lacks leave their cells empty; extra fields are ignored.
        {1, TableCode::Packaging, 1, "1;Skrzynka", "1;;;"},
        {1, TableCode::PaymentForm, 1, "1;Bon;extra;more;", "1;Bon;"},
        {1, TableCode::Cashier, 2, "", ";;;"},
    };
    for (const auto& c : cases) {
        TableSet s = SetForModel(c.model);
        // Earlier contents must not survive the fill.
        s.FillRow("9;old;old;old;old;old;old;old;", c.code, c.row);
        s.FillRow(c.text, c.code, c.row);
        EXPECT_EQ(s.BuildRecordText(c.code, c.row), c.built) << c.text;
    }
}

TEST(Tabele, DiscountAndSurchargePairByRecordNumber) {
    TableSet s;
    for (int n = 1; n <= 8; ++n)
        s.FillRow(std::to_string(n) + ";R" + std::to_string(n) + ";" + std::to_string(n) + ".00;",
                  TableCode::DiscountFill, n);
    for (int n = 1; n <= 8; ++n) {
        const TableId t = n <= 4 ? TableId::Discount : TableId::Surcharge;
        const int row = n <= 4 ? n : n - 4;
        EXPECT_EQ(s.Cell(t, 0, row), std::to_string(n));
        EXPECT_EQ(s.Cell(t, 1, row), "R" + std::to_string(n));
        EXPECT_EQ(s.BuildRecordText(TableCode::DiscountBuild, n),
                  std::to_string(n) + ";R" + std::to_string(n) + ";" + std::to_string(n) + ".00;");
        EXPECT_EQ(TableSet::RowOf(t, std::to_string(n)), row);
    }
    // Record numbers outside 1-8 reach no row.
    TableSet before = s;
    s.FillRow("9;X;1.00;", TableCode::DiscountFill, 9);
    s.FillRow("0;X;1.00;", TableCode::DiscountFill, 0);
    for (TableId t : {TableId::Discount, TableId::Surcharge})
        for (int r = 1; r <= 4; ++r)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(s.Cell(t, c, r), before.Cell(t, c, r));
}

TEST(Tabele, RowOfRecord) {
    struct Case {
        TableId t;
        std::string number;
        int row;
    };
    const std::vector<Case> cases = {
        {TableId::Packaging, "1", 1},  {TableId::Packaging, "15", 15}, {TableId::Packaging, "16", 0},
        {TableId::Packaging, "0", 0},  {TableId::Packaging, "", 0},    {TableId::Packaging, "1a", 0},
        {TableId::Plu, "19200", 19200}, {TableId::Plu, "19201", 0},   {TableId::Plu, "99999999999", 0},
        {TableId::Key, "20", 20},      {TableId::Surcharge, "5", 1},  {TableId::Surcharge, "8", 4},
        {TableId::Surcharge, "4", 0},  {TableId::Surcharge, "9", 0},  {TableId::Ptu, "A", 1},
        {TableId::Ptu, "G", 7},        {TableId::Ptu, "H", 0},        {TableId::Ptu, "a", 0},
        {TableId::Ptu, "AB", 0},       {TableId::Header, "8", 8},     {TableId::PaymentForm, "5", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TableSet::RowOf(c.t, c.number), c.row) << static_cast<int>(c.t) << " " << c.number;
}

TEST(Tabele, CreationContents) {
    TableSet s;
    struct Shape {
        TableId t;
        int rows, columns;
    };
    for (const Shape& sh : {Shape{TableId::Packaging, 15, 3}, Shape{TableId::Cashier, 8, 3},
                            Shape{TableId::Discount, 4, 3}, Shape{TableId::Surcharge, 4, 3},
                            Shape{TableId::PaymentForm, 4, 2}, Shape{TableId::Header, 8, 2},
                            Shape{TableId::Ptu, 7, 3}, Shape{TableId::Plu, 1000, 8},
                            Shape{TableId::Key, 10, 4}}) {
        EXPECT_EQ(s.Rows(sh.t), sh.rows);
        EXPECT_EQ(s.Columns(sh.t), sh.columns);
        for (int c = 0; c < sh.columns; ++c) {
            EXPECT_EQ(s.Cell(sh.t, c, 0), Utf8ToCp1250(ColumnTitle(sh.t, c)));
            EXPECT_GT(ColumnWidth(sh.t, c), 0);
        }
    }
    for (int r = 1; r <= 8; ++r) {
        EXPECT_EQ(s.Cell(TableId::Header, 0, r), std::to_string(r));
        EXPECT_EQ(s.Cell(TableId::Header, 1, r), "");
    }
    for (int r = 1; r <= 7; ++r) {
        EXPECT_EQ(s.Cell(TableId::Ptu, 0, r), std::string(1, static_cast<char>('A' + r - 1)));
        EXPECT_EQ(s.Cell(TableId::Ptu, 1, r), "");
        EXPECT_EQ(s.Cell(TableId::Ptu, 2, r), "NIEAKTYWNA");
    }
    for (TableId t : {TableId::Packaging, TableId::Plu, TableId::Cashier, TableId::Key,
                      TableId::Discount, TableId::Surcharge, TableId::PaymentForm})
        for (int r = 1; r <= s.Rows(t); ++r) ASSERT_FALSE(s.RowHasRecord(t, r));
    // Titles are stored in Windows-1250, diacritics included.
    EXPECT_EQ(s.Cell(TableId::Plu, 7, 0), "Sprzeda\xBF u\xB3" "amkowa");
    EXPECT_EQ(s.Cell(TableId::Surcharge, 0, 0), "Numer dop\xB3" "aty");
    EXPECT_EQ(s.Cell(TableId::Header, 1, 0), "Tre\x9C\xE6");
    EXPECT_EQ(ColumnWidth(TableId::Plu, 7), 110);
    EXPECT_EQ(ColumnWidth(TableId::Surcharge, 0), 85);
    EXPECT_EQ(ColumnWidth(TableId::Header, 1), 237);
    EXPECT_EQ(ColumnWidth(TableId::Ptu, 3), 0);
    EXPECT_EQ(ColumnTitle(TableId::Key, 3), "Cała trans.");
}

TEST(Tabele, CellAccessOutsideTheTable) {
    TableSet s = SetForModel(0);
    const std::string title = s.Cell(TableId::Plu, 0, 0);
    s.SetCell(TableId::Plu, 0, 0, "x");        // the title row is not writable
    s.SetCell(TableId::Plu, 7, 1, "TAK");      // no eighth column in model 0
    s.SetCell(TableId::Plu, 0, 2637, "2637");  // past the last row
    s.SetCell(TableId::Plu, -1, 1, "x");
    s.SetCell(TableId::Key, 0, 21, "21");
    s.ClearRow(TableId::Key, 0);
    EXPECT_EQ(s.Cell(TableId::Plu, 0, 0), title);
    EXPECT_EQ(s.Cell(TableId::Plu, 7, 1), "");
    EXPECT_EQ(s.Cell(TableId::Plu, 0, 2637), "");
    EXPECT_EQ(s.Cell(TableId::Plu, 0, -1), "");
    EXPECT_EQ(s.Rows(TableId::Plu), 2636);
    EXPECT_EQ(s.Rows(TableId::Key), 20);
    s.SetCell(TableId::Key, 3, 20, "TAK");
    EXPECT_EQ(s.Cell(TableId::Key, 3, 20), "TAK");
    s.ClearRow(TableId::Key, 20);
    EXPECT_EQ(s.BuildRecordText(TableCode::Key, 20), ";;;;");
}

TEST(Tabele, ApplyModelSizes) {
    struct Step {
        int model;
        PluRule rule;
        int pluRows, keyRows, pluColumns;
    };
    struct Case {
        const char* name;
        int maxPlu;  // configured before the first step
        std::vector<Step> steps;
    };
    const auto C = PluRule::Configured;
    const auto K = PluRule::Capacity;
    const std::vector<Case> cases = {
        {"defaults", 0, {{0, C, 2636, 20, 7}}},
        {"default 1", 0, {{1, C, 1000, 10, 8}}},
        {"default 2", 0, {{2, C, 9600, 20, 8}}},
        {"default 3", 0, {{3, C, 19200, 20, 8}}},
        {"capacity", 500, {{0, K, 2636, 20, 7}, {1, K, 1000, 10, 8}, {2, K, 9599, 20, 8},
                           {3, K, 19200, 20, 8}}},
        {"configured 500", 500, {{0, C, 500, 20, 7}, {1, C, 500, 10, 8}, {2, C, 500, 20, 8},
                                 {3, C, 500, 20, 8}}},
        // A default once taken stays for the configured rule.
        {"default stays", 0, {{3, C, 19200, 20, 8}, {1, C, 19200, 10, 8}, {0, C, 19200, 20, 7}}},
        // The capacity rule replaces it, and the configured rule then keeps that.
        {"capacity then configured", 0, {{2, K, 9599, 20, 8}, {1, C, 9599, 10, 8}}},
        {"bad index changes nothing", 0, {{2, K, 9599, 20, 8}, {4, K, 9599, 20, 8},
                                          {-1, C, 9599, 20, 8}}},
    };
    for (const auto& c : cases) {
        TableSet s;
        s.SetPluCount(c.maxPlu);
        int expectModel = s.Model();
        for (const auto& st : c.steps) {
            s.ApplyModel(st.model, st.rule);
            if (st.model >= 0 && st.model <= 3) expectModel = st.model;
            EXPECT_EQ(s.Model(), expectModel) << c.name;
            EXPECT_EQ(s.Rows(TableId::Plu), st.pluRows) << c.name << " model " << st.model;
            EXPECT_EQ(s.PluCount(), st.pluRows) << c.name << " model " << st.model;
            EXPECT_EQ(s.Rows(TableId::Key), st.keyRows) << c.name << " model " << st.model;
            EXPECT_EQ(s.KeyCount(), st.keyRows) << c.name << " model " << st.model;
            EXPECT_EQ(s.Columns(TableId::Plu), st.pluColumns) << c.name << " model " << st.model;
        }
    }
}

TEST(Tabele, ApplyModelKeepsRowsAndDropsTheRest) {
    TableSet s = SetForModel(2);
    for (int r = 1; r <= 20; ++r) s.FillRow(std::to_string(r) + ";1;1;NIE;", TableCode::Key, r);
    s.FillRow("1;Chleb;;A;0;2.50;10;TAK;", TableCode::Plu, 1);
    s.FillRow("1000;Maka;;A;0;2.50;10;NIE;", TableCode::Plu, 1000);
    s.FillRow("1001;Sol;;A;0;2.50;10;NIE;", TableCode::Plu, 1001);

    // Model 1 drops key rows 11-20 and PLU rows past 1000; column 7 stays.
    s.ApplyModel(1, PluRule::Capacity);
    EXPECT_EQ(s.Rows(TableId::Key), 10);
    EXPECT_EQ(s.BuildRecordText(TableCode::Key, 10), "10;1;1;NIE;");
    EXPECT_EQ(s.BuildRecordText(TableCode::Plu, 1), "1;Chleb;;A;0;2.50;10;TAK;");
    EXPECT_EQ(s.BuildRecordText(TableCode::Plu, 1000), "1000;Maka;;A;0;2.50;10;NIE;");

    // Growing back brings empty rows, not the dropped ones.
    s.ApplyModel(2, PluRule::Capacity);
    for (int r = 11; r <= 20; ++r) EXPECT_EQ(s.BuildRecordText(TableCode::Key, r), ";;;;");
    EXPECT_EQ(s.BuildRecordText(TableCode::Plu, 1001), ";;;;;;;;");
    EXPECT_EQ(s.BuildRecordText(TableCode::Key, 1), "1;1;1;NIE;");

    // Model 0 drops column 7 and its contents; the other columns stay.
    s.ApplyModel(0, PluRule::Capacity);
    EXPECT_EQ(s.Columns(TableId::Plu), 7);
    EXPECT_EQ(s.BuildRecordText(TableCode::Plu, 1), "1;Chleb;;A;0;2.50;10;");
    EXPECT_EQ(s.Cell(TableId::Plu, 6, 0), W("Ilość magazyn."));

    // Back to model 1: the column returns empty, under its title.
    s.ApplyModel(1, PluRule::Capacity);
    EXPECT_EQ(s.Columns(TableId::Plu), 8);
    EXPECT_EQ(s.Cell(TableId::Plu, 7, 0), W("Sprzedaż ułamkowa"));
    EXPECT_EQ(s.BuildRecordText(TableCode::Plu, 1), "1;Chleb;;A;0;2.50;10;;");
    EXPECT_EQ(s.BuildRecordText(TableCode::Plu, 1000), "1000;Maka;;A;0;2.50;10;;");
}

// The PLU-table load's model change takes the whole model: a key count of
// one model beside the PLU layout of another would go into the next save.
TEST(Tabele, PartialModelParts) {
    struct Listener : TableListener {
        std::vector<std::string> told;
        void CellsChanged(TableId, int, int) override {}
        void Reshaped(TableId) override {}
        void ModelApplied(int m) override { told.push_back("model " + std::to_string(m)); }
        void PluPartApplied(int m) override { told.push_back("plu " + std::to_string(m)); }
    };
    const struct {
        int from, to;
        int pluRows, pluColumns, keyRows;
    } cases[] = {
        {3, 0, 2636, 7, 20},
        {0, 1, 1000, 8, 10},
        {1, 2, 9599, 8, 20},
        {2, 2, 9599, 8, 20},
    };
    for (const auto& c : cases) {
        TableSet s = SetForModel(c.from);
        s.FillRow("5;1;1;NIE;", TableCode::Key, 5);
        Listener l;
        s.SetListener(&l);
        s.ApplyPluPart(c.to);
        EXPECT_EQ(s.Model(), c.to) << c.from << "->" << c.to;
        EXPECT_EQ(s.PluCount(), c.pluRows) << c.from << "->" << c.to;
        EXPECT_EQ(s.Rows(TableId::Plu), c.pluRows) << c.from << "->" << c.to;
        EXPECT_EQ(s.Columns(TableId::Plu), c.pluColumns) << c.from << "->" << c.to;
        EXPECT_EQ(s.KeyCount(), c.keyRows) << c.from << "->" << c.to;
        EXPECT_EQ(s.Rows(TableId::Key), c.keyRows) << c.from << "->" << c.to;
        EXPECT_EQ(s.BuildRecordText(TableCode::Key, 5), "5;1;1;NIE;");
        EXPECT_EQ(l.told, std::vector<std::string>{"plu " + std::to_string(c.to)});
        s.SetListener(nullptr);
    }
}

TEST(Tabele, AskBeforeLosingData) {
    struct Case {
        const char* name;
        int from;
        std::vector<std::pair<int, std::string>> plu;  // row, record text
        std::vector<int> keys;                          // rows holding a key record
        int to;
        PluRule rule;
        bool loses;
    };
    const auto C = PluRule::Configured;
    const auto K = PluRule::Capacity;
    const std::vector<Case> cases = {
        {"empty tables", 3, {}, {}, 0, K, false},
        {"key 11 in model 1", 2, {}, {11}, 1, K, true},
        {"key 10 in model 1", 2, {}, {10}, 1, K, false},
        {"PLU past capacity", 3, {{2637, "2637;A;;A;0;1.00;1;NIE;"}}, {}, 0, K, true},
        {"PLU within capacity", 3, {{2636, "2636;A;;A;0;1.00;;;"}}, {}, 0, K, false},
        {"fractional flag to model 0", 1, {{5, "5;A;;A;0;1.00;1;TAK;"}}, {}, 0, K, true},
        {"fractional flag kept in model 2", 1, {{5, "5;A;;A;0;1.00;1;TAK;"}}, {}, 2, K, false},
        {"9600th PLU under capacity", 2, {{9600, "9600;A;;A;0;1.00;1;NIE;"}}, {}, 2, K, true},
        {"9600th PLU under configured", 2, {{9600, "9600;A;;A;0;1.00;1;NIE;"}}, {}, 2, C, false},
        // Cells without a record number are not a record.
        {"row without number", 3, {{3000, ";A;;A;0;1.00;1;NIE;"}}, {}, 1, K, false},
    };
    for (const auto& c : cases) {
        for (bool answer : {true, false}) {
            TableSet s;
            s.ApplyModel(c.from, PluRule::Configured);
            for (const auto& [row, text] : c.plu) s.FillRow(text, TableCode::Plu, row);
            for (int row : c.keys) s.FillRow(std::to_string(row) + ";1;1;NIE;", TableCode::Key, row);
            EXPECT_EQ(s.ApplyModelWouldLoseData(c.to, c.rule), c.loses) << c.name;

            const TableSet before = s;
            RecordingUi ui;
            ui.answers.push_back(answer);
            InstallUi(&ui);
            const bool applied = ApplyModelAsking(s, c.to, c.rule);
            InstallUi(nullptr);

            EXPECT_EQ(ui.shown.size(), c.loses ? 1u : 0u) << c.name;
            if (c.loses) {
                EXPECT_EQ(ui.shown[0].kind, "question");
                EXPECT_EQ(ui.shown[0].text,
                          "Zmiana typu kasy usunie część danych z tabel. Czy kontynuować?");
                EXPECT_EQ(ui.shown[0].caption, "Uwaga!");
                EXPECT_EQ(ui.shown[0].icon, UiIcon::Warning);
            }
            const bool expectApplied = !c.loses || answer;
            EXPECT_EQ(applied, expectApplied) << c.name;
            if (expectApplied) {
                EXPECT_EQ(s.Model(), c.to) << c.name;
                EXPECT_EQ(s.Rows(TableId::Plu), s.PluCountFor(c.to, c.rule)) << c.name;
                continue;
            }
            // "No" keeps everything.
            EXPECT_EQ(s.Model(), before.Model()) << c.name;
            EXPECT_EQ(s.PluCount(), before.PluCount()) << c.name;
            EXPECT_EQ(s.KeyCount(), before.KeyCount()) << c.name;
            for (TableId t : {TableId::Plu, TableId::Key}) {
                ASSERT_EQ(s.Rows(t), before.Rows(t)) << c.name;
                ASSERT_EQ(s.Columns(t), before.Columns(t)) << c.name;
            }
            for (const auto& [row, text] : c.plu)
                EXPECT_EQ(s.BuildRecordText(TableCode::Plu, row), before.BuildRecordText(TableCode::Plu, row));
            for (int row : c.keys) EXPECT_TRUE(s.RowHasRecord(TableId::Key, row)) << c.name;
        }
    }
}

class Recorder : public TableListener {
public:
    std::vector<std::string> events;
    void CellsChanged(TableId t, int first, int last) override {
        events.push_back("cells " + std::to_string(static_cast<int>(t)) + " " +
                         std::to_string(first) + "-" + std::to_string(last));
    }
    void Reshaped(TableId t) override { events.push_back("reshaped " + std::to_string(static_cast<int>(t))); }
    void ModelApplied(int m) override { events.push_back("model " + std::to_string(m)); }
};

TEST(Tabele, ListenerNotices) {
    const int plu = static_cast<int>(TableId::Plu);
    const int key = static_cast<int>(TableId::Key);
    struct Case {
        const char* name;
        void (*act)(TableSet&);
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {"one cell", [](TableSet& s) { s.SetCell(TableId::Plu, 1, 5, "A"); },
         {"cells " + std::to_string(plu) + " 5-5"}},
        {"same text again is no change",
         [](TableSet& s) { s.SetCell(TableId::Plu, 1, 5, ""); }, {}},
        {"whole table in a batch",
         [](TableSet& s) {
             s.BeginBatch();
             for (int r = 1; r <= s.Rows(TableId::Plu); ++r)
                 for (int c = 0; c < s.Columns(TableId::Plu); ++c) s.SetCell(TableId::Plu, c, r, "1");
             s.SetCell(TableId::Key, 0, 3, "3");
             s.EndBatch();
         },
         {"cells " + std::to_string(plu) + " 1-19200", "cells " + std::to_string(key) + " 3-3"}},
        {"nested batches and a filled row",
         [](TableSet& s) {
             TableBatch outer(s);
             s.BeginBatch();
             s.FillRow("7;a;;A;0;1.00;1;NIE;", TableCode::Plu, 7);
             s.EndBatch();
             s.FillRow("9;a;;A;0;1.00;1;NIE;", TableCode::Plu, 9);
         },
         {"cells " + std::to_string(plu) + " 7-9"}},
        {"model", [](TableSet& s) { s.ApplyModel(1, PluRule::Capacity); },
         {"reshaped " + std::to_string(key), "reshaped " + std::to_string(plu), "model 1"}},
        {"same model again",
         [](TableSet& s) { s.ApplyModel(3, PluRule::Capacity); }, {"model 3"}},
        {"resize inside a batch drops the stale range",
         [](TableSet& s) {
             TableBatch b(s);
             s.SetCell(TableId::Plu, 0, 19000, "19000");
             s.ApplyModel(0, PluRule::Capacity);
             s.SetCell(TableId::Plu, 0, 2, "2");
         },
         // Models 3 and 0 have the same key count: only the PLU table reshapes.
         {"reshaped " + std::to_string(plu), "model 0", "cells " + std::to_string(plu) + " 2-2"}},
        {"unbalanced end is harmless", [](TableSet& s) { s.EndBatch(); s.SetCell(TableId::Key, 0, 1, "1"); },
         {"cells " + std::to_string(key) + " 1-1"}},
    };
    for (const auto& c : cases) {
        TableSet s = SetForModel(3);
        Recorder rec;
        s.SetListener(&rec);
        c.act(s);
        EXPECT_EQ(rec.events, c.events) << c.name;
    }
}

}  // namespace
