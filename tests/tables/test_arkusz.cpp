// Tables to and from spreadsheet files: the reader, round trips of every
// table in every model, and imports with bad rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <xlsxwriter.h>

#include "Arkusz.h"
#include "Cp1250.h"
#include "Csv.h"
#include "FullSet.h"
#include "Pliki.h"
#include "RecordingUi.h"
#include "Skoroszyt.h"
#include "TempFiles.h"
#include "Wpis.h"

namespace {
struct UiGuard {
    RecordingUi ui;
    UiGuard() { InstallUi(&ui); }
    ~UiGuard() { InstallUi(nullptr); }
};

// Every table of the set filled as the entry rows would write it, model m.
void FillEveryTable(TableSet& set, int m) {
    if (m == 3) {
        FillFullSet(set);
    } else {
        set.ApplyModel(m, PluRule::Capacity);
        TableBatch batch(set);
        for (int r = 1; r <= set.Rows(TableId::Plu); r += 7) {
            const std::vector<std::string> row = {std::to_string(r), "Towar \xB3\xF3" + std::to_string(r),
                                                  "000" + std::to_string(590000 + r), "C", "0",
                                                  BenchPrice(r * 13), m == 0 || r % 2 ? "1.500" : "3",
                                                  r % 2 ? "TAK" : "NIE"};
            for (int c = 0; c < set.Columns(TableId::Plu); ++c) set.SetCell(TableId::Plu, c, r, row[c]);
        }
        for (int r = 1; r <= set.Rows(TableId::Key); r += 3) {
            const std::vector<std::string> row = {std::to_string(r), std::to_string(r * 5), "0,5", "TAK"};
            for (int c = 0; c < 4; ++c) set.SetCell(TableId::Key, c, r, row[c]);
        }
        set.SetCell(TableId::Packaging, 0, 3, "003");
        set.SetCell(TableId::Packaging, 1, 3, "Skrzynka \"du\xBF" "a\"");
        set.SetCell(TableId::Packaging, 2, 3, "12.50");
    }
    for (int r = 1; r <= 4; ++r) {
        set.SetCell(TableId::Discount, 0, r, std::to_string(r));
        set.SetCell(TableId::Discount, 1, r, "Rabat " + std::to_string(r));
        set.SetCell(TableId::Discount, 2, r, BenchPrice(r * 250));
        set.SetCell(TableId::Surcharge, 0, r, std::to_string(r + 4));
        set.SetCell(TableId::Surcharge, 1, r, "Dop\xB3" "ata");
        set.SetCell(TableId::Surcharge, 2, r, "1.00");
        set.SetCell(TableId::PaymentForm, 0, r, std::to_string(r));
        set.SetCell(TableId::PaymentForm, 1, r, "Got\xF3wka " + std::to_string(r));
    }
    set.SetCell(TableId::Header, 1, 2, "  Ulica \xA3\xB9kowa 5");
    set.SetCell(TableId::Ptu, 1, 1, "23.00");
    set.SetCell(TableId::Ptu, 2, 1, "AKTYWNA");
    set.SetCell(TableId::Ptu, 1, 5, "0.00");
    set.SetCell(TableId::Ptu, 2, 5, "ZWOLNIONA");
}
}  // namespace

TEST(Csv, ReadsWhatSpreadsheetsWrite) {
    struct Case {
        const char* text;
        std::vector<std::vector<std::string>> rows;
        std::vector<int> lines;
        int unclosed;
    } cases[] = {
        {"a;b\r\nc;d\r\n", {{"a", "b"}, {"c", "d"}}, {1, 2}, 0},
        {"a;\"b;c\"\n\"x\"\"y\";", {{"a", "b;c"}, {"x\"y", ""}}, {1, 2}, 0},
        {"\"two\r\nlines\";z\rnext", {{"two\r\nlines", "z"}, {"next"}}, {1, 3}, 0},
        {"a\n\n;\nb", {{"a"}, {"", ""}, {"b"}}, {1, 3, 4}, 0},
        {"a\tb\n1\t2", {{"a", "b"}, {"1", "2"}}, {1, 2}, 0},
        {"a b\"c;\"d\"e", {{"a b\"c", "de"}}, {1}, 0},
        {"ok\n\"open;\nnever", {{"ok"}}, {1}, 2},
        {"", {}, {}, 0},
    };
    for (const Case& c : cases) {
        const CsvParse p = ParseCsv(c.text);
        ASSERT_EQ(p.rows.size(), c.rows.size()) << c.text;
        for (size_t i = 0; i < p.rows.size(); ++i) {
            EXPECT_EQ(p.rows[i].fields, c.rows[i]) << c.text;
            EXPECT_EQ(p.rows[i].line, c.lines[i]) << c.text;
        }
        EXPECT_EQ(p.unclosedQuoteLine, c.unclosed) << c.text;
    }
    // Encodings: the mark, plain UTF-8, and Windows-1250 bytes that are not UTF-8.
    CsvEncoding e{};
    EXPECT_EQ(CsvTextFromFile("\xEF\xBB\xBF\xC5\xBB\xC3\xB3\xC5\x82w", &e), "Żółw");
    EXPECT_EQ(e, CsvEncoding::Utf8Bom);
    EXPECT_EQ(CsvTextFromFile("\xC5\xBB\xC3\xB3\xC5\x82w", &e), "Żółw");
    EXPECT_EQ(e, CsvEncoding::Utf8);
    EXPECT_EQ(CsvTextFromFile("\xAF\xF3\xB3w", &e), "Żółw");
    EXPECT_EQ(e, CsvEncoding::Cp1250);
    EXPECT_EQ(CsvRow({"a;b", "c\"d", " e", "f"}), "\"a;b\";\"c\"\"d\";\" e\";f\r\n");
}

