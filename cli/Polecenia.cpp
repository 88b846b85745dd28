// zeltra-kasa's command line: the options, which command runs, on one port
// or on several, and the help.
#include "Polecenia.h"

#include <cctype>
#include <mutex>
#include <set>

#include "Komendy.h"
#include "Pliki.h"
#include "Polaczenie.h"
#include "Profile.h"
#include "Wersja.h"
#include "Wiele.h"

using namespace cli;

namespace {

std::string VersionLine() {
    const VersionNumbers v = VersionInfo();
    return "zeltra-kasa " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.release) + "." + std::to_string(v.build) + "\n";
}

// The table argument of read, send and delete.
bool TableArgument(const std::string& word, const TabInfo*& tab, std::ostream& err, int& status) {
    const auto t = ParseTable(word);
    if (!t) {
        status = Usage(err, "Nieznana tabela: " + word + "; tabele: " + kTableNames);
        return false;
    }
    tab = *t;
    return true;
}

}  // namespace

std::string HelpText() {
    return "Użycie: zeltra-kasa [opcje] POLECENIE [argumenty]\n"
           "\n"
           "Polecenia:\n"
           "  info                     identyfikacja kasy, informacje kasowe, numer unikatowy i zegar\n"
           "  read [TABELA] PLIK.pod   odczyt tabeli (bez TABELA: wszystkich) z kasy do pliku z danymi\n"
           "  send PLIK.pod [TABELA]   wysłanie tabeli (bez TABELA: wszystkich) z pliku z danymi do kasy\n"
           "  send PLIK.pod [TABELA] --zmiany\n"
           "                           wysłanie tylko rekordów zmienionych od ostatniego pełnego odczytu\n"
           "                           lub wysłania (kopia stanu kasy); bez kopii nic nie wysyła\n"
           "  delete TABELA [NUMER]    usunięcie w kasie rekordu o numerze NUMER albo całej tabeli\n"
           "  clock                    ustawienie zegara kasy na czas komputera\n"
           "  fiscal [PLIK.csv]        odczyt pamięci fiskalnej do pliku CSV (bez pliku: na ekran)\n"
           "  csv-export TABELA PLIK.pod PLIK.csv|PLIK.xlsx\n"
           "                           tabela z pliku z danymi do arkusza (CSV, UTF-8, separator ;)\n"
           "                           albo, gdy plik ma rozszerzenie .xlsx, do skoroszytu Excela\n"
           "  csv-import TABELA PLIK.csv|PLIK.xlsx|PLIK.ods PLIK.pod\n"
           "                           tabela z arkusza do pliku z danymi; każdy wiersz sprawdzany\n"
           "                           jak przy wpisywaniu, błędne wiersze wypisane z numerami\n"
           "                           (w skoroszycie: wiersza i kolumny arkusza);\n"
           "                           uwagi (np. zachowany kod z zerami z przodu) z „Uwaga:”\n"
           "  ports                    lista portów szeregowych\n"
           "  detect [PORT...]         wyszukanie kasy na portach (bez PORT: na wszystkich)\n"
           "                           przy 9600, 19200 i 38400 Bd\n"
           "\n"
           "TABELA: opakowania (1), plu (2), kasjerzy (3), klawisze (4), rabaty (5), formy (6),\n"
           "naglowek (7), ptu (8) albo wszystkie. Wysłanie wszystkich obejmuje nagłówek i stawki PTU\n"
           "tylko w trybie szkoleniowym kasy.\n"
           "\n"
           "Opcje (zastępują ustawienia z config.cfg w katalogu roboczym):\n"
           "  --port NAZWA   port szeregowy (COM1, /dev/ttyUSB0); kilka po przecinku: COM3,COM4,COM5\n"
           "  --baud N       prędkość: 9600, 19200 lub 38400\n"
           "  --timeout S    czas oczekiwania na odpowiedź kasy, w sekundach\n"
           "  --tryb N       tryb obsługi błędów 0-3\n"
           "  --force        wysyła plik z danymi także do kasy innego modelu\n"
           "  --zmiany       send: tylko zmienione rekordy\n"
           "  --postep       pokazuje postęp także wtedy, gdy wyjście błędów nie jest terminalem\n"
           "  --poprawne     csv-import: wczytuje poprawne wiersze mimo błędnych (bez niej: nic)\n"
           "  --zastap       csv-import: usuwa z tabeli rekordy, których nie ma w pliku CSV\n"
           "  --cp1250       csv-export: plik w kodowaniu Windows-1250 zamiast UTF-8\n"
           "  -h, --help     ta pomoc\n"
           "  --version      wersja programu\n"
           "\n"
           "Kody wyjścia:\n"
           "  0    wykonano\n"
           "  1    kasa nie odpowiada albo odmówiła (jej komunikat); send --zmiany bez aktualnej kopii stanu kasy\n"
           "  2    błędne wywołanie\n"
           "  3    nie można otworzyć portu (detect: żadnego z portów)\n"
           "  4    nie można odczytać lub zapisać pliku albo plik CSV ma błędne wiersze\n"
           "  5    plik z danymi jest dla innego modelu kasy (nic nie wysłano)\n"
           "  130  przerwano klawiszami Ctrl+C\n"
           "\n"
           "Kilka kas naraz (--port z kilkoma portami): send, read, info i clock działają na wszystkich\n"
           "portach jednocześnie, każda kasa z własną prędkością i własnym postępem. read zapisuje\n"
           "plik każdej kasy osobno, z jej numerem fabrycznym w nazwie: PLIK.pod -> PLIK-123456.pod.\n"
           "Na końcu jeden wiersz wyniku na kasę, w kolejności portów (\"COM3 (nr 123456): ...\").\n"
           "Kod wyjścia to najpoważniejszy z kodów kas, czyli najwyższy: 130, 5, 4, 3, 1, 0.\n"
           "Z logowaniem transmisji każdy port ma własny plik: LogFile-COM3.log.\n";
}

