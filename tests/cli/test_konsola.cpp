// The console Ui and the command line's checks, without a register.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "Konsola.h"
#include "Polecenia.h"
#include "Wiele.h"

using namespace cli;

namespace {

const char* const kNoReply = "Brak odpowiedzi z kasy";

TEST(Konsola, ProgressText) {
    struct Case {
        const char* label;
        int done, all;
        double seconds;
        const char* text;
    };
    const Case cases[] = {
        {"Odczytuje bazę PLU", 0, 19201, 0.2, "Odczytuje bazę PLU: 0/19201 (0%), 0:00"},
        {"Odczytuje bazę PLU", 4800, 19201, 10, "Odczytuje bazę PLU: 4800/19201 (24%), 0:10, zostało ok. 0:30"},
        {"", 1, 2, 4000, "1/2 (50%), 1:06:40, zostało ok. 1:06:40"},
        {"x", 150, 100, 1, "x: 100/100 (100%), 0:01, zostało ok. 0:00"},  // a bar stops at its maximum
    };
    for (const Case& c : cases) EXPECT_EQ(ProgressText(c.label, c.done, c.all, c.seconds), c.text);

    // One register's line among several.
    const Case shortCases[] = {
        {"Wysyłam bazę PLU", 0, 9600, 0.2, "Wysyłam bazę PLU 0 z 9600"},
        {"Wysyłam bazę PLU", 1200, 9600, 10, "Wysyłam bazę PLU 1200 z 9600, zostało ok. 1:10"},
        {"x", 150, 100, 1, "x 100 z 100"},
    };
    for (const Case& c : shortCases) EXPECT_EQ(ShortProgressText(c.label, c.done, c.all, c.seconds), c.text);
}

TEST(Wiele, FileNamesOfRegistersAndPorts) {
    struct Case {
        const char* pattern;
        const char* serial;
        const char* file;
    };
    const Case files[] = {
        {"sklep.pod", "123456", "sklep-123456.pod"},
        {"dane/sklep.pod", " AB 12/3 ", "dane/sklep-AB_12_3.pod"},  // no folder made of a number
        {"C:\\Sklep\\dane.v2.pod", "12\\..", "C:\\Sklep\\dane.v2-12___.pod"},
        {"a.b/sklep", "\xA3\xD3" "D\xAF", "a.b/sklep-__D_"},  // Windows-1250 letters
        {"sklep.pod", "", "sklep-bez-numeru.pod"},
    };
    for (const Case& c : files) EXPECT_EQ(RegisterFileName(c.pattern, c.serial), c.file) << c.pattern;

    const std::pair<const char*, const char*> logs[] = {
        {"COM3", "LogFile-COM3.log"},
        {"/dev/ttyUSB0", "LogFile-ttyUSB0.log"},
        {"/dev/pts/12", "LogFile-pts_12.log"},
        {"\\\\.\\COM10", "LogFile-COM10.log"},
    };
    for (const auto& [port, log] : logs) EXPECT_EQ(PortLogName(port), log) << port;
}

// The block of progress lines: drawn in place (up by its own height, every
// line cleared to its end), never wider than the terminal, taken away at the
// end; nothing at all when not drawn.
TEST(Wiele, ProgressBlockRedrawnInPlace) {
    for (bool draw : {false, true}) {
        SCOPED_TRACE(draw);
        std::ostringstream err;
        {
            ProgressBoard board(err, 2, draw, 21);
            board.SetTitle(0, "COM3");
            board.SetTitle(1, "COM4");
            board.SetProgress(1, "Wysyłam bazę PLU 12 z 9600");
            board.Clear();
        }
        if (!draw) {
            EXPECT_EQ(err.str(), "");
            continue;
        }
        EXPECT_EQ(err.str(),
                  "\rCOM3\x1b[K\n\r\x1b[K\n"
                  "\x1b[2A\rCOM3\x1b[K\n\rCOM4\x1b[K\n"
                  "\x1b[2A\rCOM3\x1b[K\n\rCOM4 Wysyłam bazę PL\x1b[K\n"
                  "\x1b[2A\r\x1b[J");
    }
}

TEST(Konsola, PolishPlural) {
    const std::pair<long long, const char*> cases[] = {
        {1, "1 rekord"}, {3, "3 rekordy"}, {5, "5 rekordów"}, {12, "12 rekordów"}, {22, "22 rekordy"}, {101, "101 rekordów"},
    };
    for (const auto& [n, text] : cases) EXPECT_EQ(CountWithNoun(n, "rekord", "rekordy", "rekordów"), text);
}

TEST(Konsola, MissingRepliesStopAfterThreeInARow) {
    // Each step: 'm' a missing reply, 'b' a byte from the register, 's' a
    // progress step (the next record).
    struct Case {
        const char* steps;
        bool stopped;
        int missing, records;
    };
    const Case cases[] = {
        {"mmm", true, 3, 1},
        {"smsmsm", true, 3, 3},
        {"smbsmbsmbsm", false, 4, 4},  // a reply between: never three in a row
        {"smsmbsmsmsm", true, 5, 5},
        {"smmsm", true, 3, 2},         // two missing replies of one record (data and status)
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        std::ostringstream err;
        LineActivity line;
        std::atomic<bool> interrupt{false};
        ConsoleUi::Options o;
        o.activity = &line;
        o.interrupt = &interrupt;
        ConsoleUi ui(err, o);
        ui.ProgressShow(UiBar::Main, 100);
        for (const char* s = c.steps; *s; ++s) {
            if (*s == 'm') ui.Message(kNoReply, "Uwaga!", UiIcon::Warning);
            if (*s == 'b') ++line.bytesIn;
            if (*s == 's') ui.ProgressStep(UiBar::Main, 1);
        }
        EXPECT_EQ(ui.StopRequested(), c.stopped);
        EXPECT_EQ(ui.Silenced(), c.stopped);
        EXPECT_EQ(ui.MissingReplies(), c.missing);
        if (c.steps[0] == 's') {
            EXPECT_EQ(ui.RecordsWithoutReply(), c.records);
        }
        EXPECT_FALSE(ui.Interrupted());
        EXPECT_EQ(err.str(), "");  // counted, never printed
        interrupt = true;
        EXPECT_TRUE(ui.StopRequested());
        EXPECT_TRUE(ui.Interrupted());
    }
}

TEST(Konsola, MessagesAreKeptAsOneLineAndQuestionsAnsweredNo) {
    std::ostringstream err;
    ConsoleUi ui(err, {});
    ui.Message("Uruchom w kasie tryb komunikacji", "", UiIcon::None);
    ui.Message("Programowanie nagłówka z komputera\rjest możliwe tylko w trybie szkoleniowym", "", UiIcon::None);
    ui.Message("Towar spoza zakresu ustalonego w konfiguracji kasy", "", UiIcon::None);
    EXPECT_EQ(ui.Problems(), (std::vector<std::string>{
                                 "Programowanie nagłówka z komputera jest możliwe tylko w trybie szkoleniowym",
                                 "Towar spoza zakresu ustalonego w konfiguracji kasy"}));
    EXPECT_FALSE(ui.Question("Pobierasz bazę z innej kasy niż masz podłączoną\rCzy zmienić typ kasy w programie?",
                             "Uwaga!", UiIcon::Information));
    EXPECT_FALSE(ui.Input("Podaj", "Tytuł", "0").has_value());
    EXPECT_EQ(err.str(), "");
}

TEST(Konsola, ProgressLineRewrittenOnlyWhenAsked) {
    double now = 0;
    for (bool progress : {false, true}) {
        SCOPED_TRACE(progress);
        std::ostringstream err;
        ConsoleUi::Options o;
        o.progress = progress;
        o.clock = [&] { return now; };
        ConsoleUi ui(err, o);
        ui.SetLabel(UiLabel::Progress, "Całkowity postęp:\tOdczytuje bazę PLU");
        ui.ProgressShow(UiBar::Main, 4);
        for (int k = 0; k < 4; ++k) {
            now += 1;
            ui.ProgressStep(UiBar::Main, 1);
        }
        ui.ProgressHide(UiBar::Main);
        const std::string text = err.str();
        if (!progress) {
            EXPECT_EQ(text, "");
            continue;
        }
        EXPECT_EQ(text.find('\n'), std::string::npos);  // one line, rewritten
        EXPECT_NE(text.find("\rOdczytuje bazę PLU: 2/4 (50%), 0:02, zostało ok. 0:02"), std::string::npos) << text;
        EXPECT_NE(text.find("\rOdczytuje bazę PLU: 4/4 (100%)"), std::string::npos) << text;
        // Hidden: the line is blanked and the cursor back at its start.
        EXPECT_EQ(text.back(), '\r');
    }
}

TEST(Polecenia, WrongUsageGivesOneLineAndStatus2) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;  // the start of the line
    };
    const Case cases[] = {
        {{}, kExitUsage, "Nie podano polecenia"},
        {{"odczyt"}, kExitUsage, "Nieznane polecenie: odczyt"},
        {{"read"}, kExitUsage, "Użycie: zeltra-kasa read [TABELA] PLIK.pod"},
        {{"read", "plu"}, kExitUsage, "Brak nazwy pliku"},
        {{"read", "towary", "a.pod"}, kExitUsage, "Nieznana tabela: towary"},
        {{"send", "a.pod", "plu", "x"}, kExitUsage, "Użycie: zeltra-kasa send PLIK.pod [TABELA]"},
        {{"delete", "ptu"}, kExitUsage, "W kasie można usuwać rekordy tabel"},
        {{"delete", "wszystkie"}, kExitUsage, "W kasie można usuwać rekordy tabel"},
        {{"delete", "plu", "0"}, kExitUsage, "Zły numer rekordu: 0"},
        {{"delete", "plu", "12a"}, kExitUsage, "Zły numer rekordu: 12a"},
        {{"info", "teraz"}, kExitUsage, "Użycie: zeltra-kasa info"},
        {{"info", "--tryb", "4"}, kExitUsage, "Tryb obsługi błędów musi być liczbą 0-3: 4"},
        {{"info", "--baud=14400"}, kExitUsage, "Prędkość musi wynosić 9600, 19200 lub 38400: 14400"},
        {{"info", "--timeout", "0"}, kExitUsage, "Czas oczekiwania musi być liczbą sekund większą od zera: 0"},
        {{"info", "--port"}, kExitUsage, "Opcja --port wymaga wartości"},
        {{"info", "--szybko"}, kExitUsage, "Nieznana opcja: --szybko"},
        {{"info", "--force=tak"}, kExitUsage, "Opcja --force nie przyjmuje wartości"},
        {{"send", "nie-ma-takiego-pliku.pod"}, kExitFile, "Nie ma pliku nie-ma-takiego-pliku.pod\n"},
        // Two sessions on one port would take each other's replies.
        {{"info", "--port", "COM3,COM4,COM3"}, kExitUsage, "Port COM3 podano dwa razy"},
        {{"info", "--port=COM3,,COM4"}, kExitUsage, "Opcja --port wymaga nazwy portu"},
        {{"info", "--port", "COM3,"}, kExitUsage, "Opcja --port wymaga nazwy portu"},
        {{"--port", "COM3,COM4", "delete", "plu"}, kExitUsage, "Kilka portów naraz obsługują tylko polecenia"},
        {{"--port", "COM3,COM4", "fiscal"}, kExitUsage, "Kilka portów naraz obsługują tylko polecenia"},
        {{"read", "--zmiany", "a.pod"}, kExitUsage, "Opcja --zmiany dotyczy tylko polecenia send"},
        // The file is checked once, before any of the ports is opened.
        {{"--port", "COM3,COM4", "send", "nie-ma.pod", "--zmiany"}, kExitFile, "Nie ma pliku nie-ma.pod\n"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        std::ostringstream out, err;
        EXPECT_EQ(RunTool(c.args, out, err), c.status);
        EXPECT_EQ(out.str(), "");
        const std::string line = err.str();
        EXPECT_EQ(line.rfind(c.err, 0), 0u) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    }
}

}  // namespace