// Export, then import into an empty set of the same model: every tab, both
// encodings and both decimal separators; the data file is the same byte for byte.
TEST(Arkusz, RoundTripGivesTheSameDataFile) {
    UiGuard g;
    const auto dir = testfiles::MakeTempDir("arkusz");
    for (int m = 0; m < kModelCount; ++m) {
        for (const auto& [encoding, point] : {std::pair{CsvEncoding::Utf8Bom, ','}, std::pair{CsvEncoding::Cp1250, '.'},
                                              std::pair{CsvEncoding::Utf8, ','}}) {
            SCOPED_TRACE("model " + std::to_string(m) + " encoding " + std::to_string(int(encoding)));
            TableSet original;
            FillEveryTable(original, m);
            TableSet copy;
            copy.ApplyModel(m, PluRule::Capacity);
            for (int tab = 1; tab <= 8; ++tab) {
                const auto csv = (dir / ("t" + std::to_string(tab) + ".csv")).string();
                ASSERT_TRUE(ExportTableCsv(original, tab, csv, {encoding, point}));
                ASSERT_TRUE(ImportTableCsv(copy, tab, csv)) << tab << (g.ui.shown.empty() ? "" : g.ui.shown.back().text.substr(0, 300));
            }
            const auto a = (dir / "a.pod").string(), b = (dir / "b.pod").string();
            ASSERT_TRUE(SaveDataFile(original, a));
            ASSERT_TRUE(SaveDataFile(copy, b));
            EXPECT_TRUE(testfiles::Slurp(a) == testfiles::Slurp(b));
            // The header and PTU rows exist in an empty set: only tabs 1-6 ask.
            EXPECT_TRUE(g.ui.shown.empty()) << g.ui.shown.front().text;
            g.ui.shown.clear();
        }
    }
    // What the PLU file looks like: the mark, the titles, a decimal comma.
    TableSet set;
    FillEveryTable(set, 3);
    const std::string csv = TableCsv(set, 2);
    EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(csv.substr(3, csv.find('\n') - 2),
              "Numer PLU;Nazwa PLU;Kod kreskowy;Stawka PTU;Numer opak.;Cena jedn.;Ilość magazyn.;Sprzedaż "
              "ułamkowa\r\n");
    EXPECT_NE(csv.find("\r\n3;Ser żółty3;5900000000039;D;3;1,20;3,250;TAK\r\n"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// One bad row per case after a good one: the problem's line, column and the
// entry row's own message; the good row stays good.
TEST(Arkusz, BadRowsAreReportedWithTheEntryRowsMessage) {
    struct Case {
        int tab;
        const char* row;
        const char* column;
        std::string message;
    } cases[] = {
        {2, "5;Bu\xC5\x82ka;59a;A;0;1;0;NIE", "Kod kreskowy", EditorText::OnlyDigits},
        {2, "5;Bułka;590;H;0;1;0;NIE", "Stawka PTU", EditorText::OnlyLetters},
        {2, "5;Chleb;590;A;0;1;0;NIE", "Nazwa PLU", EditorText::NotUnique},
        {2, "5;Bułka;590;A;;1;0;NIE", "Numer opak.", EditorText::EmptyPackaging},
        {2, ";Bułka;590;A;0;1;0;NIE", "Numer PLU", "Nie podano numeru PLU"},
        {2, "19201;Bułka;590;A;0;1;0;NIE", "Numer PLU", "Zły numer PLU"},
        {2, "99999999999;Bułka;590;A;0;1;0;NIE", "Numer PLU", "Liczba jest za duża"},
        {2, "5;Bułka;590;A;0;1,2,3;0;NIE", "Cena jedn.", "Nie można odczytać liczby „1,2,3” (wpisz ją np. jako 1234,50)"},
        {2, "5;Bułka;590;A;0;1;-;NIE", "Ilość magazyn.", "Nie można odczytać liczby „-” (wpisz ją np. jako 1234,50)"},
        {2, "5;Bułka;590;A;0;-1;0;NIE", "Cena jedn.", EditorText::OnlyDigits},
        // A bar code of 8, 12, 13 or 14 digits must end with its check digit.
        {2, "5;Bułka;5901234123450;A;0;1;0;NIE", "Kod kreskowy", "Zła cyfra kontrolna kodu kreskowego: ostatnia cyfra powinna być 7"},
        {2, "5;Bułka;59012341;A;0;1;0;NIE", "Kod kreskowy", "Zła cyfra kontrolna kodu kreskowego: ostatnia cyfra powinna być 4"},
        {2, "5;Bułka;59012341234;A;0;1;0;NIE", "", ""},  // 11 digits: not checked
        {2, "5;Bułka;590;A;0;1;0;może", "Sprzedaż ułamkowa", "W tym polu można wpisać tylko TAK lub NIE"},
        {2, "5;Bułka pszenna duża;590;A;0;1;0;NIE", "Nazwa PLU", "Tekst jest dłuższy niż 15 znaków"},
        {2, "5;Buł;ka;590;A;0;1;0;NIE", "", "Wiersz ma więcej pól niż tabela kolumn"},
        {2, "1;Bułka;590;A;0;1;0;NIE", "Numer PLU", "Ten rekord jest już w wierszu 1"},
        {1, "16;Skrzynka;1", "Numer opak.", "Zły numer opakowania"},
        {1, ";Skrzynka;1", "Numer opak.", "Nie podano numeru opakowania"},
        {3, "2;Ala;12", "Hasło", "Haslo musi zawierac 4 cyfry"},
        {3, "2;Ala;12345", "Hasło", "Haslo musi zawierac 4 cyfry"},
        {3, "9;Ala;1234", "Numer kasjer.", "Zły numer kasjera"},
        {3, ";Ala;1234", "Numer kasjer.", "Nie podano numeru kasjera"},
        {4, "21;5;1;NIE", "Numer klaw.", "Zły numer klawisza"},
        {4, ";5;1;NIE", "Numer klaw.", "Nie podano numeru klawisza"},
        {5, "0;Stały;5", "Numer rabatu", "Zły numer rabtu\rRabaty muszą mieć numery 1-4"},
        {5, "9;Stała;5", "Numer dopłaty", "Zły numer dopłaty\rDopłaty muszą mieć numery 5-8"},
        {5, ";Stały;5", "Numer rabatu", "Nie podano numeru rabatu"},
        {6, "5;Czek", "Numer formy", "Zły numer formy płatności"},
        {6, ";Czek", "Numer formy", "Nie podano numeru formy płatności"},
        {6, "2;Karta €", "", ""},  // '€' is in Windows-1250: a good row
        {6, "2;Karta ✓", "Nazwa formy", "Tekst zawiera znak, którego nie ma w stronie kodowej Windows-1250"},
        {7, "9;Witamy", "Numer linii", "Zły numer linii"},
        {7, ";Witamy", "Numer linii", "Nie podano numeru linii"},
        {8, ";5;AKTYWNA", "Oznaczenia", "Nie podano oznaczenia stawki"},
        {8, "B;5;CZYNNA", "Aktywna", "Zły status stawki.\rMożliwe wartości to NIEAKTYWNA,AKTYWNA,ZWOLNIONA"},
        {8, "B;;AKTYWNA", "Wartość", EditorText::GiveRate},
    };
    const char* goodRows[] = {"", "1;Skrzynka;1", "1;Chleb;590;A;0;1;0;NIE", "1;Ola;1234", "1;5;1;NIE",
                              "1;Stały;5", "1;Gotówka", "1;Sklep", "A;23;AKTYWNA"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        TableSet set;
        set.ApplyModel(3, PluRule::Capacity);
        const std::string text = std::string(goodRows[c.tab]) + "\r\n" + c.row + "\r\n";
        const CsvImportPlan plan = PlanCsvImport(set, c.tab, text, false);
        const bool good = c.message.empty();
        ASSERT_EQ(plan.problems.size(), good ? 0u : 1u) << (plan.problems.empty() ? "" : CsvProblemLine(plan.problems[0]));
        EXPECT_EQ(plan.good.size(), good ? 2u : 1u);
        if (good) continue;
        EXPECT_EQ(plan.problems[0].line, 2);
        EXPECT_EQ(plan.problems[0].column, c.column);
        EXPECT_EQ(plan.problems[0].message, c.message);
    }
}

namespace {
// UTF-16 with its mark, as Excel's "Unicode text" (LE) and other programs write it.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text)
        for (int shift : {bigEndian ? 8 : 0, bigEndian ? 0 : 8}) bytes += static_cast<char>(u >> shift & 0xFF);
    return bytes;
}
}  // namespace

// Files and values as spreadsheets write them: the encoding, the separator
// and the title row are found; Mac and DOS files are refused in one line;
// grouped thousands come in; line numbers are the file's own.
TEST(Arkusz, FilesAndValuesAsSpreadsheetsWriteThem) {
    const std::string refused = "Plik nie jest zapisany w UTF-8 ani w Windows-1250 (wiersz 2: ";
    const std::string howTo =
        "; tak zapisuje np. „CSV (Macintosh)” lub „CSV (MS-DOS)”): zapisz go w arkuszu jako „CSV UTF-8”";
    struct Case {
        std::string bytes;
        std::string lines;  // the refusal, the problems, then the notes
        int column;         // of PLU 1 afterwards
        const char* cell;
    } cases[] = {
        {"Numer PLU;Nazwa PLU\r1;M\x84KA\r", refused + "znak „„”" + howTo, 1, "Chleb"},  // Mac: Ą reads as „
        {"Numer PLU;Nazwa PLU\r\n1;g\xA9\x98\r\n", refused + "bajt 0x98" + howTo, 1, "Chleb"},  // code page 852
        {"CENNIK \x96 STYCZE\xD1 2026\r\n\r\nNumer PLU;Nazwa PLU\r\n1;\x84\xAF\xF3\xB3w\x94 \x96 \xE6ma\x85\r\n",
         "Wiersz 3: Pominięto wiersze 1–2 nad tytułami kolumn", 1, "„Żółw” – ćma…"},
        {Utf16(u"Numer PLU\tNazwa PLU\r\n1\tŻUREK ŚLĄSKI\r\nx\tBułka\r\n", false),
         "Wiersz 3, Numer PLU: W tym polu można wpisać tylko wartość liczbową", 1, "ŻUREK ŚLĄSKI"},
        {Utf16(u"Numer PLU;Cena jedn.\n1;1.234,50\n", true), "", 5, "1234.50"},
        {"Numer PLU,Cena jedn.\n1,\"1,234.5\"\n2,1,50\n",
         "Wiersz 3: Wiersz ma więcej pól niż wiersz tytułów (liczba z przecinkiem bez cudzysłowu?)", 5, "1234.50"},
        {"Numer PLU;Cena jedn.\n1;1.234.567\n", "", 5, "1234567.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        TableSet set;
        set.ApplyModel(3, PluRule::Capacity);
        const std::vector<std::string> plu = {"1", "Chleb", "", "A", "0", "3.49", "5.000", "TAK"};
        for (int col = 0; col < 8; ++col) set.SetCell(TableId::Plu, col, 1, plu[col]);
        const CsvImportPlan plan = PlanCsvImport(set, 2, c.bytes, false);
        std::string lines = plan.refusal;
        for (const auto* list : {&plan.problems, &plan.notes})
            for (const CsvProblem& p : *list) lines += (lines.empty() ? "" : "\n") + CsvProblemLine(p);
        EXPECT_EQ(lines, c.lines);
        ApplyCsvImport(set, plan, false);
        EXPECT_EQ(Cp1250ToUtf8(set.Cell(TableId::Plu, c.column, 1)), c.cell);
    }
}

// The whole import with its questions: the summary lists every bad row;
// "No" changes nothing, "Yes" takes only the good rows; records the file does
// not name stay unless the person removes them; names may swap places.
TEST(Arkusz, ImportAsksAndTakesAllGoodRowsOrNothing) {
    UiGuard g;
    const auto dir = testfiles::MakeTempDir("arkusz");
    const auto csv = (dir / "plu.csv").string();
    auto fresh = [] {
        TableSet set;
        set.ApplyModel(2, PluRule::Capacity);
        for (int r = 1; r <= 3; ++r) {
            const std::vector<std::string> row = {std::to_string(r), "Stary " + std::to_string(r), "", "A",
                                                  "0", "1.00", "1", "NIE"};
            for (int c = 0; c < 8; ++c) set.SetCell(TableId::Plu, c, r, row[c]);
        }
        return set;
    };
    // Title row in another order; a Windows-1250 file as old spreadsheets save it.
    testfiles::Spit(csv, Utf8ToCp1250("Nazwa PLU;Numer PLU;Cena jedn.\r\n"
                                      "Stary 2;1;2,50\r\n"
                                      "Stary 1;2;3,50\r\n"
                                      "Nowy;9599;4\r\n"
                                      "Zły;x;4\r\n"
                                      "Zły;9600;4\r\n"));
    struct Case {
        std::vector<bool> answers;  // remove records not in the file?, take good rows?
        bool changed;
        const char* name1;
        const char* name3;
    } cases[] = {
        {{false, false}, false, "Stary 1", "Stary 3"},
        {{false, true}, true, "Stary 2", "Stary 3"},
        {{true, true}, true, "Stary 2", ""},
    };
    for (const Case& c : cases) {
        TableSet set = fresh();
        g.ui.shown.clear();
        g.ui.answers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(ImportTableCsv(set, 2, csv), c.changed);
        ASSERT_EQ(g.ui.shown.size(), 2u);
        EXPECT_NE(g.ui.shown[0].text.find("(1)"), std::string::npos) << g.ui.shown[0].text;
        const std::string& summary = g.ui.shown[1].text;
        EXPECT_NE(summary.find("Wiersz 5, Numer PLU: W tym polu można wpisać tylko wartość liczbową"),
                  std::string::npos)
            << summary;
        EXPECT_NE(summary.find("Wiersz 6, Numer PLU: Zły numer PLU"), std::string::npos) << summary;
        EXPECT_EQ(Cp1250ToUtf8(set.Cell(TableId::Plu, 1, 1)), c.name1);
        EXPECT_EQ(Cp1250ToUtf8(set.Cell(TableId::Plu, 1, 3)), c.name3);
        EXPECT_EQ(set.Cell(TableId::Plu, 1, 9599), c.changed ? "Nowy" : "");
        if (!c.changed) continue;
        // Columns the file lacks keep the record's values; a new record starts as the entry row does.
        const std::vector<std::string> row1 = {"1", "Stary 2", "", "A", "0", "2.50", "1", "NIE"};
        const std::vector<std::string> fresh9599 = {"9599", "Nowy", "", "A", "0", "4.00", "0", "NIE"};
        for (int col = 0; col < 8; ++col) {
            EXPECT_EQ(set.Cell(TableId::Plu, col, 1), row1[col]) << col;
            EXPECT_EQ(set.Cell(TableId::Plu, col, 9599), fresh9599[col]) << col;
        }
    }
    std::filesystem::remove_all(dir);
}

// ---- workbooks -------------------------------------------------------------

namespace {
// A code with its GS1 check digit appended.
std::string WithCheckDigit(std::string digits) {
    int sum = 0;
    for (size_t i = 0; i < digits.size(); ++i) sum += (digits[digits.size() - 1 - i] - '0') * (i % 2 ? 1 : 3);
    return digits + static_cast<char>('0' + (10 - sum % 10) % 10);
}

// What spreadsheets spoil: codes with leading zeros, 13 and 14 digits,
// passwords 0000 and 0123, the largest price, stock below zero.
void AddEdgeValues(TableSet& set) {
    const bool column7 = set.Model() != 0;
    const std::vector<std::vector<std::string>> plu = {
        {"2", "Zera z przodu", WithCheckDigit("001234567890"), "A", "0", "99999999.99", "-5.000", "TAK"},
        {"3", "Kod 14 cyfr", WithCheckDigit("1590123412345"), "G", "15", "0.01", column7 ? "-12" : "-12.000", "NIE"},
        {"4", "Kod 8 cyfr", WithCheckDigit("0000001"), "B", "0", "1234567.89", "0.000", "TAK"},
    };
    for (const auto& row : plu)
        for (int c = 0; c < set.Columns(TableId::Plu); ++c) set.SetCell(TableId::Plu, c, std::stoi(row[0]), row[c]);
    const std::vector<std::vector<std::string>> cashiers = {{"1", "Ala", "0000"}, {"2", "Ola", "0123"}};
    for (const auto& row : cashiers)
        for (int c = 0; c < 3; ++c) set.SetCell(TableId::Cashier, c, std::stoi(row[0]), row[c]);
    set.SetCell(TableId::Packaging, 0, 1, "1");
    set.SetCell(TableId::Packaging, 1, 1, "Paleta");
    set.SetCell(TableId::Packaging, 2, 1, "99999999.99");
}

std::string Soffice() {
#ifdef _WIN32
    return {};
#else
    return std::system("soffice --version >/dev/null 2>&1") == 0 ? "soffice" : "";
#endif
}

// Calc opens every workbook in `from` and saves it as `format` into `to`.
void ConvertWithCalc(const std::filesystem::path& from, const std::filesystem::path& to, const std::string& format,
                     const std::filesystem::path& profile) {
    std::string command = Soffice() + " -env:UserInstallation=file://" + profile.string() +
                          " --headless --convert-to " + format + " --outdir " + to.string();
    for (const auto& entry : std::filesystem::directory_iterator(from)) command += " " + entry.path().string();
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

// The first line where two files differ, both forms; "" when they are the same.
std::string FirstDifferentLine(const std::string& a, const std::string& b) {
    if (a == b) return {};
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    const size_t start = a.rfind('\n', i) == std::string::npos ? 0 : a.rfind('\n', i) + 1;
    auto line = [&](const std::string& s) { return s.substr(start, s.find('\n', start) - start); };
    return Cp1250ToUtf8(line(a)) + " | " + Cp1250ToUtf8(line(b));
}

// A message as a line of the summary shows it.
std::string OneLine(std::string message) {
    std::replace(message.begin(), message.end(), '\r', ' ');
    return message;
}

std::string PlanLines(const CsvImportPlan& plan) {
    std::string lines = plan.refusal;
    for (const auto* list : {&plan.problems, &plan.notes})
        for (const CsvProblem& p : *list) lines += (lines.empty() ? "" : "\n") + CsvProblemLine(p);
    return lines;
}
}  // namespace

// Every tab of every model to a workbook; the program's own workbook, and
// the same saved by Calc as .xlsx and as .ods, imported into an empty set of
// the same model: the data file is the same byte for byte.
TEST(Skoroszyt, CalcRoundTripGivesTheSameDataFile) {
    UiGuard g;
    const auto dir = testfiles::MakeTempDir("skoroszyt");
    const auto own = dir / "own";
    std::filesystem::create_directories(own);
    std::vector<std::string> pods;
    for (int m = 0; m < kModelCount; ++m) {
        TableSet original;
        FillEveryTable(original, m);
        AddEdgeValues(original);
        const auto pod = (dir / ("m" + std::to_string(m) + ".pod")).string();
        ASSERT_TRUE(SaveDataFile(original, pod));
        pods.push_back(testfiles::Slurp(pod));
        for (int tab = 1; tab <= 8; ++tab) {
            std::string why;
            const auto bytes = TableXlsx(original, tab, {"ZELTRA ARK MAXI", "AB1234"}, &why);
            ASSERT_TRUE(bytes) << why;
            testfiles::Spit(own / ("m" + std::to_string(m) + "t" + std::to_string(tab) + ".xlsx"), *bytes);
        }
    }
    std::vector<std::pair<std::filesystem::path, std::string>> kinds = {{own, "xlsx"}};
    if (!Soffice().empty()) {
        for (const char* format : {"xlsx", "ods"}) {
            ConvertWithCalc(own, dir / format, format, dir / "profile");
            kinds.push_back({dir / format, format});
        }
    } else {
        std::printf("LibreOffice Calc is not here: only the program's own workbooks are read back\n");
    }
    for (const auto& [folder, format] : kinds) {
        for (int m = 0; m < kModelCount; ++m) {
            SCOPED_TRACE(folder.string() + " model " + std::to_string(m));
            TableSet copy;
            copy.ApplyModel(m, PluRule::Capacity);
            for (int tab = 1; tab <= 8; ++tab) {
                const std::string bytes =
                    testfiles::Slurp(folder / ("m" + std::to_string(m) + "t" + std::to_string(tab) + "." + format));
                const CsvImportPlan plan = PlanImport(copy, tab, bytes, false);
                ASSERT_EQ(PlanLines(plan), "") << "tab " << tab;
                ApplyCsvImport(copy, plan, false);
            }
            // A save keeps what the file held before: a new file each time.
            const auto b = (dir / ("b-" + folder.filename().string() + std::to_string(m) + ".pod")).string();
            ASSERT_TRUE(SaveDataFile(copy, b));
            EXPECT_EQ(FirstDifferentLine(testfiles::Slurp(b), pods[m]), "");
        }
    }
    // The cells are typed: a code with leading zeros is a text cell, the price a number.
    const std::string xml = testfiles::Slurp(own / "m1t2.xlsx");
    EXPECT_EQ(SniffWorkbook(xml), WorkbookKind::Xlsx);
    EXPECT_TRUE(g.ui.shown.empty());
    std::filesystem::remove_all(dir);
}

// A price list typed by hand in a spreadsheet: a heading above the titles, the
// columns in another order with one the table lacks, a blank row, bar codes
// typed as numbers, bad rows and a total row. The good rows come in; each bad
// one is named by its sheet row and column letter. The sheet named after the
// table is taken, not the first; Calc's .ods of the same reads the same.
TEST(Skoroszyt, HandTypedWorkbookGivesGoodRowsAndNamesBadCells) {
    const auto dir = testfiles::MakeTempDir("skoroszyt");
    const auto typed = dir / "typed";
    std::filesystem::create_directories(typed);
    const std::string file = (typed / "cennik.xlsx").string();
    {
        lxw_workbook* book = workbook_new(file.c_str());
        lxw_worksheet* notes = workbook_add_worksheet(book, "Notatki");
        worksheet_write_string(notes, 0, 0, "Numer PLU", nullptr);
        worksheet_write_string(notes, 1, 0, "nie ten arkusz", nullptr);
        lxw_worksheet* s = workbook_add_worksheet(book, "baza plu");
        worksheet_write_string(s, 0, 0, "Cennik sklepu – grudzień", nullptr);
        const char* titles[] = {"Cena jedn.", "Nazwa PLU",  "Numer PLU",        "Uwagi",
                                "Kod kreskowy", "Stawka PTU", "Sprzedaż ułamkowa"};
        for (int c = 0; c < 7; ++c) worksheet_write_string(s, 2, static_cast<lxw_col_t>(c), titles[c], nullptr);
        // Row 4: good, the code a number cell as Excel makes of a typed code,
        // the name in two runs of formatting, the switch a TRUE cell.
        worksheet_write_number(s, 3, 0, 3.49, nullptr);
        lxw_format* bold = workbook_add_format(book);
        format_set_bold(bold);
        lxw_rich_string_tuple run1{bold, const_cast<char*>("Chleb ")}, run2{nullptr, const_cast<char*>("żytni")};
        lxw_rich_string_tuple* runs[] = {&run1, &run2, nullptr};
        worksheet_write_rich_string(s, 3, 1, runs, nullptr);
        worksheet_write_boolean(s, 3, 6, 1, nullptr);
        worksheet_write_number(s, 3, 2, 1, nullptr);
        worksheet_write_string(s, 3, 3, "świeży", nullptr);
        worksheet_write_number(s, 3, 4, 5901234123457, nullptr);
        worksheet_write_string(s, 3, 5, "A", nullptr);
        // Row 6: a price that is no number.
        worksheet_write_string(s, 5, 0, "trzy złote", nullptr);
        worksheet_write_string(s, 5, 1, "Masło", nullptr);
        worksheet_write_number(s, 5, 2, 2, nullptr);
        worksheet_write_string(s, 5, 5, "B", nullptr);
        // Row 7: a rate letter outside A-G; the 14-digit code as text.
        worksheet_write_number(s, 6, 0, 2.5, nullptr);
        worksheet_write_string(s, 6, 1, "Mleko", nullptr);
        worksheet_write_number(s, 6, 2, 3, nullptr);
        worksheet_write_string(s, 6, 4, WithCheckDigit("1590123412345").c_str(), nullptr);
        worksheet_write_string(s, 6, 5, "H", nullptr);
        // Row 8: a wrong check digit.
        worksheet_write_number(s, 7, 0, 10, nullptr);
        worksheet_write_string(s, 7, 1, "Ser", nullptr);
        worksheet_write_number(s, 7, 2, 4, nullptr);
        worksheet_write_number(s, 7, 4, 5901234123450, nullptr);
        worksheet_write_string(s, 7, 5, "C", nullptr);
        // Row 9: good, the largest price, a 14-digit code as a number cell.
        worksheet_write_number(s, 8, 0, 99999999.99, nullptr);
        worksheet_write_string(s, 8, 1, "Złoto", nullptr);
        worksheet_write_number(s, 8, 2, 19200, nullptr);
        worksheet_write_number(s, 8, 4, std::stod(WithCheckDigit("1590123412345")), nullptr);
        worksheet_write_string(s, 8, 5, "G", nullptr);
        // Row 10: the total, a formula with its value.
        worksheet_write_formula_num(s, 9, 0, "=SUM(A4:A9)", nullptr, 100000015.98);
        worksheet_write_string(s, 9, 1, "Razem", nullptr);
        ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
    }
    const std::string expected =
        "Wiersz 6, Cena jedn. (kolumna A): " + OneLine(EditorText::OnlyDigits) + "\n"
        "Wiersz 7, Stawka PTU (kolumna F): " + OneLine(EditorText::OnlyLetters) + "\n"
        "Wiersz 8, Kod kreskowy (kolumna E): Zła cyfra kontrolna kodu kreskowego: ostatnia cyfra powinna być 7\n"
        "Wiersz 10, Numer PLU (kolumna C): Nie podano numeru PLU\n"
        "Wiersz 3: Pominięto wiersze 1–2 nad tytułami kolumn\n"
        "Wiersz 3, Uwagi (kolumna D): Tabela nie ma takiej kolumny; jej pola zostały pominięte";
    std::vector<std::string> files = {file};
    if (!Soffice().empty()) {
        ConvertWithCalc(typed, dir / "ods", "ods", dir / "profile");
        files.push_back((dir / "ods" / "cennik.ods").string());
    }
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        TableSet set;
        set.ApplyModel(3, PluRule::Capacity);
        const CsvImportPlan plan = PlanImport(set, 2, testfiles::Slurp(f), false);
        EXPECT_EQ(PlanLines(plan), expected);
        ASSERT_EQ(plan.good.size(), 2u);
        ApplyCsvImport(set, plan, false);
        const std::vector<std::string> first = {"1", "Chleb żytni", "5901234123457", "A", "0", "3.49", "0.000", "TAK"};
        for (int c = 0; c < 8; ++c) EXPECT_EQ(Cp1250ToUtf8(set.Cell(TableId::Plu, c, 1)), first[c]) << c;
        EXPECT_EQ(set.Cell(TableId::Plu, 2, 19200), WithCheckDigit("1590123412345"));
        EXPECT_EQ(set.Cell(TableId::Plu, 5, 19200), "99999999.99");
        EXPECT_FALSE(set.RowHasRecord(TableId::Plu, 2));
    }
    std::filesystem::remove_all(dir);
}

// Files that are no workbook we can read are refused in one line, whole:
// an old .xls (or a workbook locked with a password), another zip, a
// workbook cut short; none of them crashes or imports a row.
TEST(Skoroszyt, UnreadableWorkbooksAreRefused) {
    TableSet set;
    FillEveryTable(set, 1);
    const std::string good = *TableXlsx(set, 2);
    struct Case {
        std::string bytes;
        const char* refusal;
    } cases[] = {
        {std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(500, '\0'), "starym formacie .xls"},
        {good.substr(0, good.size() / 2), "uszkodzony"},
        {good.substr(0, 30), "uszkodzony"},
    };
    for (const Case& c : cases) {
        const CsvImportPlan plan = PlanImport(set, 2, c.bytes, false);
        EXPECT_NE(plan.refusal.find(c.refusal), std::string::npos) << plan.refusal;
        EXPECT_TRUE(plan.good.empty());
    }
}

// A workbook gives numbers, not their text: values that come back unchanged
// keep the bytes the register sent ("08.00", "3.5"); a changed one is written
// as the entry row writes it.
TEST(Skoroszyt, UnchangedValuesKeepTheirBytes) {
    TableSet set;
    set.ApplyModel(1, PluRule::Capacity);
    set.SetCell(TableId::Ptu, 1, 1, "08.00");
    set.SetCell(TableId::Ptu, 2, 1, "AKTYWNA");
    set.SetCell(TableId::Ptu, 1, 2, "");
    set.SetCell(TableId::Ptu, 2, 2, "ZWOLNIONA");
    const std::vector<std::string> plu = {"1", "Chleb", "", "A", "0", "3.5", "2", "NIE"};
    for (int c = 0; c < 8; ++c) set.SetCell(TableId::Plu, c, 1, plu[c]);
    for (const int tab : {2, 8}) {
        const TableSet before = set;
        const CsvImportPlan plan = PlanImport(set, tab, *TableXlsx(set, tab), false);
        ASSERT_EQ(PlanLines(plan), "");
        ApplyCsvImport(set, plan, false);
        for (TableId t : {TableId::Plu, TableId::Ptu})
            for (int r = 1; r <= 2; ++r)
                for (int c = 0; c < set.Columns(t); ++c) EXPECT_EQ(set.Cell(t, c, r), before.Cell(t, c, r)) << c;
    }
    // The same price typed anew in the sheet (a number 3.75) is written as the entry row writes it.
    set.SetCell(TableId::Plu, 5, 1, "3.75");
    std::string sheet = *TableXlsx(set, 2);
    set.SetCell(TableId::Plu, 5, 1, "3.5");
    const CsvImportPlan plan = PlanImport(set, 2, sheet, false);
    ApplyCsvImport(set, plan, false);
    EXPECT_EQ(set.Cell(TableId::Plu, 5, 1), "3.75");
}
