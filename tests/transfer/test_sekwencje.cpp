// Sending the tables to the register: every frame byte for byte with its write
// length, the status replies of modes 0 and 2, the progress display, the
// fiscal-mode test and the all-tables run.
#include <functional>

#include "test_sekwencje_wspolne.h"

using namespace seqtest;

namespace {

std::string FF(int n) { return std::string(static_cast<std::size_t>(n), '\xFF'); }
std::string Z(int n) { return std::string(static_cast<std::size_t>(n), '\0'); }

struct UploadCase {
    const char* name;
    int model;
    std::function<void(TableSet&)> fill;
    std::function<void(Connection&, const TableSet&)> send;
    std::vector<std::string> frames;  // every write, in order
};

class UploadTest : public SequenceTest {};

TEST_F(UploadTest, FramesByteForByte) {
    const TableId P = TableId::Packaging, L = TableId::Plu, C = TableId::Cashier, K = TableId::Key,
                  D = TableId::Discount, S = TableId::Surcharge, F = TableId::PaymentForm, H = TableId::Header,
                  T = TableId::Ptu;
    auto row = [](TableSet& s, TableId t, int r, std::vector<std::string> cells) {
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) s.SetCell(t, c, r, cells[c]);
    };
    const std::string plu1 = "0;0E" + std::string("Woda") + FF(12);
    const std::string barcode = Bytes("59 01 23 41 23 45 7F");
    const std::string price120 = Bytes("20 01 00 00 00");
    auto pluFrame = [&](const std::string& index, const std::string& code, const std::string& ptu,
                        const std::string& stock) {
        return Frame("0;" + index + "E" + "Woda" + FF(12) + code + price120 + ptu + Z(8) + stock + Z(6));
    };

