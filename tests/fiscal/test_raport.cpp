// The period report's sums against the emulator's own record bytes, read
// through the real serial code; amount and date texts; the spreadsheet bytes
// of a table.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "Emulator.h"
#include "EmulatorPort.h"
#include "Fmreader.h"
#include "Pomoc.h"
#include "Raport.h"
#include "RecordingUi.h"
#ifndef _WIN32
#include "NativeSerialPort.h"
#include "PtyServer.h"
#endif

namespace {

using namespace std::string_literals;

// ---- the emulator's memory, and what it holds, worked out from its bytes ----

std::string Bcd(std::int64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i, value /= 100)
        out += static_cast<char>((value % 100 / 10) << 4 | (value % 10));
    return out;
}

std::string DateBytes(int y, int m, int d) { return Bcd(y % 100, 1) + Bcd(y / 100, 1) + Bcd(m, 1) + Bcd(d, 1); }

struct Totals {
    std::array<std::int64_t, kPtuLetters> totals{};
    std::int64_t receipts = 0, cancellations = 0, cancelledAmount = 0;
};

// A report's bytes: kind, date, totals A-G, receipts, changes, cancellations,
// cancelled amount.
std::string ReportBytes(char kind, const std::string& date, const Totals& t) {
    std::string r = std::string(1, kind) + date;
    for (std::int64_t a : t.totals) r += Bcd(a, 5);
    r += Bcd(t.receipts, 2) + Bcd(123, 3) + Bcd(t.cancellations, 2) + Bcd(t.cancelledAmount, 5);
    r.resize(64, '\0');
    return r;
}

// Packed digits, lowest byte first; none when a half-byte is not a digit.
std::optional<std::int64_t> Packed(const std::string& r, int offset, int bytes) {
    std::int64_t v = 0;
    for (int k = offset + bytes - 1; k >= offset; --k) {
        const int b = static_cast<unsigned char>(r[static_cast<std::size_t>(k)]);
        if ((b >> 4) > 9 || (b & 15) > 9) return std::nullopt;
        v = v * 100 + (b >> 4) * 10 + (b & 15);
    }
    return v;
}

struct Expected {
    int number = 0;
    std::optional<int> day;
    std::array<std::optional<std::int64_t>, kPtuLetters> totals;
    std::optional<std::int64_t> receipts, cancellations, cancelledAmount;
    bool Damaged() const {
        for (const auto& t : totals)
            if (!t) return true;
        return !receipts || !cancellations || !cancelledAmount;
    }
};

// The daily reports as the emulator keeps them: a kind whose low half-byte
// is 1, up to the first record with an F.
std::vector<Expected> ReportsOf(const std::map<int, std::string>& memory) {
    std::vector<Expected> out;
    for (const auto& [n, r] : memory) {
        const int kind = static_cast<unsigned char>(r[0]);
        if ((kind >> 4) == 15 || (kind & 15) == 15) break;
        if ((kind & 15) != 1) continue;
        Expected e;
        e.number = static_cast<int>(out.size()) + 1;
        const auto y = Packed(r, 1, 2), m = Packed(r, 3, 1), d = Packed(r, 4, 1);
        // Dates here are made in months of up to 28 days; a month of 13 is damage.
        if (y && m && d && *m >= 1 && *m <= 12 && *d >= 1 && *d <= 28) {
            e.day = static_cast<int>(*y) * 10000 + static_cast<int>(*m) * 100 + static_cast<int>(*d);
        }
        for (int k = 0; k < kPtuLetters; ++k) e.totals[static_cast<std::size_t>(k)] = Packed(r, 5 + 5 * k, 5);
        e.receipts = Packed(r, 40, 2);
        e.cancellations = Packed(r, 45, 2);
        e.cancelledAmount = Packed(r, 47, 5);
        out.push_back(e);
    }
    return out;
}