namespace {

// info, clock, read and send on every port given, at once.
int OnSeveralPorts(const std::string& command, const std::vector<std::string>& a, const Options& o,
                   const ToolEnvironment& env, std::ostream& out, std::ostream& err, const TabInfo* tab,
                   const SendFile* send, const Profile* file) {
    if (command == "info")
        return RunOnPorts(o.ports, env, o, out, err, true, [](Session& s, std::ostream& block, std::string&) {
            return Info(s, block);
        });
    if (command == "clock")
        return RunOnPorts(o.ports, env, o, out, err, false, [](Session& s, std::ostream& line, std::string&) {
            return Clock(s, line);
        });
    if (command == "send")
        return RunOnPorts(o.ports, env, o, out, err, false, [&](Session& s, std::ostream& sent, std::string& done) {
            done = send->tab ? std::string("Wysłano ") + send->tab->object : "Wysłano dane z pliku " + send->shown;
            return Send(s, *send, *file, o, sent);
        });
    // read: one file per register, named by its serial number. Two registers
    // with one number would write one file: the second reads nothing.
    const std::string pattern = WithPodExtension(a.back());
    std::mutex claimedMutex;
    std::set<std::string> claimed;  // lower case: one file on Windows whatever the case
    return RunOnPorts(o.ports, env, o, out, err, false, [&](Session& s, std::ostream&, std::string& done) {
        const std::string shown = RegisterFileName(pattern, s.id.serial);
        std::string key = shown;
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        {
            std::lock_guard<std::mutex> lock(claimedMutex);
            if (!claimed.insert(key).second)
                return s.Fail(kExitFile, "Inna kasa ma ten sam numer fabryczny i zapisuje plik " + shown +
                                             "; nic nie odczytano");
        }
        done = "Zapisano " + shown;
        return Read(s, tab, InWorkDir(env, shown), shown);
    });
}

}  // namespace

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const ToolEnvironment& env) {
    Options o;
    if (const std::string e = ParseArgs(args, o); !e.empty()) return Usage(err, e);
    if (o.help) {
        out << HelpText();
        return kExitDone;
    }
    if (o.version) {
        out << VersionLine();
        return kExitDone;
    }
    if (o.words.empty()) return Usage(err, "Nie podano polecenia");

    const std::string command = Lower(o.words[0]);
    const std::vector<std::string> a(o.words.begin() + 1, o.words.end());
    auto wrongCount = [&](const char* form) { return Usage(err, std::string("Użycie: zeltra-kasa ") + form); };
    int status = kExitDone;
    if (o.changes && command != "send") return Usage(err, "Opcja --zmiany dotyczy tylko polecenia send");
    const bool several = o.ports.size() > 1;
    SessionPlace place;
    if (!o.ports.empty()) place.port = o.ports.front();

    if (command == "ports") {
        if (!a.empty()) return wrongCount("ports");
        return Ports(out, err);
    }
    if (command == "detect") return Detect(a, out, err, env, o);
    if (command == "info" || command == "clock") {
        if (!a.empty()) return wrongCount(command == "info" ? "info" : "clock");
        if (several) return OnSeveralPorts(command, a, o, env, out, err, nullptr, nullptr, nullptr);
        Session s(env, o, err, place);
        if (int c = s.Connect()) return c;
        return command == "info" ? Info(s, out) : Clock(s, out);
    }
    if (command == "read") {
        if (a.empty() || a.size() > 2) return wrongCount("read [TABELA] PLIK.pod");
        const TabInfo* tab = nullptr;
        if (a.size() == 2 && !TableArgument(a[0], tab, err, status)) return status;
        // "read plu" most likely lacks its file, rather than naming plu.pod.
        if (a.size() == 1 && ParseTable(a[0])) return Usage(err, "Brak nazwy pliku: zeltra-kasa read [TABELA] PLIK.pod");
        if (several) return OnSeveralPorts(command, a, o, env, out, err, tab, nullptr, nullptr);
        const std::string shown = WithPodExtension(a.back());
        const std::string path = InWorkDir(env, shown);
        Session s(env, o, err, place);
        if (int c = s.Connect()) return c;
        return Read(s, tab, path, shown);
    }
    if (command == "send") {
        if (a.empty() || a.size() > 2) return wrongCount("send PLIK.pod [TABELA]");
        SendFile f;
        if (a.size() == 2 && !TableArgument(a[1], f.tab, err, status)) return status;
        f.shown = a[0];
        f.path = InWorkDir(env, f.shown);
        std::string content;
        Profile file;
        if (int c = CheckSendFile(f, content, file, err)) return c;
        if (several) return OnSeveralPorts(command, a, o, env, out, err, f.tab, &f, &file);
        Session s(env, o, err, place);
        if (int c = s.Connect()) return c;
        return Send(s, f, file, o, out);
    }
    if (several && (command == "delete" || command == "fiscal"))
        return Usage(err, "Kilka portów naraz obsługują tylko polecenia send, read, info i clock");
    if (command == "delete") {
        if (a.empty() || a.size() > 2) return wrongCount("delete TABELA [NUMER]");
        const TabInfo* tab = nullptr;
        if (!TableArgument(a[0], tab, err, status)) return status;
        if (!tab || tab->tab >= kFirstUndeletableTab)
            return Usage(err, "W kasie można usuwać rekordy tabel: opakowania, plu, kasjerzy, klawisze, rabaty, formy");
        std::optional<std::string> number;
        if (a.size() == 2) {
            const auto n = ConfigWholeNumber(a[1]);
            if (!n || *n < 1) return Usage(err, "Zły numer rekordu: " + a[1]);
            number = std::to_string(*n);
        }
        Session s(env, o, err, place);
        if (int c = s.Connect()) return c;
        return Delete(s, *tab, number);
    }
    if (command == "csv-export" || command == "csv-import") {
        const bool exporting = command == "csv-export";
        if (a.size() != 3)
            return wrongCount(exporting ? "csv-export TABELA PLIK.pod PLIK.csv|PLIK.xlsx"
                                        : "csv-import TABELA PLIK.csv|PLIK.xlsx|PLIK.ods PLIK.pod");
        const TabInfo* tab = nullptr;
        if (!TableArgument(a[0], tab, err, status)) return status;
        if (!tab) return Usage(err, "Podaj jedną tabelę: " + std::string(kTableNames));
        if (exporting) return CsvExport(*tab, InWorkDir(env, a[1]), a[1], InWorkDir(env, a[2]), a[2], o.cp1250, out, err);
        return CsvImport(*tab, InWorkDir(env, a[1]), a[1], InWorkDir(env, a[2]), a[2], o, out, err);
    }
    if (command == "fiscal") {
        if (a.size() > 1) return wrongCount("fiscal [PLIK.csv]");
        std::optional<std::string> path;
        if (!a.empty()) path = InWorkDir(env, a[0]);
        Session s(env, o, err, place);
        if (int c = s.Connect()) return c;
        return Fiscal(s, out, path, a.empty() ? std::string() : a[0]);
    }
    return Usage(err, "Nieznane polecenie: " + o.words[0]);
}
