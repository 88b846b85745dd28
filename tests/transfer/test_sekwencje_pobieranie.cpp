// Reading the tables back from the register: replies decoded into the right
// cells, empty records and silent registers leaving rows alone, the requests
// byte for byte, status replies, the PLU labels and cursor, the all-tables run.
#include <functional>
#include <map>

#include "test_sekwencje_wspolne.h"

using namespace seqtest;

namespace {

std::string FF(int n) { return std::string(static_cast<std::size_t>(n), '\xFF'); }
std::string Z(int n) { return std::string(static_cast<std::size_t>(n), '\0'); }

// The reply to a record read: the index, ";", two characters, the record's bytes in hex.
std::string RecordReply(long long index, const std::string& recordBytes) {
    return Reply(std::to_string(index) + ";00" + HexDigits(recordBytes));
}

// Record bytes of each table as the register holds them.
std::string PackagingBytes(const std::string& name, const std::string& price) {
    std::string r = name + FF(19 - static_cast<int>(name.size())) + Bytes(price);
    return r + Z(40 - static_cast<int>(r.size()));
}
std::string PluBytes(const std::string& name, const std::string& code, const std::string& price, int ptu,
                     const std::string& stock) {
    return name + FF(16 - static_cast<int>(name.size())) + code + Bytes(price) +
           std::string(1, static_cast<char>(ptu)) + Z(8) + Bytes(stock) + Z(6);
}

struct Cells {
    TableId table;
    int row;
    std::vector<std::string> cells;
};

struct DownloadCase {
    const char* name;
    int model;
    std::function<void(Connection&, TableSet&)> read;
    int requests;
    std::map<long long, std::string> records;  // index -> record bytes; others empty
    std::vector<Cells> before;                 // rows filled before the read
    std::vector<Cells> after;                  // rows expected afterwards
};

class DownloadTest : public SequenceTest {};

TEST_F(DownloadTest, RepliesDecodeIntoCells) {
    const TableId P = TableId::Packaging, L = TableId::Plu, C = TableId::Cashier, K = TableId::Key,
                  D = TableId::Discount, S = TableId::Surcharge, F = TableId::PaymentForm;
    const std::string code = Bytes("59 01 23 41 23 45 7F");
    const std::vector<DownloadCase> cases = {
        {"packaging: only record 3 in the register changes only row 3", 1, ReadPackagingTable, 15,
         {{2, PackagingBytes("Woda", "50 12 00 00 00")}},
         {{P, 1, {"1", "Stary", "1.00"}}, {P, 4, {"4", "Inny", "2.00"}}},
         {{P, 1, {"1", "Stary", "1.00"}},
          {P, 2, {"", "", ""}},
          {P, 3, {"3", "Woda", "12.50"}},
          {P, 4, {"4", "Inny", "2.00"}}}},
        {"packaging 12: two-digit index, large price, Mazovia name", 1, ReadPackagingTable, 15,
         {{11, PackagingBytes("\x9C\xA2\x64\xA6", "78 56 34 12 00")}},
         {},
         {{P, 12, {"12", W("Łódź"), "123456.78"}}}},
        {"a name holding ';' stays in its cell and the price in its own", 1, ReadPackagingTable, 15,
         {{0, PackagingBytes("A;B", "05 00 00 00 00")}},
         {},
         {{P, 1, {"1", "A;B", "0.05"}}}},
        {"PLU bytes 39, 31, 3A, 06 in model 1", 1, ReadPluTable, 1001,
         {{0, PluBytes("Woda", code, "20 01 00 00 00", 0x39, "12 00 00")},
          {1, PluBytes("Sok", FF(7), "00 00 00 00 00", 0x31, "00 85 99")},
          {2, PluBytes("Chleb", code, "99 99 99 99 99", 0x3A, "00 00 00")},
          {3, PluBytes("Ser", code, "01 00 00 00 00", 0x06, "00 20 01")}},
         {},
         {{L, 1, {"1", "Woda", "5901234123457", "B", "3", "1.20", "12", "NIE"}},
          {L, 2, {"2", "Sok", "", "B", "3", "0.00", "-1.500", "TAK"}},
          {L, 3, {"3", "Chleb", "5901234123457", "C", "3", "99999999.99", "0", "NIE"}},
          {L, 4, {"4", "Ser", "5901234123457", "G", "0", "0.01", "12.000", "TAK"}}}},
        {"PLU in model 0: stock always in thousandths, seven columns", 0, ReadPluTable, 1001,
         {{0, PluBytes("Woda", code, "20 01 00 00 00", 0x39, "00 20 01")}},
         {},
         {{L, 1, {"1", "Woda", "5901234123457", "B", "3", "1.20", "12.000"}}}},
        {"cashier ANNA 0012", 1, ReadCashierTable, 8,
         {{1, "ANNA" + FF(2) + Z(1) + Bytes("00 12") + Z(111)}},
         {},
         {{C, 2, {"2", "ANNA", "0012"}}}},
        {"keys: 11 is TAK 1, 05 is NIE 5, PLU 0 leaves the row", 1, ReadKeyTable, 11,
         {{0, Bytes("12 00 11")}, {1, Bytes("34 12 05")}, {2, Bytes("00 00 11")}},
         {{K, 3, {"3", "99", "9", "TAK"}}},
         {{K, 1, {"1", "12", "1", "TAK"}}, {K, 2, {"2", "1234", "5", "NIE"}}, {K, 3, {"3", "99", "9", "TAK"}}}},
        {"discount 950 is 5.00; surcharge 1100 is 10.00 in the surcharge table", 1, ReadDiscountTable, 8,
         {{1, "Maly" + FF(15) + Bytes("50 09") + Z(6)}, {4, "Noc" + FF(16) + Bytes("00 11") + Z(6)}},
         {},
         {{D, 2, {"2", "Maly", "5.00"}}, {S, 1, {"5", "Noc", "10.00"}}, {D, 1, {"", "", ""}}}},
        {"payment form GOTÓWKA", 1, ReadPaymentFormTable, 4,
         {{0, Bytes("47 4F 54 A3 57 4B 41") + FF(11) + Z(7)}},
         {},
         {{F, 1, {"1", W("GOTÓWKA")}}}},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        set.ApplyModel(c.model, PluRule::Configured);
        for (const auto& b : c.before) Row(b.table, b.row, b.cells);
        for (long long i = 0; i < c.requests; ++i) {
            auto it = c.records.find(i);
            port->answers.push_back(RecordReply(i, it != c.records.end() ? it->second : FF(40)));
        }
        c.read(link, set);
        EXPECT_EQ(static_cast<int>(port->writes.size()), c.requests);
        EXPECT_TRUE(ui.Messages().empty());
        for (const auto& a : c.after) {
            SCOPED_TRACE("row " + std::to_string(a.row));
            EXPECT_EQ(Cells(a.table, a.row), a.cells);
        }
        TearDown();
    }
}

TEST_F(DownloadTest, RequestsAndProgress) {
    struct Case {
        const char* name;
        std::function<void(Connection&, TableSet&)> read;
        int requests;
        int barMaximum;
        std::string first;  // the first request
        std::string last;   // the last request
    };
    const std::vector<Case> cases = {
        {"packaging", ReadPackagingTable, 15, 15, Frame("0;0;0H") + Z(2), Frame("0;14;0H") + Z(2)},
        {"keys, one index past the last row", ReadKeyTable, 11, 10, Frame("0;0;1H") + Z(2), Frame("0;10;1H") + Z(2)},
        {"cashiers", ReadCashierTable, 8, 7, Frame("0;0;2H") + Z(2), Frame("0;7;2H") + Z(2)},
        {"payment forms", ReadPaymentFormTable, 4, 4, Frame("0;0;4H") + Z(2), Frame("0;3;4H") + Z(2)},
        {"discounts", ReadDiscountTable, 8, 8, Frame("0;0;5H") + Z(2), Frame("0;7;5H") + Z(2)},
        {"PLU count 1000 asks 1001", ReadPluTable, 1001, 1001, Frame("0;0;7H") + Z(2), Frame("0;1000;7H") + Z(2)},
        {"header", ReadHeader, 1, 8, Frame("0K") + Z(1), Frame("0K") + Z(1)},
        {"PTU rates", ReadPtuRates, 1, 8, Frame("0O") + Z(1), Frame("0O") + Z(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        // Empty records; an empty header (all fill) and rates not in use.
        for (int i = 0; i < c.requests; ++i)
            port->answers.push_back(c.requests > 1 ? RecordReply(i, FF(40)) : Reply(std::string(28, 'F')));
        c.read(link, set);
        ASSERT_EQ(static_cast<int>(port->writes.size()), c.requests);
        EXPECT_EQ(Hex(port->writes.front()), Hex(c.first));
        EXPECT_EQ(Hex(port->writes.back()), Hex(c.last));
        const auto& bar = ui.bars[UiBar::Main];
        EXPECT_EQ(bar.maximum, c.barMaximum);
        EXPECT_FALSE(bar.visible);
        TearDown();
    }
}

TEST_F(DownloadTest, FiveDigitIndicesOfTheLargestModel) {
    set.ApplyModel(3, PluRule::Capacity);
    for (int i = 0; i <= 19200; ++i) port->answers.push_back(RecordReply(i, FF(40)));
    ReadPluTable(link, set);
    ASSERT_EQ(port->writes.size(), 19201u);
    const std::vector<std::pair<int, std::size_t>> widths = {{9, 14}, {10, 15}, {99, 15}, {100, 16},
                                                             {999, 16}, {1000, 17}, {9999, 17}, {10000, 18},
                                                             {19200, 18}};
    for (const auto& [index, length] : widths) {
        SCOPED_TRACE(index);
        EXPECT_EQ(Hex(port->writes[static_cast<std::size_t>(index)]),
                  Hex(Frame("0;" + std::to_string(index) + ";7H") + Z(2)));
        EXPECT_EQ(port->writes[static_cast<std::size_t>(index)].size(), length);
    }
    EXPECT_EQ(ui.bars[UiBar::Main].maximum, 19201);
    EXPECT_EQ(ui.bars[UiBar::Main].steps, 19201);
}

TEST_F(DownloadTest, SilentRegisterLeavesRowsAndAsksOnceAfterThreeRecords) {
    Row(TableId::Packaging, 1, {"1", "Stary", "1.00"});
    Row(TableId::Key, 2, {"2", "5", "1", "NIE"});
    set.SetCell(TableId::Header, 1, 1, "Linia");
    set.SetCell(TableId::Ptu, 1, 1, "23.00");
    set.SetCell(TableId::Ptu, 2, 1, "AKTYWNA");
    // "Tak" both times: each table's run goes on to its end without more boxes.
    ui.answers = {true, true};
    ReadPackagingTable(link, set);
    EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 3);
    EXPECT_EQ(ui.Count("Kasa nie odpowiada. Kontynuować?"), 1);
    EXPECT_EQ(port->writes.size(), 15U);
    ReadKeyTable(link, set);
    ReadHeader(link, set);
    ReadPtuRates(link, set);
    EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 3 + 3 + 1 + 1);
    EXPECT_EQ(ui.Count("Kasa nie odpowiada. Kontynuować?"), 2);
    EXPECT_EQ(Cells(TableId::Packaging, 1), (std::vector<std::string>{"1", "Stary", "1.00"}));
    EXPECT_EQ(Cells(TableId::Key, 2), (std::vector<std::string>{"2", "5", "1", "NIE"}));
    EXPECT_EQ(Cells(TableId::Header, 1), (std::vector<std::string>{"1", "Linia"}));
    EXPECT_EQ(Cells(TableId::Ptu, 1), (std::vector<std::string>{"A", "23.00", "AKTYWNA"}));
    EXPECT_EQ(Cells(TableId::Ptu, 2), (std::vector<std::string>{"B", "", "NIEAKTYWNA"}));
}

TEST_F(DownloadTest, StatusRepliesInModeTwo) {
    link.Settings().errorMode = 2;
    // Each record reply is followed by its status reply; record 2 is refused
    // with status 23 after its data came, record 3 is empty.
    const std::vector<std::string> names = {"Jeden", "Dwa", ""};
    for (int i = 0; i < 4; ++i) {
        const std::string name = i < 3 ? names[static_cast<std::size_t>(i)] : "Cztery";
        const std::string bytes = name.empty() ? FF(40) : PackagingBytes(name, "00 01 00 00 00");
        port->answers.push_back(RecordReply(i, bytes) + Status(i == 1 ? 23 : 0));
    }
    ReadPaymentFormTable(link, set);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Błąd danych"});
    EXPECT_EQ(set.Cell(TableId::PaymentForm, 1, 1), "Jeden");
    EXPECT_EQ(set.Cell(TableId::PaymentForm, 1, 2), "Dwa");
    EXPECT_EQ(set.Cell(TableId::PaymentForm, 0, 3), "");
    EXPECT_EQ(set.Cell(TableId::PaymentForm, 1, 4), "Cztery");
    EXPECT_EQ(port->Pending(), "") << "every status reply was read";
}

// A reply that is not the one asked for (another record's, a status reply
// where data is due, one cut short by noise) is never decoded: the request is
// sent again, at most twice more, and a record still without its own reply is
// counted as missing and named in the summary; its row keeps what it held.
TEST_F(DownloadTest, RepliesThatDoNotFitAreAskedAgainThenCountedMissing) {
    const std::string own = RecordReply(0, PackagingBytes("Woda", "05 00 00 00 00"));
    const std::string other = RecordReply(1, PackagingBytes("Obcy", "07 00 00 00 00"));
    struct Case {
        const char* name;
        std::vector<std::string> answers;  // to the requests for record 1, in order
        std::vector<std::string> row1;
        std::size_t requests;  // for record 1
        int missing;           // "Brak odpowiedzi z kasy"
    };
    const std::vector<Case> cases = {
        {"another record's reply, then its own", {other, own}, {"1", "Woda", "0.05"}, 2, 0},
        {"a status reply where data is due", {Status(0), own}, {"1", "Woda", "0.05"}, 2, 0},
        {"stray bytes before the reply", {"\x13\x11#" + own}, {"1", "Woda", "0.05"}, 1, 0},
        {"cut short after the index", {ESC + "P000;" + BS, ESC + "P000;x" + BS, own}, {"1", "Woda", "0.05"}, 3, 0},
        {"three replies for another record", {other, other, other}, {"1", "Stary", "1.00"}, 3, 1},
        {"a zero byte after the index, three times",
         std::vector<std::string>(3, ESC + "P000;" + std::string(1, '\0') + "xx" + ESC + BS), {"1", "Stary", "1.00"}, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Row(TableId::Packaging, 1, {"1", "Stary", "1.00"});
        port->answers.assign(c.answers.begin(), c.answers.end());
        for (int i = 1; i < 15; ++i) port->answers.push_back(RecordReply(i, FF(40)));
        ReadPackagingTable(link, set);
        EXPECT_EQ(Cells(TableId::Packaging, 1), c.row1);
        EXPECT_EQ(Cells(TableId::Packaging, 2), (std::vector<std::string>{"", "", ""})) << "never another's record";
        EXPECT_EQ(port->writes.size(), c.requests + 14);
        for (std::size_t k = 0; k < c.requests; ++k) EXPECT_EQ(Hex(port->writes[k]), Hex(Frame("0;0;0H") + Z(2)));
        EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), c.missing);
        EXPECT_EQ(ui.Count("Kasa nie odpowiedziała dla 1 rekordu (nr 1). Te wiersze pozostały bez zmian."), c.missing);
        EXPECT_EQ(port->Pending(), "");
        TearDown();
    }
}