    const std::vector<UploadCase> cases = {
        {"key row 1, PLU 12, quantity 1, NIE", 1,
         [&](TableSet& s) { row(s, K, 1, {"1", "12", "1", "NIE"}); }, SendKeyTable,
         {Bytes("1B 50 30 3B 30 41 12 00 01 39 36 1B 5C")}},
        {"key row 1 with TAK", 1, [&](TableSet& s) { row(s, K, 1, {"1", "12", "1", "TAK"}); }, SendKeyTable,
         {Bytes("1B 50 30 3B 30 41 12 00 11 38 36 1B 5C")}},
        {"key row 11: two-digit index, quantity held at 15, first four PLU characters", 2,
         [&](TableSet& s) { row(s, K, 11, {"11", "123456", "20", "NIE"}); }, SendKeyTable,
         {Frame("0;10A" + Bytes("34 12 0F"))}},
        {"key index from its row, not its number cell", 1,
         [&](TableSet& s) { row(s, K, 3, {"9", "7", "2", "NIE"}); }, SendKeyTable,
         {Frame("0;2A" + Bytes("07 00 02"))}},
        {"payment form GOTÓWKA", 1, [&](TableSet& s) { row(s, F, 1, {"1", W("GOTÓWKA")}); },
         SendPaymentFormTable,
         {Bytes("1B 50 30 3B 30 43 47 4F 54 A3 57 4B 41 FF FF FF FF FF FF FF FF FF FF FF "
                "00 00 00 00 00 00 00 44 41 1B 5C 00")}},
        {"packaging: only record 3 goes, index 2, 55 + d bytes", 1,
         [&](TableSet& s) { row(s, P, 3, {"3", "Woda", "1.20"}); }, SendPackagingTable,
         {Frame("0;2@Woda" + FF(15) + price120 + Z(16)) + Z(6)}},
        {"packaging prices as decimals: 12.5 and 12 are 12.50 and 12.00", 1,
         [&](TableSet& s) {
             row(s, P, 1, {"1", "A", "12.5"});
             row(s, P, 2, {"2", "B", "12"});
         },
         SendPackagingTable,
         {Frame("0;0@A" + FF(18) + Bytes("50 12 00 00 00") + Z(16)) + Z(6),
          Frame("0;1@B" + FF(18) + Bytes("00 12 00 00 00") + Z(16)) + Z(6)}},
        {"packaging 12: two-digit index, a price too large is held at the field's largest", 1,
         [&](TableSet& s) { row(s, P, 12, {"12", "C", "123456789012.00"}); }, SendPackagingTable,
         {Frame("0;11@C" + FF(18) + Bytes("99 99 99 99 99") + Z(16)) + Z(6)}},
        {"PLU model 1: B, packaging 3, NIE, stock 12", 1,
         [&](TableSet& s) { row(s, L, 1, {"1", "Woda", "5901234123457", "B", "3", "1.20", "12", "NIE"}); },
         SendPluTable, {pluFrame("0", barcode, "\x39", Bytes("12 00 00"))}},
        {"PLU model 1: TAK, stock 12.000 in thousandths", 1,
         [&](TableSet& s) { row(s, L, 1, {"1", "Woda", "5901234123457", "B", "3", "1.20", "12.000", "TAK"}); },
         SendPluTable, {pluFrame("0", barcode, "\x31", Bytes("00 20 01"))}},
        {"PLU model 0: always sold in fractions", 0,
         [&](TableSet& s) { row(s, L, 1, {"1", "Woda", "5901234123457", "B", "3", "1.20", "12.000"}); },
         SendPluTable, {pluFrame("0", barcode, "\x31", Bytes("00 20 01"))}},
        {"PLU stock -1.500 sold in fractions, G, packaging text in parentheses", 1,
         [&](TableSet& s) { row(s, L, 1, {"1", "Woda", "5901234123457", "G", "(brak)", "1.20", "-1.500", "TAK"}); },
         SendPluTable, {pluFrame("0", barcode, "\x06", Bytes("00 85 99"))}},
        {"PLU stock 12.5 in fractions is 12.500, not 0.125", 1,
         [&](TableSet& s) { row(s, L, 1, {"1", "Woda", "5901234123457", "A", "0", "1.20", "12.5", "TAK"}); },
         SendPluTable, {pluFrame("0", barcode, std::string(1, '\0'), Bytes("00 25 01"))}},
        {"PLU stock in whole units sends the whole number before the point, not a rounded one", 1,
         [&](TableSet& s) {
             row(s, L, 1, {"1", "Woda", "5901234123457", "A", "0", "1.20", "12.5", "NIE"});
             row(s, L, 2, {"2", "Woda", "5901234123457", "A", "0", "1.20", "-3.9", "NIE"});
         },
         SendPluTable,
         {pluFrame("0", barcode, "\x08", Bytes("12 00 00")),
          Frame("0;1E" + std::string("Woda") + FF(12) + barcode + price120 + "\x08" + Z(8) + Bytes("97 99 99") +
                Z(6))}},
        {"PLU stock beyond six digits is held, keeping its sign", 1,
         [&](TableSet& s) {
             row(s, L, 1, {"1", "Woda", "5901234123457", "A", "0", "1.20", "9000000", "NIE"});
             row(s, L, 2, {"2", "Woda", "5901234123457", "A", "0", "1.20", "-9000000", "NIE"});
         },
         SendPluTable,
         {pluFrame("0", barcode, "\x08", Bytes("99 99 59")),
          Frame("0;1E" + std::string("Woda") + FF(12) + barcode + price120 + "\x08" + Z(8) + Bytes("00 00 60") +
                Z(6))}},
        {"PLU bar codes: empty, zero, not a number, 14 digits", 1,
         [&](TableSet& s) {
             row(s, L, 1, {"1", "Woda", "", "A", "0", "1.20", "1", "NIE"});
             row(s, L, 2, {"2", "Woda", "0000", "A", "0", "1.20", "1", "NIE"});
             row(s, L, 3, {"3", "Woda", "59012X", "A", "0", "1.20", "1", "NIE"});
             row(s, L, 4, {"4", "Woda", "12345678901234", "A", "0", "1.20", "1", "NIE"});
         },
         SendPluTable,
         {pluFrame("0", FF(7), "\x08", Bytes("01 00 00")),
          Frame("0;1E" + std::string("Woda") + FF(12) + FF(7) + price120 + "\x08" + Z(8) + Bytes("01 00 00") + Z(6)),
          Frame("0;2E" + std::string("Woda") + FF(12) + FF(7) + price120 + "\x08" + Z(8) + Bytes("01 00 00") + Z(6)),
          Frame("0;3E" + std::string("Woda") + FF(12) + Bytes("12 34 56 78 90 12 34") + price120 + "\x08" + Z(8) +
                Bytes("01 00 00") + Z(6))}},
        {"cashier ANNA 0012; a 7-character name goes with its first 6", 1,
         [&](TableSet& s) {
             row(s, C, 1, {"1", "ANNA", "0012"});
             row(s, C, 2, {"2", "MARIOLA", "9876"});
         },
         SendCashierTable,
         {Frame("0;0B" + std::string("ANNA") + FF(2) + Z(1) + Bytes("00 12") + Z(111)),
          Frame("0;1B" + std::string("MARIOL") + Z(1) + Bytes("98 76") + Z(111))}},
        {"discounts 10%, 5%, 0% and surcharge 10%", 1,
         [&](TableSet& s) {
             row(s, D, 1, {"1", "Rabat", "10.00"});
             row(s, D, 2, {"2", "Maly", "5.00"});
             row(s, D, 3, {"3", "", "0.00"});
             row(s, S, 1, {"5", "Noc", "10.00"});
         },
         SendDiscountTable,
         {Frame("0;0DRabat" + FF(14) + Bytes("00 09") + Z(6)), Frame("0;1DMaly" + FF(15) + Bytes("50 09") + Z(6)),
          Frame("0;2D" + FF(19) + Bytes("00 10") + Z(6)), Frame("0;4DNoc" + FF(16) + Bytes("00 11") + Z(6))}},
        {"discount above 100% is held at 100%; surcharge 1000% at the field's largest", 1,
         [&](TableSet& s) {
             row(s, D, 4, {"4", "Duzy", "150.00"});
             row(s, S, 4, {"8", "Wielka", "1000.00"});
         },
         SendDiscountTable,
         {Frame("0;3DDuzy" + FF(15) + Bytes("00 00") + Z(6)), Frame("0;7DWielka" + FF(13) + Bytes("99 99") + Z(6))}},
        {"header ABC, empty, DEF", 1,
         [&](TableSet& s) {
             s.SetCell(H, 1, 1, "ABC");
             s.SetCell(H, 1, 3, "DEF");
         },
         SendHeader, {Frame("0XABC\rDEF\r" + FF(163 - 10))}},
        {"header in Mazovia letters, exactly 160 bytes", 1,
         [&](TableSet& s) {
             for (int r = 1; r <= 7; ++r) s.SetCell(H, 1, r, std::string(19, 'x') + W("Ł"));
             s.SetCell(H, 1, 8, std::string(12, 'y'));
         },
         SendHeader,
         {[] {
             std::string lines;
             for (int r = 1; r <= 7; ++r) lines += std::string(19, 'x') + "\x9C\r";
             lines += std::string(12, 'y') + "\r";
             return Frame("0X" + lines + FF(1));
         }()}},
        {"header of eight 20-character lines is refused", 1,
         [&](TableSet& s) {
             for (int r = 1; r <= 8; ++r) s.SetCell(H, 1, r, std::string(20, 'a'));
         },
         SendHeader, {}},
        {"PTU A 23.00, B exempt, C to G inactive", 1,
         [&](TableSet& s) {
             s.SetCell(T, 1, 1, "23.00");
             s.SetCell(T, 2, 1, "AKTYWNA");
             s.SetCell(T, 2, 2, "ZWOLNIONA");
         },
         SendPtuRates, {Frame("0Z" + Bytes("00 23 FE FF") + FF(10)) + Z(1)}},
        {"PTU 8 and 7.5 as hundredths, unknown status as zero", 1,
         [&](TableSet& s) {
             s.SetCell(T, 1, 1, "8");
             s.SetCell(T, 2, 1, "AKTYWNA");
             s.SetCell(T, 1, 2, "7.5");
             s.SetCell(T, 2, 2, "AKTYWNA");
             s.SetCell(T, 2, 3, "?");
         },
         SendPtuRates, {Frame("0Z" + Bytes("00 08 50 07 00 00") + FF(8)) + Z(1)}},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        set.ApplyModel(c.model, PluRule::Configured);
        c.fill(set);
        const std::vector<std::string> before = [&] {
            std::vector<std::string> all;
            for (TableId t : {P, L, C, K, D, S, F, H, T})
                for (int r = 0; r <= set.Rows(t); ++r)
                    for (int col = 0; col < set.Columns(t); ++col) all.push_back(set.Cell(t, col, r));
            return all;
        }();
        c.send(link, set);
        std::vector<std::string> expected;
        for (const auto& f : c.frames) expected.push_back(Hex(f));
        EXPECT_EQ(Writes(), expected);
        EXPECT_EQ(port->drains, 0) << "nothing is read in mode 0";
        // Converting names works on copies: no cell changes.
        std::vector<std::string> after;
        for (TableId t : {P, L, C, K, D, S, F, H, T})
            for (int r = 0; r <= set.Rows(t); ++r)
                for (int col = 0; col < set.Columns(t); ++col) after.push_back(set.Cell(t, col, r));
        EXPECT_EQ(after, before);
        TearDown();
    }
}