// 300 records from 2021-11-01 on, one a day (months of 28 days): daily
// reports with random amounts in all seven letters, up to the largest the
// field holds; PTU changes and RAM resets between them; a record of kind 04
// laid out as a report; a report of kind 11; reports with a damaged amount,
// count and date.
std::map<int, std::string> MakeMemory() {
    std::mt19937_64 random(20240611);
    auto amount = [&](int k) -> std::int64_t {
        if (k % 41 == 0) return 9999999999;  // 99 999 999.99
        return static_cast<std::int64_t>(random() % (random() % 2 ? 100000 : 10000000000));
    };
    std::map<int, std::string> memory;
    for (int i = 0; i < 300; ++i) {
        const int month = 11 + i / 28, day = 1 + i % 28;
        const std::string date = DateBytes(2021 + (month - 1) / 12, (month - 1) % 12 + 1, day);
        std::string r;
        if (i % 37 == 5) {
            r = "\x02" + date + "\x00\x23\x00\x08\x00\x05\x00\x00\xFE\xFF\xFF\xFF\xFF\xFF"s;
        } else if (i % 53 == 7) {
            r = "\x03" + date + "\x08\x30"s;
        } else {
            Totals t;
            for (int k = 0; k < kPtuLetters; ++k) t.totals[static_cast<std::size_t>(k)] = amount(i * 7 + k);
            t.receipts = static_cast<std::int64_t>(random() % 10000);
            t.cancellations = static_cast<std::int64_t>(random() % 100);
            t.cancelledAmount = amount(i);
            char kind = i == 100 ? '\x04' : i == 101 ? '\x11' : '\x01';
            r = ReportBytes(kind, date, t);
            if (i == 150) r[17] = '\x1A';                              // TOT. C: a letter
            if (i == 151) r[40] = '\xB0';                              // receipts: a letter
            if (i == 152) r.replace(1, 4, DateBytes(2022, 13, 1));     // month 13
        }
        memory[kFirstFiscalRecord + i] = r;
    }
    return memory;
}

class FiscalReportTest : public ::testing::Test {
protected:
    Connection link;
    void SetUp() override {
        link.Reset();
        InstallUi(&ui);
    }
    void TearDown() override {
        link.Reset();
        InstallUi(nullptr);
    }
    // The memory read as the window reads it: through the real serial code
    // and a pseudo-terminal where there is one.
    FiscalTables Read(const std::map<int, std::string>& memory) {
        Emulator e;
        e.state.fiscalMemory = memory;
        FiscalTables tables = MakeFiscalTables();
#ifndef _WIN32
        PtyServer server(std::move(e));
        EXPECT_TRUE(server.Start());
        link.UsePort(std::make_unique<NativeSerialPort>());
        EXPECT_TRUE(link.OpenPort(server.SlavePath()));
        link.Settings().pollLimit = 100000;
        EXPECT_EQ(ReadFiscalMemory(link, tables, {}), FiscalReadEnd::Ended);
        link.Reset();
#else
        link.UsePort(std::make_unique<EmulatorPort>(e));
        EXPECT_EQ(ReadFiscalMemory(link, tables, {}), FiscalReadEnd::Ended);
#endif
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{});
        return tables;
    }
    RecordingUi ui;
};