TEST_F(DownloadTest, PluLabelsAndCursor) {
    set.SetPluCount(5);
    set.ApplyModel(1, PluRule::Configured);
    ASSERT_EQ(set.Rows(TableId::Plu), 5);
    const std::string record = PluBytes("Woda", FF(7), "00 01 00 00 00", 0x00, "00 00 00");
    port->answers.push_back(RecordReply(0, record));
    port->answers.push_back(RecordReply(1, FF(40)));
    port->answers.push_back(RecordReply(2, record));
    port->answers.push_back(RecordReply(3, FF(40)));
    port->answers.push_back(RecordReply(4, record));  // the last row: no row after it for the cursor
    port->answers.push_back(RecordReply(5, record));  // one past the PLU count: no row, dropped
    ReadPluTable(link, set);
    EXPECT_EQ(ui.pluCursor, (std::vector<int>{2, 4}));
    EXPECT_EQ(ui.labels[UiLabel::PluTab], "Odczytano: 6 PLU");
    EXPECT_EQ(ui.labels[UiLabel::ServicePlu], "Odczytalem PLU nr : 6");
    EXPECT_FALSE(ui.labelVisible[UiLabel::PluTab]);
    EXPECT_FALSE(ui.labelVisible[UiLabel::ServicePlu]);
    EXPECT_EQ(ui.bars[UiBar::Main].maximum, 6);
    EXPECT_EQ(set.Cell(TableId::Plu, 1, 5), "Woda");

    // A time-out: the index is no number, so labels and cursor stay.
    SetUp();
    set.SetPluCount(5);
    set.ApplyModel(1, PluRule::Configured);
    port->answers.push_back(RecordReply(0, record));
    ReadPluTable(link, set);
    // Records 2 to 4 unanswered, then "Nie" to the question: the run stops.
    EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 3);
    EXPECT_EQ(port->writes.size(), 4U);
    EXPECT_EQ(ui.labels[UiLabel::PluTab], "Odczytano: 1 PLU");
    EXPECT_EQ(ui.pluCursor, std::vector<int>{2});
}