TEST_F(UploadTest, PluWriteLengthFollowsIndexWidth) {
    // Records 1, 10, 11, 100, 101, 1000, 1001, 10000, 10001, 19200 of model 3.
    set.ApplyModel(3, PluRule::Capacity);
    const std::vector<std::pair<int, std::size_t>> cases = {{1, 56},    {10, 56},    {11, 57},   {100, 57},
                                                            {101, 58},  {1000, 58},  {1001, 59}, {10000, 59},
                                                            {10001, 60}, {19200, 60}};
    for (const auto& [record, length] : cases) {
        set.SetCell(TableId::Plu, 0, record, std::to_string(record));
        set.SetCell(TableId::Plu, 1, record, "X");
    }
    SendPluTable(link, set);
    ASSERT_EQ(port->writes.size(), cases.size());
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const auto& w = port->writes[k];
        const std::string index = std::to_string(cases[k].first - 1);
        SCOPED_TRACE(index);
        EXPECT_EQ(w.size(), cases[k].second);
        EXPECT_EQ(w.substr(2, 3 + index.size()), "0;" + index + "E");
        // The frame ends the write: no zeros follow a PLU frame.
        EXPECT_EQ(w.substr(w.size() - 2), ESC + BS);
        EXPECT_EQ(Hex(w), Hex(Frame(w.substr(2, w.size() - 6))));
    }
    EXPECT_EQ(ui.bars[UiBar::Main].maximum, 19200);
    EXPECT_EQ(ui.bars[UiBar::Main].steps, 19200);
}

