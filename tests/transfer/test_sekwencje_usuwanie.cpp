// Deleting records and whole tables in the register: the commands byte for
// byte, the rows emptied (and only those), refusals, the PLU existence test.
#include <algorithm>

#include "test_sekwencje_wspolne.h"

using namespace seqtest;

namespace {

std::string FF(int n) { return std::string(static_cast<std::size_t>(n), '\xFF'); }
std::string Z(int n) { return std::string(static_cast<std::size_t>(n), '\0'); }

class DeleteTest : public SequenceTest {
protected:
    // Fills every record row of the tables that can be deleted.
    void FillAll() {
        for (TableId t : {TableId::Packaging, TableId::Plu, TableId::Cashier, TableId::Key, TableId::Discount,
                          TableId::Surcharge, TableId::PaymentForm})
            for (int r = 1; r <= set.Rows(t); ++r)
                for (int c = 0; c < set.Columns(t); ++c) set.SetCell(t, c, r, c == 0 ? std::to_string(r) : "x");
    }
    // Rows of table t that hold a record.
    std::vector<int> Filled(TableId t) const {
        std::vector<int> rows;
        for (int r = 1; r <= set.Rows(t); ++r)
            if (set.RowHasRecord(t, r)) rows.push_back(r);
        return rows;
    }
    static std::vector<int> Range(int first, int last, std::vector<int> without = {}) {
        std::vector<int> rows;
        for (int r = first; r <= last; ++r)
            if (std::find(without.begin(), without.end(), r) == without.end()) rows.push_back(r);
        return rows;
    }
};

TEST_F(DeleteTest, SingleRecords) {
    struct Case {
        const char* name;
        TableId table;
        std::string number;
        bool done;
        std::string frame;  // empty: nothing sent
        std::string message;
        TableId emptied;
        int row;  // 0: no row emptied
    };
    const std::vector<Case> cases = {
        {"packaging 1", TableId::Packaging, "1", true, "1B 50 30 3B 30 51 39 35 1B 5C", "", TableId::Packaging, 1},
        {"surcharge 5 is row 1 of the surcharge table", TableId::Surcharge, "5", true,
         "1B 50 30 3B 34 55 39 35 1B 5C", "", TableId::Surcharge, 1},
        {"PLU 12", TableId::Plu, "12", true, "1B 50 30 3B 31 31 56 41 32 1B 5C", "", TableId::Plu, 12},
        {"cashier 2", TableId::Cashier, "2", true, Hex(Frame("0;1S")), "", TableId::Cashier, 2},
        {"discount 3", TableId::Discount, "3", true, Hex(Frame("0;2U")), "", TableId::Discount, 3},
        {"key 4", TableId::Key, "4", true, Hex(Frame("0;3R")), "", TableId::Key, 4},
        {"payment form 2", TableId::PaymentForm, "2", true, Hex(Frame("0;1T")), "", TableId::PaymentForm, 2},
        {"packaging 20 is sent, no row emptied", TableId::Packaging, "20", true, Hex(Frame("0;19Q")), "",
         TableId::Packaging, 0},
        {"cashier 1 is refused", TableId::Cashier, "1", false, "", "Kasjer z nr 1 nie może być usunięty z kasy",
         TableId::Cashier, 0},
        {"an empty number is refused", TableId::Packaging, "", false, "", "Musisz podac numer rekordu!",
         TableId::Packaging, 0},
        {"0 would name the title row: refused", TableId::Key, "0", false, "", "Zły numer klawisza", TableId::Key, 0},
        {"0 in the surcharge field", TableId::Surcharge, "00", false, "",
         "Zły numer dopłaty\rDopłaty muszą mieć numery 5-8", TableId::Surcharge, 0},
        {"0 in the payment form field", TableId::PaymentForm, "0", false, "", "Zły numer formy płatności",
         TableId::PaymentForm, 0},
        {"a number that is not one: refused", TableId::Plu, "1a", false, "", "Zły numer PLU", TableId::Plu, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        FillAll();
        const std::vector<int> before = Filled(c.emptied);
        EXPECT_EQ(DeleteRecord(link, set, c.table, c.number), c.done);
        EXPECT_EQ(Writes(), c.frame.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.frame});
        EXPECT_EQ(ui.Messages(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
        std::vector<int> expected = before;
        if (c.row) expected.erase(std::find(expected.begin(), expected.end(), c.row));
        EXPECT_EQ(Filled(c.emptied), expected);
        if (c.row) {
            EXPECT_EQ(set.Cell(c.emptied, 1, c.row), "");
        }
        EXPECT_NE(set.Cell(c.emptied, 0, 0), "") << "the title row stays";
        TearDown();
    }
}

TEST_F(DeleteTest, RowEmptiedWhateverTheRegisterSays) {
    struct Case {
        const char* name;
        std::string answer;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"status 0", Status(0), {}},
        {"status error", Status(78), {"Towar nie istnieje w kasie"}},
        {"no reply", "", {"Brak odpowiedzi z kasy"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        link.Settings().errorMode = 2;
        FillAll();
        if (!c.answer.empty()) port->answers.push_back(c.answer);
        EXPECT_TRUE(DeleteRecord(link, set, TableId::Plu, "7"));
        EXPECT_EQ(ui.Messages(), c.messages);
        EXPECT_FALSE(set.RowHasRecord(TableId::Plu, 7));
        EXPECT_EQ(port->drains, 1);
        TearDown();
    }
}

TEST_F(DeleteTest, WholeTables) {
    struct Case {
        const char* name;
        TableId table;
        std::vector<std::string> payloads;
        int barMaximum;
        std::vector<int> left;  // rows of the checked table still filled
        TableId checked;
    };
    auto each = [](int first, int last, char letter) {
        std::vector<std::string> p;
        for (int r = first; r <= last; ++r) p.push_back("0;" + std::to_string(r - 1) + letter);
        return p;
    };
    const std::vector<Case> cases = {
        {"packaging", TableId::Packaging, each(1, 15, 'Q'), 15, {}, TableId::Packaging},
        {"cashiers 2 to 8; cashier 1 stays", TableId::Cashier, each(2, 8, 'S'), 6, {1}, TableId::Cashier},
        {"keys of model 1", TableId::Key, each(1, 10, 'R'), 10, {}, TableId::Key},
        {"discounts and surcharges from the discount button", TableId::Discount, each(1, 8, 'U'), 7, {},
         TableId::Surcharge},
        {"the same from the surcharge table", TableId::Surcharge, each(1, 8, 'U'), 7, {}, TableId::Discount},
        {"payment forms", TableId::PaymentForm, each(1, 4, 'T'), 3, {}, TableId::PaymentForm},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        FillAll();
        DeleteTable(link, set, c.table);
        std::vector<std::string> expected;
        for (const auto& p : c.payloads) expected.push_back(Hex(Frame(p)));
        EXPECT_EQ(Writes(), expected);
        EXPECT_EQ(Filled(c.checked), c.left);
        EXPECT_EQ(Filled(c.table), c.left);
        const auto& bar = ui.bars[UiBar::Main];
        EXPECT_EQ(bar.maximum, c.barMaximum);
        EXPECT_EQ(bar.steps, static_cast<int>(c.payloads.size()));
        EXPECT_FALSE(bar.visible);
        EXPECT_EQ(Filled(TableId::Plu).size(), 1000u) << "other tables untouched";
        TearDown();
    }
}

TEST_F(DeleteTest, PluTableDeletesOnlyWhatTheRegisterHolds) {
    set.SetPluCount(5);
    set.ApplyModel(1, PluRule::Configured);
    FillAll();
    auto reply = [](int index, const std::string& name) {
        return Reply(std::to_string(index) + ";00" + HexDigits(name + FF(16 - static_cast<int>(name.size())) + Z(30)));
    };
    // Writes: read 0, delete 0, read 1, read 2, delete 2, read 3, read 4.
    for (const auto& a : {reply(0, "Woda"), std::string(), reply(1, ""), reply(2, "Sok"), std::string(), reply(3, ""),
                          reply(4, "")})
        port->answers.push_back(a);
    DeleteTable(link, set, TableId::Plu);
    std::vector<std::string> expected;
    for (const char* p : {"0;0;7H", "", "0;1;7H", "0;2;7H", "", "0;3;7H", "0;4;7H"}) expected.push_back(p);
    expected[1] = Hex(Frame("0;0V"));
    expected[4] = Hex(Frame("0;2V"));
    for (int k : {0, 2, 3, 5, 6}) expected[static_cast<std::size_t>(k)] = Hex(Frame(expected[static_cast<std::size_t>(k)]) + Z(2));
    EXPECT_EQ(Writes(), expected);
    EXPECT_TRUE(Filled(TableId::Plu).empty());
    EXPECT_EQ(ui.bars[UiBar::Main].maximum, 5);
    EXPECT_EQ(ui.bars[UiBar::Main].steps, 5);

    // A silent register holds nothing: no deletion is sent, the rows are emptied all the same.
    SetUp();
    FillAll();
    EXPECT_FALSE(PluExists(link, 3));
    EXPECT_EQ(Writes(), std::vector<std::string>{Hex(Frame("0;2;7H") + Z(2))});
}

}  // namespace