TEST_F(DownloadTest, HeaderLines) {
    struct Case {
        const char* name;
        std::string text;  // header bytes as the register holds them (Mazovia)
        std::vector<std::string> rows;
    };
    std::vector<std::string> nine;
    std::string nineText;
    for (int k = 1; k <= 9; ++k) {
        nineText += "L" + std::to_string(k) + "\r";
        if (k <= 8) nine.push_back("L" + std::to_string(k));
    }
    const std::vector<Case> cases = {
        {"ABC, DEF, fill: rows 3 to 8 unchanged", "ABC\rDEF\r" + FF(20),
         {"ABC", "DEF", "old", "old", "old", "old", "old", "old"}},
        {"an empty line and Mazovia letters", "\r\x9C\xA2\x64\xA6\r" + FF(3),
         {"", W("Łódź"), "old", "old", "old", "old", "old", "old"}},
        {"a ninth line has no row", nineText + FF(2), nine},
        {"text after the last CR is ignored", "ABC\rDEF", {"ABC", "old", "old", "old", "old", "old", "old", "old"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        for (int r = 1; r <= 8; ++r) set.SetCell(TableId::Header, 1, r, "old");
        port->answers.push_back(Reply(HexDigits(c.text)));
        ReadHeader(link, set);
        std::vector<std::string> rows;
        for (int r = 1; r <= 8; ++r) rows.push_back(set.Cell(TableId::Header, 1, r));
        EXPECT_EQ(rows, c.rows);
        TearDown();
    }
}

TEST_F(DownloadTest, PtuRates) {
    // A 23.00, B exempt, C 22.50, D 08.00, E inactive, F 12.34, G 0.00; the
    // first reply, garbled by noise, is asked again and never applied.
    port->answers.push_back(Reply("0023FEFF502200" "08FFFF0G1200" "00"));
    port->answers.push_back(Reply("0023FEFF502200" "08FFFF3412" "0000"));
    for (int r = 1; r <= 7; ++r) {
        set.SetCell(TableId::Ptu, 1, r, "9.99");
        set.SetCell(TableId::Ptu, 2, r, "AKTYWNA");
    }
    ReadPtuRates(link, set);
    const std::vector<std::vector<std::string>> expected = {
        {"A", "23.00", "AKTYWNA"}, {"B", "9.99", "ZWOLNIONA"},  {"C", "22.50", "AKTYWNA"},
        {"D", "08.00", "AKTYWNA"}, {"E", "9.99", "NIEAKTYWNA"}, {"F", "12.34", "AKTYWNA"},
        {"G", "00.00", "AKTYWNA"},
    };
    for (int r = 1; r <= 7; ++r) EXPECT_EQ(Cells(TableId::Ptu, r), expected[static_cast<std::size_t>(r - 1)]) << r;
}

TEST_F(DownloadTest, AllTablesReadsEightWithLabels) {
    set.SetPluCount(2);
    set.ApplyModel(1, PluRule::Configured);
    int requests = 15 + 3 + 8 + 11 + 8 + 4;
    for (int k : {15, 3, 8, 11, 8, 4})
        for (int i = 0; i < k; ++i) port->answers.push_back(RecordReply(i, FF(40)));
    port->answers.push_back(Reply(HexDigits("Sklep\r")));
    port->answers.push_back(Reply("0023FFFFFFFFFFFFFFFFFFFFFFFF"));
    ReadAllTables(link, set);
    EXPECT_EQ(static_cast<int>(port->writes.size()), requests + 2);
    EXPECT_EQ(set.Cell(TableId::Header, 1, 1), "Sklep");
    EXPECT_EQ(set.Cell(TableId::Ptu, 1, 1), "23.00");
    EXPECT_EQ(ui.labelHistory, (std::vector<std::string>{
                                   "Całkowity postęp:\tOdczytuje bazę opakowań",
                                   "Całkowity postęp:\tOdczytuje bazę PLU",
                                   "Całkowity postęp:\tOdczytuje bazę kasjerów",
                                   "Całkowity postęp:\tOdczytuje bazę klawiszy",
                                   "Całkowity postęp:\tOdczytuje bazę rabatów/dopłat",
                                   "Całkowity postęp:\tOdczytuje bazę form płatności",
                                   "Całkowity postęp:\tOdczytuje nagłówek",
                                   "Całkowity postęp:\tOdczytuje stawki PTU",
                                   "",
                               }));
    EXPECT_EQ(ui.bars[UiBar::Overall].maximum, 7);
    EXPECT_EQ(ui.bars[UiBar::Overall].value, 7);
    EXPECT_FALSE(ui.bars[UiBar::Overall].visible);
    EXPECT_TRUE(ui.Messages().empty());
}

}  // namespace