TEST_F(UploadTest, StatusRepliesByMode) {
    struct Case {
        const char* name;
        int mode;
        std::vector<std::string> answers;  // one per write
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"mode 0 reads nothing", 0, {}, {}},
        {"mode 1 reads nothing", 1, {}, {}},
        {"mode 2 reads a status after every record", 2, {Status(0), Status(0), Status(0)}, {}},
        {"mode 3 too; an error is shown and the run goes on", 3, {Status(0), Status(21), Status(78)},
         {"Błąd bajtu kontrolnego", "Towar nie istnieje w kasie"}},
        {"mode 2 with a silent register: one warning per record, then one summary", 2, {},
         {"Brak odpowiedzi z kasy", "Brak odpowiedzi z kasy", "Brak odpowiedzi z kasy",
          "Kasa nie odpowiedziała dla 3 rekordów (nr 1, 5, 9). Te rekordy mogły nie zostać zapisane w kasie."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        link.Settings().errorMode = c.mode;
        for (int r : {1, 5, 9}) Row(TableId::Plu, r, {std::to_string(r), "P" + std::to_string(r), "", "A", "0", "1.00", "1", "TAK"});
        for (const auto& a : c.answers) port->answers.push_back(a);
        SendPluTable(link, set);
        EXPECT_EQ(port->writes.size(), 3u);
        EXPECT_EQ(port->drains, c.mode > 1 ? 3 : 0);
        EXPECT_EQ(ui.Messages(), c.messages);
        EXPECT_EQ(port->Pending(), "") << "every status reply was read";
        TearDown();
    }
}

TEST_F(UploadTest, ProgressBarCountsEveryRow) {
    struct Case {
        const char* name;
        std::function<void(Connection&, const TableSet&)> send;
        int maximum;
        int steps;
    };
    Row(TableId::Packaging, 3, {"3", "Woda", "1.00"});
    const std::vector<Case> cases = {
        {"packaging", SendPackagingTable, 15, 15},
        {"PLU", SendPluTable, 1000, 1000},
        {"cashiers", SendCashierTable, 8, 8},
        {"keys", SendKeyTable, 10, 10},
        {"discounts: 8 records on a bar of 7", SendDiscountTable, 7, 8},
        {"payment forms", SendPaymentFormTable, 4, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.bars.clear();
        c.send(link, set);
        const auto& bar = ui.bars[UiBar::Main];
        EXPECT_EQ(bar.shows, 1);
        EXPECT_EQ(bar.maximum, c.maximum);
        EXPECT_EQ(bar.steps, c.steps);
        EXPECT_FALSE(bar.visible);
    }
    EXPECT_EQ(port->writes.size(), 1u) << "only packaging record 3 is filled";
}

TEST_F(UploadTest, FiscalModeTestGuardsHeaderAndRates) {
    struct Case {
        const char* name;
        FiscalGuard item;
        std::string answer;  // reply to "0N"; empty: silent register
        bool allowed;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"training mode", FiscalGuard::Header, Reply("01000320070101"), true, {}},
        {"fiscal mode stops the header", FiscalGuard::Header, Reply("00010320070101"), false,
         {"Programowanie nagłówka z komputera\rjest możliwe tylko w trybie szkoleniowym"}},
        {"fiscal mode stops the rates", FiscalGuard::PtuRates, Reply("00010320070101"), false,
         {"Programowanie stawek z komputera\rjest możliwe tylko w trybie szkoleniowym"}},
        {"no reply lets the upload run", FiscalGuard::PtuRates, "", true, {"Brak odpowiedzi z kasy"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (!c.answer.empty()) port->answers.push_back(c.answer);
        set.SetCell(TableId::Header, 1, 1, "ABC");
        // The buttons: the test first, the upload only when it allows.
        const bool allowed = FiscalModeTest(link, c.item);
        if (allowed) c.item == FiscalGuard::Header ? SendHeader(link, set) : SendPtuRates(link, set);
        EXPECT_EQ(allowed, c.allowed);
        EXPECT_EQ(ui.Messages(), c.messages);
        ASSERT_EQ(port->writes.size(), c.allowed ? 2u : 1u);
        EXPECT_EQ(Hex(port->writes[0]), Hex(Frame("0N") + Z(1)));
        TearDown();
    }
}

TEST_F(UploadTest, HeaderTooLongShowsMessageAndSendsNothing) {
    for (int r = 1; r <= 8; ++r) set.SetCell(TableId::Header, 1, r, std::string(20, 'a'));
    SendHeader(link, set);
    EXPECT_TRUE(port->writes.empty());
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{
                                 "Za długi nagłówek. Zmniej ilość znaków.\rMaksymalna ilość znaków wynosi 160"});
}

TEST_F(UploadTest, AllTablesRunsSixUploadsWithLabels) {
    link.Settings().errorMode = 2;
    Row(TableId::Packaging, 1, {"1", "A", "1.00"});
    Row(TableId::Plu, 1, {"1", "B", "", "A", "0", "1.00", "1", "TAK"});
    Row(TableId::Cashier, 1, {"1", "C", "1111"});
    Row(TableId::Key, 1, {"1", "1", "1", "NIE"});
    Row(TableId::Discount, 1, {"1", "D", "1.00"});
    Row(TableId::PaymentForm, 1, {"1", "E"});
    set.SetCell(TableId::Header, 1, 1, "not sent");
    for (int k = 0; k < 6; ++k) port->answers.push_back(Status(0));
    SendAllTables(link, set);

    std::string letters;
    for (const auto& w : port->writes) letters += w[5];
    EXPECT_EQ(letters, "@EBADC") << "six record tables, no header, no rates";
    EXPECT_EQ(ui.labelHistory, (std::vector<std::string>{
                                   "Całkowity postęp:\tWysyłam bazę opakowań",
                                   "Całkowity postęp:\tWysyłam bazę PLU",
                                   "Całkowity postęp:\tWysyłam bazę kasjerów",
                                   "Całkowity postęp:\tWysyłam bazę klawiszy",
                                   "Całkowity postęp:\tWysyłam bazę rabatów/dopłat",
                                   "Całkowity postęp:\tWysyłam bazę form płatności",
                                   "",
                               }));
    const auto& overall = ui.bars[UiBar::Overall];
    EXPECT_EQ(overall.maximum, 5);
    EXPECT_EQ(overall.value, 5);
    EXPECT_FALSE(overall.visible);
    EXPECT_FALSE(ui.labelVisible[UiLabel::Progress]);
    EXPECT_TRUE(ui.Messages().empty());
}

}  // namespace