TEST_F(FiscalReportTest, SumsMatchTheEmulatorsRecords) {
    const std::map<int, std::string> memory = MakeMemory();
    const std::vector<Expected> reports = ReportsOf(memory);
    const FiscalTables tables = Read(memory);

    struct Case {
        const char* name;
        FiscalDay from, to;
        int lines;  // reports dated in the range, damaged ones too; -1: not counted here
    };
    // The memory runs from 2021-11-01 to 2022-09-20, a report on the first
    // and the last day, a PTU change on 2021-11-06. The damaged amount stands
    // at 2022-04-11, the count at 04-12; the damaged date stood at 04-13.
    const Case cases[] = {
        {"everything", 20211101, 20220920, -1},
        {"first day only", 20211101, 20211101, 1},
        {"last day only", 20220920, 20220920, 1},
        {"a PTU change's day only", 20211106, 20211106, 0},
        {"a month, both ends inside", 20220101, 20220128, -1},
        {"the damaged reports", 20220410, 20220414, 3},
        {"before the memory", 20200101, 20211031, 0},
        {"after the memory", 20220921, 20301231, 0},
        {"ends before it starts", 20220301, 20220201, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FiscalReport report = MakeFiscalReport(tables[0], c.from, c.to);

        std::vector<const Expected*> inRange;
        ReportSums sums;
        for (const Expected& e : reports) {
            if (!e.day || *e.day < c.from || *e.day > c.to) continue;
            inRange.push_back(&e);
            if (e.Damaged()) continue;
            ++sums.reports;
            for (int k = 0; k < kPtuLetters; ++k) {
                sums.totals[static_cast<std::size_t>(k)] += *e.totals[static_cast<std::size_t>(k)];
                sums.sum += *e.totals[static_cast<std::size_t>(k)];
            }
            sums.receipts += *e.receipts;
            sums.cancellations += *e.cancellations;
            sums.cancelledAmount += *e.cancelledAmount;
        }
        if (c.lines >= 0) {
            EXPECT_EQ(static_cast<int>(inRange.size()), c.lines);
        }

        ASSERT_EQ(report.lines.size(), inRange.size());
        for (std::size_t i = 0; i < inRange.size(); ++i) {
            const Expected& e = *inRange[i];
            const DailyLine& line = report.lines[i];
            SCOPED_TRACE("report " + std::to_string(e.number));
            EXPECT_EQ(line.number, e.number);
            EXPECT_EQ(ParseFiscalDate(line.date), e.day);
            EXPECT_EQ(line.totals, e.totals);
            EXPECT_EQ(line.receipts, e.receipts);
            EXPECT_EQ(line.cancellations, e.cancellations);
            EXPECT_EQ(line.cancelledAmount, e.cancelledAmount);
            EXPECT_EQ(line.Damaged(), e.Damaged());
            if (!e.Damaged()) {
                std::int64_t day = 0;
                for (const auto& t : e.totals) day += *t;
                EXPECT_EQ(line.Sum(), day);
            }
        }
        EXPECT_EQ(report.sums.reports, sums.reports);
        EXPECT_EQ(report.sums.totals, sums.totals);
        EXPECT_EQ(report.sums.receipts, sums.receipts);
        EXPECT_EQ(report.sums.cancellations, sums.cancellations);
        EXPECT_EQ(report.sums.cancelledAmount, sums.cancelledAmount);
        EXPECT_EQ(report.sums.sum, sums.sum);
        // The report with the unreadable date is listed in every range, summed in none.
        ASSERT_EQ(report.undated.size(), 1u);
        EXPECT_EQ(report.undated[0].date, "2022-13-01");

        // PTU changes and RAM resets of the range, by their own records.
        int changes = 0, resets = 0, expectedChanges = 0, expectedResets = 0;
        for (const FiscalMark& m : FiscalMarks(tables, c.from, c.to)) {
            EXPECT_TRUE(m.day >= c.from && m.day <= c.to);
            (m.kind == FiscalKind::PtuChange ? changes : resets)++;
        }
        for (const auto& [n, r] : memory) {
            const int i = n - kFirstFiscalRecord, month = 11 + i / 28;
            const int day = (2021 + (month - 1) / 12) * 10000 + ((month - 1) % 12 + 1) * 100 + 1 + i % 28;
            if (day < c.from || day > c.to) continue;
            expectedChanges += r[0] == '\x02';
            expectedResets += r[0] == '\x03';
        }
        EXPECT_EQ(changes, expectedChanges);
        EXPECT_EQ(resets, expectedResets);
    }
    // The whole memory: the largest amounts and the damaged reports are there.
    const FiscalReport all = MakeFiscalReport(tables[0], 20211101, 20220920);
    EXPECT_EQ(all.DamagedCount(), 3);
    EXPECT_GT(all.sums.sum, std::int64_t{1} << 32);
    EXPECT_EQ(FiscalDateSpan(tables), std::make_pair(FiscalDay{20211101}, FiscalDay{20220920}));
}

// A PTU change between reports of the range splits the sums; a report on
// the change's day belongs where the fiscal memory has it, or, without the
// reading order, after the change.
TEST(FiscalReportPeriods, SplitAtEachPtuChange) {
    FiscalTables tables = MakeFiscalTables();
    const char* const days[] = {"2020-01-01", "2020-01-02", "2020-01-02", "2020-01-03", "2020-01-04", "2020-01-05"};
    for (int r = 1; r <= 6; ++r)  // TOT. A 10.00, 20.00, 40.00, 80.00, damaged, 320.00
        tables[0].SetRow(r, {std::to_string(r), days[r - 1], r == 5 ? "1A00000000" : std::to_string(5 << r) + ".00",
                             "0.00", "0.00", "0.00", "0.00", "0.00", "0.00", "1", "1", "0", "0.00"});
    const char* const changes[] = {"2019-12-01", "2020-01-02", "2020-01-04"};
    for (int r = 1; r <= 3; ++r) tables[1].SetRow(r, {std::to_string(r), changes[r - 1]});
    FiscalReadingOrder read;  // report 3 and change 2 both dated 2020-01-02
    for (const char* step : {"P1", "D1", "D2", "D3", "P2", "D4", "D5", "P3", "D6"})
        read.emplace_back(step[0] == 'D' ? FiscalKind::DailyReport : FiscalKind::PtuChange, step[1] - '0');
    const struct {
        FiscalReadingOrder order;
        FiscalDay from;
        std::string periods;  // "change:reports:TOT. A" each; empty: not split
    } cases[] = {
        {read, 20200101, "1:3:7000 2:1:8000 3:1:32000"},  // report 3 before change 2, on its day
        {{}, 20200101, "1:1:1000 2:3:14000 3:1:32000"},    // no order: after it
        {read, 20200103, "2:1:8000 3:1:32000"},            // the first period's change before the range
        {read, 20200105, ""},                              // one report: nothing mixed
    };
    for (const auto& c : cases) {
        const FiscalReport report = MakeFiscalReport(tables, c.from, 20200105, c.order);
        std::string periods;
        for (const RatePeriod& p : report.periods)
            periods += (periods.empty() ? "" : " ") + std::to_string(p.change) + ":" + std::to_string(p.sums.reports) +
                       ":" + std::to_string(p.sums.totals[0]);
        EXPECT_EQ(periods, c.periods);
        EXPECT_EQ(report.sums.totals, MakeFiscalReport(tables[0], c.from, 20200105).sums.totals);
    }
}

TEST(FiscalReportTexts, AmountsCountsAndDates) {
    using O = std::optional<std::int64_t>;
    struct Case {
        std::string text;
        O hundredths, whole;
        std::optional<int> day;
    };
    const Case cases[] = {
        {"1234.56", 123456, {}, {}},
        {"0.29", 29, {}, {}},  // 0.29 * 100 is 28.999... in binary floating point
        {"4.35", 435, {}, {}},
        {"0.00", 0, {}, {}},
        {"99999999.99", 9999999999, {}, {}},
        {"1234.5", {}, {}, {}},
        {"1.234", {}, {}, {}},
        {".56", {}, {}, {}},
        {"-1.00", {}, {}, {}},
        {"56341A0000", {}, {}, {}},  // a damaged amount as the reader shows it
        {"", {}, {}, {}},
        {"37", {}, 37, {}},
        {"12A4", {}, {}, {}},
        {"2024-02-29", {}, {}, 20240229},
        {"2023-02-29", {}, {}, {}},
        {"2022-13-01", {}, {}, {}},
        {"2022-00-10", {}, {}, {}},
        {"20A2-01-01", {}, {}, {}},
        {"2022--", {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseHundredths(c.text), c.hundredths);
        EXPECT_EQ(ParseWhole(c.text), c.whole);
        EXPECT_EQ(ParseFiscalDate(c.text), c.day);
    }
    EXPECT_EQ(HundredthsText(123456, ","), "1234,56");
    EXPECT_EQ(HundredthsText(7), "0.07");
    EXPECT_EQ(FiscalDayText(20240229), "2024-02-29");
}

TEST(FiscalReportCsv, TableBytes) {
    FiscalTables tables = MakeFiscalTables();
    tables[0].SetRow(1, {"1", "2020-01-03", "1234.56", "56341A0000", "0.00", "0.00", "0.00", "0.00", "0.07", "37",
                         "654321", "3", "7.50"});
    tables[0].SetRow(3, {"2", "2020-01-04", "1.00"});  // row 2 empty: left out
    tables[1].SetRow(1, {"1", "2020-01-02", "23.00", "08.00", "05.00", "00.00", "zw", "NAK", "NAK"});
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        FiscalKind kind;
        std::string point;
        std::string bytes;
        std::string note = {};
    };
    const Case cases[] = {
        {FiscalKind::RamReset, ",", bom + "Odczyt niepełny: brak rekordów nr 12, 57–59\r\nNr zer.;Data;Godzina\r\n",
         "Odczyt niepełny: brak rekordów nr 12, 57–59"},
        {FiscalKind::DailyReport, ",",
         bom + "Nr rap.;Data;TOT. A;TOT. B;TOT. C;TOT. D;TOT. E;TOT. F;TOT. G;Ilość Par.;Ilość Zmian;"
               "Ilość Anul.;Kwota Anul.\r\n"
               "1;2020-01-03;1234,56;56341A0000;0,00;0,00;0,00;0,00;0,07;37;654321;3;7,50\r\n"
               "2;2020-01-04;1,00;;;;;;;;;;\r\n"},
        {FiscalKind::PtuChange, ",",
         bom + "Nr zm.;Data;PTU. A;PTU. B;PTU. C;PTU. D;PTU. E;PTU. F;PTU. G\r\n"
               "1;2020-01-02;23,00;08,00;05,00;00,00;zw;NAK;NAK\r\n"},
        {FiscalKind::PtuChange, ".",
         bom + "Nr zm.;Data;PTU. A;PTU. B;PTU. C;PTU. D;PTU. E;PTU. F;PTU. G\r\n"
               "1;2020-01-02;23.00;08.00;05.00;00.00;zw;NAK;NAK\r\n"},
        {FiscalKind::RamReset, ",", bom + "Nr zer.;Data;Godzina\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(TableOf(tables, c.kind).Caption() + " " + c.point);
        EXPECT_EQ(FiscalTableCsv(TableOf(tables, c.kind), c.point, c.note), c.bytes);
    }
}

}  // namespace
