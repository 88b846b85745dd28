#include "Polecenia.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>

#include "Arkusz.h"
#include "Cp1250.h"
#include "Dysk.h"
#include "Fmreader.h"
#include "Konsola.h"
#include "NativeSerialPort.h"
#include "Pliki.h"
#include "Polaczenie.h"
#include "Pomoc.h"
#include "Porty.h"
#include "Profile.h"
#include "Przebieg.h"
#include "Sekwencje.h"
#include "Tabele.h"
#include "Wersja.h"
#include "Wykrywanie.h"


namespace {

// ---- tables by name -----------------------------------------------------------

struct TabInfo {
    const char* name;  // as typed on the command line
    int tab;           // the window's tab number, also accepted as the name
    TableId table;
    const char* object;  // what the progress line and the messages call it
    void (*read)(Connection&, TableSet&);
    void (*send)(Connection&, const TableSet&);
    // Where a data file holds the table: a section and its first key (the
    // discounts' pair also under DOPLATY).
    const char* section;
    const char* firstKey;
};

const TabInfo kTabs[] = {
    {"opakowania", 1, TableId::Packaging, "bazę opakowań", ReadPackagingTable, SendPackagingTable, "OPAKOWANIA", "Opak1"},
    {"plu", 2, TableId::Plu, "bazę PLU", ReadPluTable, SendPluTable, "TOWARY", "Plu1"},
    {"kasjerzy", 3, TableId::Cashier, "bazę kasjerów", ReadCashierTable, SendCashierTable, "KASJERZY", "Kasjer1"},
    {"klawisze", 4, TableId::Key, "bazę klawiszy", ReadKeyTable, SendKeyTable, "KLAWISZE", "Klawisz1"},
    {"rabaty", 5, TableId::Discount, "bazę rabatów/dopłat", ReadDiscountTable, SendDiscountTable, "RABATY", "Rabat1"},
    {"formy", 6, TableId::PaymentForm, "bazę form płatności", ReadPaymentFormTable, SendPaymentFormTable, "FORMY",
     "Forma1"},
    {"naglowek", 7, TableId::Header, "nagłówek", ReadHeader, SendHeader, "NAGLOWEK", "Linja1"},
    {"ptu", 8, TableId::Ptu, "stawki PTU", ReadPtuRates, SendPtuRates, "PTU", "Ptu1"},
};

// The data file holds the table. A table it lacks would load as empty rows:
// harmless for the record tables (empty rows send nothing) but an empty
// header or zero rates would overwrite the register's own.
bool InFile(const Profile& file, const TabInfo& tab) {
    return file.Has(tab.section, tab.firstKey) || (tab.tab == 5 && file.Has("DOPLATY", "Doplata5"));
}

constexpr int kFirstUndeletableTab = 7;  // the header and the PTU rates have no deletion

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A table word: nothing when it names no table; a null entry for all tables.
std::optional<const TabInfo*> ParseTable(const std::string& word) {
    const std::string w = Lower(word);
    if (w == "wszystkie") return nullptr;
    for (const TabInfo& t : kTabs)
        if (w == t.name || w == std::to_string(t.tab)) return &t;
    return std::nullopt;
}

const char* const kTableNames = "opakowania, plu, kasjerzy, klawisze, rabaty, formy, naglowek, ptu (lub 1-8)";

// ---- options ------------------------------------------------------------------

struct Options {
    std::optional<std::string> port;
    std::optional<int> baud;
    std::optional<int> pollLimit;
    std::optional<int> errorMode;
    bool force = false;
    bool progress = false;
    bool replace = false;   // csv-import: records the file lacks are removed
    bool goodRows = false;  // csv-import: the good rows are taken despite bad ones
    bool cp1250 = false;    // csv-export: the file in Windows-1250 instead of UTF-8
    bool help = false;
    bool version = false;
    std::vector<std::string> words;  // the command and its arguments
};

// Fills `o`; the error line when an option is wrong, empty otherwise.
std::string ParseArgs(const std::vector<std::string>& args, Options& o) {
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnd || a.size() < 2 || a[0] != '-') {
            o.words.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnd = true;
            continue;
        }
        std::string name = a, value;
        bool hasValue = false;
        if (const std::size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            hasValue = true;
        }
        // Options without a value.
        const std::pair<const char*, bool*> flags[] = {
            {"-h", &o.help},          {"--help", &o.help},      {"--version", &o.version},
            {"--force", &o.force},    {"--postep", &o.progress}, {"--zastap", &o.replace},
            {"--poprawne", &o.goodRows}, {"--cp1250", &o.cp1250},
        };
        bool* flag = nullptr;
        for (const auto& [flagName, target] : flags)
            if (name == flagName) flag = target;
        if (flag) {
            if (hasValue) return "Opcja " + name + " nie przyjmuje wartości";
            *flag = true;
            continue;
        }
        if (name != "--port" && name != "--baud" && name != "--timeout" && name != "--tryb")
            return "Nieznana opcja: " + a;
        if (!hasValue) {
            if (i + 1 >= args.size()) return "Opcja " + name + " wymaga wartości";
            value = args[++i];
        }
        if (name == "--port") {
            if (value.empty()) return "Opcja --port wymaga nazwy portu";
            o.port = value;
        } else if (name == "--baud") {
            const auto baud = ConfigWholeNumber(value);
            if (!baud || (*baud != 9600 && *baud != 19200 && *baud != 38400))
                return "Prędkość musi wynosić 9600, 19200 lub 38400: " + value;
            o.baud = baud;
        } else if (name == "--timeout") {
            const auto polls = ConfigPollLimit(value);
            if (!polls) return "Czas oczekiwania musi być liczbą sekund większą od zera: " + value;
            o.pollLimit = polls;
        } else {
            const auto mode = ConfigWholeNumber(value);
            if (!mode || *mode < 0 || *mode > 3) return "Tryb obsługi błędów musi być liczbą 0-3: " + value;
            o.errorMode = mode;
        }
    }
    return {};
}

// ---- files --------------------------------------------------------------------

bool IsAbsolute(const std::string& p) {
#ifdef _WIN32
    return (!p.empty() && (p[0] == '\\' || p[0] == '/')) || (p.size() >= 2 && p[1] == ':');
#else
    return !p.empty() && p[0] == '/';
#endif
}

// A file name as the command line gives it, taken from the working folder.
std::string InWorkDir(const ToolEnvironment& env, const std::string& path) {
    if (env.workDir.empty() || IsAbsolute(path)) return path;
    return env.workDir + "/" + path;
}

// Typ_kasy of a data file, read as the data file code reads it (a value that
// is no model index counts as 0); nothing when the file has no such entry.
std::optional<int> FileModel(const Profile& p) {
    if (!p.Has("KASA", "Typ_kasy")) return std::nullopt;
    const std::string v = p.Get("KASA", "Typ_kasy", "0");
    if (v.size() != 1 || v[0] < '0' || v[0] >= '0' + kModelCount) return 0;
    return v[0] - '0';
}

std::string ModelName(int model) {
    if (model == 3) return kModel20kText;
    return model >= 0 && model < kModelCount ? kModelTexts[model] : "?";
}

// ---- one run ------------------------------------------------------------------

// What every register command shares: the connection with its console Ui,
// the port counted, the table set, and the start-up's result.
class Session {
public:
    Session(const ToolEnvironment& env, const Options& options, std::ostream& err)
        : env_(env), options_(options), ui(err, UiOptions(env, options, activity_)) {
        link.SetUi(&ui);
    }
    ~Session() {
        // Frames written in modes 0 and 1 are waited out before the port closes.
        if (connected_) link.Port().Drain(1000);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the port and starts up as the window does: error-handling mode,
    // identification, the identified model with the configured PLU rule, the
    // status reply. kExitDone, or the failure's status with its line shown.
    int Connect() {
        Configuration c = ReadConfiguration(env_.workDir);
        if (options_.port) c.portName = *options_.port;
        if (options_.baud) c.baud = *options_.baud;
        if (options_.pollLimit) c.pollLimit = *options_.pollLimit;
        if (options_.errorMode) c.errorMode = *options_.errorMode;

        link.UsePort(std::make_unique<CountingPort>(std::make_unique<NativeSerialPort>(), activity_));
        // Start-up does not look at the port: a port that cannot be opened is
        // told apart here, before the second's purge and the reply time-outs.
        link.Settings().baud = c.baud;
        if (!link.OpenPort(c.portName)) return Fail(kExitPort, "Nie można otworzyć portu " + c.portName);
        connected_ = true;
        id = StartUp(link, c, tables);
        if (ui.Interrupted()) return Fail(kExitInterrupted, "Przerwano (Ctrl+C)");
        if (!id.onLine)
            return Fail(kExitRegister, "Kasa nie odpowiada na porcie " + c.portName +
                                           " (czy w kasie włączono tryb komunikacji?)");
        // A status reply lost at start-up is no part of the command's work.
        ui.ResetMissing();
        return kExitDone;
    }

    int Fail(int status, const std::string& line) {
        ui.Note(line);
        return status;
    }

    // How a register command ended: interrupted, replies missing, a message
    // from the register (or the core), or done. `tail` says what that means
    // for the command's file or the register.
    int Outcome(const std::string& tail = {}, const char* one = "rekord", const char* few = "rekordy",
                const char* many = "rekordów") {
        const std::string rest = tail.empty() ? std::string() : "; " + tail;
        if (ui.Interrupted()) return Fail(kExitInterrupted, "Przerwano (Ctrl+C)" + rest);
        if (ui.MissingReplies() > 0) {
            const std::string count = CountWithNoun(ui.RecordsWithoutReply(), one, few, many);
            if (ui.Silenced())
                return Fail(kExitRegister, "Kasa przestała odpowiadać (" + count + " bez odpowiedzi), przerwano" + rest);
            // Which records: a wrong or missing reply is never taken for an
            // empty record, so the person learns what the file would lack.
            const std::string which = TransferMissedText(link);
            return Fail(kExitRegister, "Brak odpowiedzi z kasy: " + count + " bez odpowiedzi" +
                                           (which.empty() ? std::string() : " (" + which + ")") + rest);
        }
        if (!ui.Problems().empty()) {
            std::string line = ui.Problems().front();
            if (ui.Problems().size() > 1)
                line += " (łącznie " +
                        CountWithNoun(static_cast<long long>(ui.Problems().size()), "komunikat", "komunikaty",
                                      "komunikatów") +
                        ")";
            return Fail(kExitRegister, line + rest);
        }
        return kExitDone;
    }

    bool Failed() const {
        return ui.Interrupted() || ui.MissingReplies() > 0 || !ui.Problems().empty();
    }

private:
    static ConsoleUi::Options UiOptions(const ToolEnvironment& env, const Options& options,
                                        const LineActivity& activity) {
        ConsoleUi::Options o;
        o.progress = env.stderrIsTerminal || options.progress;
        o.interrupt = env.interrupt;
        o.activity = &activity;
        return o;
    }

    const ToolEnvironment& env_;
    const Options& options_;
    LineActivity activity_;
    bool connected_ = false;

public:
    ConsoleUi ui;
    Connection link;
    TableSet tables;
    Identification id;
};

// ---- commands -----------------------------------------------------------------

int Usage(std::ostream& err, const std::string& line) {
    err << line << " (pomoc: zeltra-kasa --help)\n";
    return kExitUsage;
}

int Info(Session& s, std::ostream& out) {
    const std::string block = ReadRegisterState(s.link);
    const std::string unique = ReadUniqueNumber(s.link);
    const std::string clock = ReadRegisterClock(s.link);
    if (s.Failed()) return s.Outcome({}, "polecenie", "polecenia", "poleceń");

    const auto values = RegisterInfoValues(Cp1250ToUtf8(s.id.shownModel), Cp1250ToUtf8(s.id.serial),
                                           Cp1250ToUtf8(s.id.version), unique, block, clock);
    const auto& names = RegisterInfoNames();
    // "Name:" and the values in one column; a mode the block does not name shows "?".
    std::size_t width = 0;
    for (const char* n : names) width = std::max(width, DisplayWidth(n));
    for (int r = 0; r < kInfoRows; ++r) {
        const std::string name = names[static_cast<std::size_t>(r)];
        const auto& v = values[static_cast<std::size_t>(r)];
        out << name << ':' << std::string(width - DisplayWidth(name) + 1, ' ') << (v ? *v : std::string("?")) << '\n';
    }
    return kExitDone;
}

int Read(Session& s, const TabInfo* tab, const std::string& path, const std::string& shownPath) {
    const std::string notWritten = "plik " + shownPath + " nie został zapisany";
    if (tab) {
        s.ui.SetTask(std::string("Odczytuję ") + tab->object);
        tab->read(s.link, s.tables);
    } else {
        ReadAllTables(s.link, s.tables);
    }
    // A file that would lack records without saying so is not written: the
    // old one stays as it was.
    if (s.Failed()) return s.Outcome(notWritten);
    s.ui.SetTask("Zapisuję plik");
    const bool saved = tab ? SaveTableFile(s.tables, tab->tab, path) : SaveDataFile(s.tables, path);
    if (!saved) return s.Fail(kExitFile, "Nie można zapisać pliku " + shownPath);
    return kExitDone;
}

int Send(Session& s, const TabInfo* tab, const std::string& path, const std::string& shownPath,
         const Profile& file, bool force) {
    const int model = s.tables.Model();
    if (const auto fileModel = FileModel(file); fileModel && *fileModel != model) {
        if (!force)
            return s.Fail(kExitModel, "Plik " + shownPath + " jest dla kasy " + ModelName(*fileModel) +
                                          ", a podłączona kasa to " + ModelName(model) +
                                          "; nic nie wysłano (--force wysyła mimo to)");
        s.ui.Note("Plik " + shownPath + " jest dla kasy " + ModelName(*fileModel) + "; wysyłam w rozmiarach kasy " +
                  ModelName(model));
    }

    s.ui.SetTask("Wczytuję plik");
    const bool loaded = tab ? LoadTableFile(s.tables, tab->tab, path) : LoadDataFile(s.tables, path);
    if (!loaded) return s.Fail(kExitFile, "Nie można odczytać pliku " + shownPath);

    const std::string partly = "kasa otrzymała tylko część danych";
    if (!tab) {
        SendAllTables(s.link, s.tables);
        if (s.ui.StopRequested()) return s.Outcome(partly);
        // The header and the PTU rates only in training mode, as their tabs
        // allow; a fiscal register keeps its own and the run is still whole.
        const TabInfo& header = kTabs[6];
        const TabInfo& rates = kTabs[7];
        const bool hasHeader = InFile(file, header), hasRates = InFile(file, rates);
        if (!hasHeader && !hasRates) {
            s.ui.Note("Plik " + shownPath + " nie zawiera nagłówka ani stawek PTU: pominięto je");
        } else if (IsFiscalBlock(ReadRegisterState(s.link))) {
            s.ui.Note("Kasa jest w trybie fiskalnym: nagłówek i stawki PTU pominięto");
        } else {
            for (const TabInfo* t : {&header, &rates}) {
                if (!InFile(file, *t)) {
                    s.ui.Note("Plik " + shownPath + " nie zawiera tabeli " + t->name + ": pominięto ją");
                    continue;
                }
                s.ui.SetTask(std::string("Wysyłam ") + t->object);
                t->send(s.link, s.tables);
            }
        }
        return s.Outcome(s.ui.StopRequested() ? partly : std::string());
    }

    s.ui.SetTask(std::string("Wysyłam ") + tab->object);
    if (tab->table == TableId::Header || tab->table == TableId::Ptu) {
        // Refused in fiscal mode with the window's message.
        if (FiscalModeTest(s.link, tab->table == TableId::Header ? FiscalGuard::Header : FiscalGuard::PtuRates))
            tab->send(s.link, s.tables);
        return s.Outcome();
    }
    tab->send(s.link, s.tables);
    return s.Outcome(s.ui.StopRequested() ? partly : std::string());
}

int Delete(Session& s, const TabInfo& tab, const std::optional<std::string>& number) {
    if (number) {
        // Refusals (cashier 1) come as the core's message and change nothing.
        if (!DeleteRecord(s.link, s.tables, tab.table, *number)) {
            const std::string why = s.ui.Problems().empty() ? "Nie usunięto rekordu" : s.ui.Problems().back();
            return s.Fail(kExitUsage, why);
        }
        return s.Outcome({}, "polecenie", "polecenia", "poleceń");
    }
    s.ui.SetTask(std::string("Usuwam ") + tab.object);
    DeleteTable(s.link, s.tables, tab.table);
    return s.Outcome(s.ui.StopRequested() ? "usunięto tylko część rekordów" : std::string());
}

int Clock(Session& s, std::ostream& out) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    SetRegisterClock(s.link, local.tm_sec, local.tm_min, local.tm_hour, local.tm_mday, local.tm_mon + 1,
                     local.tm_year + 1900);
    const std::string clock = ReadRegisterClock(s.link);
    if (s.Failed()) return s.Outcome({}, "polecenie", "polecenia", "poleceń");
    out << RegisterInfoNames()[kInfoRows - 1] << ": " << Cp1250ToUtf8(clock) << '\n';
    return kExitDone;
}

const char* KindName(FiscalKind kind) {
    switch (kind) {
    case FiscalKind::DailyReport: return "Raport dobowy";
    case FiscalKind::PtuChange: return "Zmiana stawek PTU";
    default: return "Zerowanie RAM";
    }
}

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// One row per record in reading order. The columns are the kind, the running
// number, then every other column title of the three tables once, in the
// order met; a record fills its own and leaves the rest empty.
std::string FiscalCsv(const FiscalTables& tables, const std::vector<std::pair<FiscalKind, int>>& order) {
    std::vector<std::string> columns = {"Rodzaj", "Nr"};
    std::array<std::vector<std::size_t>, kFiscalKindCount> columnOf;
    for (const FiscalTable& t : tables) {
        auto& where = columnOf[static_cast<std::size_t>(t.Kind())];
        for (int c = 1; c < t.Columns(); ++c) {
            auto it = std::find(columns.begin(), columns.end(), t.Title(c));
            if (it == columns.end()) it = columns.insert(columns.end(), t.Title(c));
            where.push_back(static_cast<std::size_t>(it - columns.begin()));
        }
    }
    auto line = [](const std::vector<std::string>& cells) {
        std::string text;
        for (std::size_t i = 0; i < cells.size(); ++i) text += (i ? ";" : "") + CsvCell(cells[i]);
        return text + "\n";
    };
    std::string csv = line(columns);
    for (const auto& [kind, row] : order) {
        const FiscalTable& t = tables[static_cast<std::size_t>(kind)];
        std::vector<std::string> cells(columns.size());
        cells[0] = KindName(kind);
        cells[1] = t.Cell(0, row);
        const auto& where = columnOf[static_cast<std::size_t>(kind)];
        for (int c = 1; c < t.Columns(); ++c) cells[where[static_cast<std::size_t>(c - 1)]] = t.Cell(c, row);
        csv += line(cells);
    }
    return csv;
}

int Fiscal(Session& s, std::ostream& out, const std::optional<std::string>& path, const std::string& shownPath) {
    const std::string notWritten = path ? "plik " + shownPath + " nie został zapisany" : std::string();
    // As the window: a register in training mode has no fiscal memory to show.
    const std::string block = ReadRegisterState(s.link);
    if (s.Failed()) return s.Outcome(notWritten, "polecenie", "polecenia", "poleceń");
    if (block.size() >= 4 && block.compare(2, 2, "00") == 0)
        return s.Fail(kExitRegister, "Kasa jest w trybie szkoleniowym");

    FiscalTables tables = MakeFiscalTables();
    std::vector<std::pair<FiscalKind, int>> order;
    int asked = 0;
    FiscalReadHooks hooks;
    hooks.beforeRecord = [&] {
        if (asked++ > 0) s.ui.ProgressStep(UiBar::Main, 1);
    };
    hooks.stop = [&] { return s.ui.StopRequested(); };
    hooks.rowWritten = [&](FiscalKind kind, int row) { order.emplace_back(kind, row); };
    s.ui.SetTask("Odczytuję pamięć fiskalną");
    s.ui.ProgressShow(UiBar::Main, kFiscalRecordCount);
    ReadFiscalMemory(s.link, tables, hooks);
    s.ui.ProgressHide(UiBar::Main);
    // A record without a reply gives no row: such a list would look whole.
    if (s.Failed()) return s.Outcome(notWritten);

    const std::string csv = FiscalCsv(tables, order);
    if (!path) {
        out << csv;
        out.flush();
        return kExitDone;
    }
    if (!ReplaceWholeFile(*path, csv)) return s.Fail(kExitFile, "Nie można zapisać pliku " + shownPath);
    return kExitDone;
}

int Ports(std::ostream& out, std::ostream& err) {
    int n = 0;
    for (const auto& [name, description] : ListSerialPorts()) {
        out << name;
        if (!std::string(description).empty()) out << '\t' << description;
        out << '\n';
        ++n;
    }
    if (n == 0) err << "Nie znaleziono portów szeregowych\n";
    return kExitDone;
}

// Every port (those named, else all present) tried at every speed. A line
// per register found goes to `out` (port, speed, model, serial number,
// version, tab-separated), a line per other port to `err`. A register found
// is done, whatever the other ports did; none found is a register's failure
// when a port opened, and a port's failure, as for every other command,
// when none could be opened (missing or held by another program).
int Detect(const std::vector<std::string>& named, std::ostream& out, std::ostream& err, const ToolEnvironment& env,
           const Options& o) {
    std::vector<std::string> ports = named;
    if (ports.empty())
        for (const SerialPortInfo& p : ListSerialPorts()) ports.push_back(p.name);
    if (ports.empty()) {
        err << "Nie znaleziono portów szeregowych\n";
        return kExitPort;
    }
    ConsoleUi::Options uo;
    uo.progress = env.stderrIsTerminal || o.progress;
    uo.interrupt = env.interrupt;
    ConsoleUi ui(err, uo);
    ui.SetTask("Szukam kasy");
    int answered = 0, opened = 0;
    Connection none;  // the tool holds no port of its own while it searches
    for (const PortProbe& p : DetectRegister(none, ports, ui)) {
        opened += p.outcome == ProbeOutcome::Answered || p.outcome == ProbeOutcome::Silent;
        if (p.outcome != ProbeOutcome::Answered) {
            ui.Note(ProbeText(p));
            continue;
        }
        ++answered;
        out << p.port << '\t' << p.baud << '\t' << Cp1250ToUtf8(p.id.shownModel) << '\t' << Cp1250ToUtf8(p.id.serial)
            << '\t' << Cp1250ToUtf8(p.id.version) << '\n';
    }
    if (ui.Interrupted()) return kExitInterrupted;
    if (answered == 0 && opened == 0) {
        err << "Nie znaleziono kasy: nie można otworzyć żadnego portu\n";
        return kExitPort;
    }
    if (answered == 0) {
        err << "Nie znaleziono kasy\n";
        return kExitRegister;
    }
    return kExitDone;
}

// A data file's tables in the file's own model, so that no model question
// arises and nothing of a larger model is cut. On failure the line saying why
// is written to err and the result is false.
bool LoadInFileModel(TableSet& set, const TabInfo& tab, const std::string& path, const std::string& shownPath,
                     std::ostream& err) {
    std::string content;
    const FileRead r = ReadWholeFile(path, kMaxProfileSize, content);
    if (r == FileRead::Missing) {
        err << "Nie ma pliku " << shownPath
            << " (jego model kasy wyznacza rozmiary tabel; zapisz go najpierw programem albo read)\n";
        return false;
    }
    bool loaded = r == FileRead::Ok;
    if (loaded) {
        Profile file;
        file.Parse(content);
        set.ApplyModel(FileModel(file).value_or(0), PluRule::Capacity);
        ConsoleUi ui(err, {});
        InstallUi(&ui);
        loaded = LoadTableFile(set, tab.tab, path);
        InstallUi(nullptr);
    }
    if (!loaded) err << "Nie można odczytać pliku " << shownPath << '\n';
    return loaded;
}

int CsvExport(const TabInfo& tab, const std::string& pod, const std::string& shownPod, const std::string& csv,
              const std::string& shownCsv, bool cp1250, std::ostream& out, std::ostream& err) {
    TableSet set;
    if (!LoadInFileModel(set, tab, pod, shownPod, err)) return kExitFile;
    CsvExportOptions options;
    if (cp1250) options.encoding = CsvEncoding::Cp1250;
    if (!ReplaceWholeFile(csv, TableCsv(set, tab.tab, options))) {
        err << "Nie można zapisać pliku " << shownCsv << '\n';
        return kExitFile;
    }
    out << "Zapisano " << shownCsv << '\n';
    return kExitDone;
}

int CsvImport(const TabInfo& tab, const std::string& csv, const std::string& shownCsv, const std::string& pod,
              const std::string& shownPod, const Options& o, std::ostream& out, std::ostream& err) {
    std::string bytes;
    switch (ReadWholeFile(csv, 64u << 20, bytes)) {
    case FileRead::Missing: err << "Nie ma pliku " << shownCsv << '\n'; return kExitFile;
    case FileRead::Unreadable: err << "Nie można odczytać pliku " << shownCsv << '\n'; return kExitFile;
    case FileRead::Ok: break;
    }
    TableSet set;
    if (!LoadInFileModel(set, tab, pod, shownPod, err)) return kExitFile;
    const CsvImportPlan plan = PlanCsvImport(set, tab.tab, bytes, o.replace);
    if (!plan.refusal.empty()) {
        err << plan.refusal << '\n';
        return kExitFile;
    }
    for (const CsvProblem& p : plan.problems) err << CsvProblemLine(p) << '\n';
    // Notes are not errors: they leave the exit status alone.
    for (const CsvProblem& p : plan.notes) err << "Uwaga: " << CsvProblemLine(p) << '\n';
    if (plan.good.empty()) {
        err << "Plik " << shownCsv << " nie zawiera poprawnych wierszy; nic nie zmieniono\n";
        return kExitFile;
    }
    if (!plan.problems.empty() && !o.goodRows) {
        err << "Błędne wiersze: " << plan.problems.size() << "; nic nie zmieniono (--poprawne wczytuje tylko "
               "poprawne wiersze: "
            << plan.good.size() << ")\n";
        return kExitFile;
    }
    ApplyCsvImport(set, plan, o.replace);
    ConsoleUi ui(err, {});
    InstallUi(&ui);
    const bool saved = SaveTableFile(set, tab.tab, pod);
    InstallUi(nullptr);
    if (!saved) {
        err << "Nie można zapisać pliku " << shownPod << '\n';
        return kExitFile;
    }
    out << "Wczytano do " << shownPod << " rekordów: " << plan.good.size();
    if (plan.recordsNotInFile > 0)
        out << (o.replace ? "; usunięto " : "; bez zmian (nie ma ich w pliku): ") << plan.recordsNotInFile;
    out << '\n';
    return kExitDone;
}

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
           "  delete TABELA [NUMER]    usunięcie w kasie rekordu o numerze NUMER albo całej tabeli\n"
           "  clock                    ustawienie zegara kasy na czas komputera\n"
           "  fiscal [PLIK.csv]        odczyt pamięci fiskalnej do pliku CSV (bez pliku: na ekran)\n"
           "  csv-export TABELA PLIK.pod PLIK.csv\n"
           "                           tabela z pliku z danymi do arkusza (CSV, UTF-8, separator ;)\n"
           "  csv-import TABELA PLIK.csv PLIK.pod\n"
           "                           tabela z arkusza do pliku z danymi; każdy wiersz sprawdzany\n"
           "                           jak przy wpisywaniu, błędne wiersze wypisane z numerami;\n"
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
           "  --port NAZWA   port szeregowy (COM1, /dev/ttyUSB0)\n"
           "  --baud N       prędkość: 9600, 19200 lub 38400\n"
           "  --timeout S    czas oczekiwania na odpowiedź kasy, w sekundach\n"
           "  --tryb N       tryb obsługi błędów 0-3\n"
           "  --force        wysyła plik z danymi także do kasy innego modelu\n"
           "  --postep       pokazuje postęp także wtedy, gdy wyjście błędów nie jest terminalem\n"
           "  --poprawne     csv-import: wczytuje poprawne wiersze mimo błędnych (bez niej: nic)\n"
           "  --zastap       csv-import: usuwa z tabeli rekordy, których nie ma w pliku CSV\n"
           "  --cp1250       csv-export: plik w kodowaniu Windows-1250 zamiast UTF-8\n"
           "  -h, --help     ta pomoc\n"
           "  --version      wersja programu\n"
           "\n"
           "Kody wyjścia:\n"
           "  0    wykonano\n"
           "  1    kasa nie odpowiada albo odmówiła (jej komunikat)\n"
           "  2    błędne wywołanie\n"
           "  3    nie można otworzyć portu (detect: żadnego z portów)\n"
           "  4    nie można odczytać lub zapisać pliku albo plik CSV ma błędne wiersze\n"
           "  5    plik z danymi jest dla innego modelu kasy (nic nie wysłano)\n"
           "  130  przerwano klawiszami Ctrl+C\n";
}

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

    if (command == "ports") {
        if (!a.empty()) return wrongCount("ports");
        return Ports(out, err);
    }
    if (command == "detect") return Detect(a, out, err, env, o);
    if (command == "info" || command == "clock") {
        if (!a.empty()) return wrongCount(command == "info" ? "info" : "clock");
        Session s(env, o, err);
        if (int c = s.Connect()) return c;
        return command == "info" ? Info(s, out) : Clock(s, out);
    }
    if (command == "read") {
        if (a.empty() || a.size() > 2) return wrongCount("read [TABELA] PLIK.pod");
        const TabInfo* tab = nullptr;
        if (a.size() == 2 && !TableArgument(a[0], tab, err, status)) return status;
        // "read plu" most likely lacks its file, rather than naming plu.pod.
        if (a.size() == 1 && ParseTable(a[0])) return Usage(err, "Brak nazwy pliku: zeltra-kasa read [TABELA] PLIK.pod");
        const std::string shown = WithPodExtension(a.back());
        const std::string path = InWorkDir(env, shown);
        Session s(env, o, err);
        if (int c = s.Connect()) return c;
        return Read(s, tab, path, shown);
    }
    if (command == "send") {
        if (a.empty() || a.size() > 2) return wrongCount("send PLIK.pod [TABELA]");
        const TabInfo* tab = nullptr;
        if (a.size() == 2 && !TableArgument(a[1], tab, err, status)) return status;
        const std::string& shown = a[0];
        const std::string path = InWorkDir(env, shown);
        // Checked before the register is reached: a missing file, or one
        // without the tables asked for, must not send empty tables.
        std::string content;
        switch (ReadWholeFile(path, kMaxProfileSize, content)) {
        case FileRead::Missing: err << "Nie ma pliku " << shown << '\n'; return kExitFile;
        case FileRead::Unreadable: err << "Nie można odczytać pliku " << shown << '\n'; return kExitFile;
        case FileRead::Ok: break;
        }
        Profile file;
        file.Parse(content);
        if (tab && !InFile(file, *tab)) {
            err << "Plik " << shown << " nie zawiera tabeli " << tab->name << '\n';
            return kExitFile;
        }
        if (!tab && std::none_of(std::begin(kTabs), std::end(kTabs), [&](const TabInfo& t) { return InFile(file, t); })) {
            err << "Plik " << shown << " nie jest plikiem z danymi kasy\n";
            return kExitFile;
        }
        Session s(env, o, err);
        if (int c = s.Connect()) return c;
        return Send(s, tab, path, shown, file, o.force);
    }
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
        Session s(env, o, err);
        if (int c = s.Connect()) return c;
        return Delete(s, *tab, number);
    }
    if (command == "csv-export" || command == "csv-import") {
        const bool exporting = command == "csv-export";
        if (a.size() != 3)
            return wrongCount(exporting ? "csv-export TABELA PLIK.pod PLIK.csv" : "csv-import TABELA PLIK.csv PLIK.pod");
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
        Session s(env, o, err);
        if (int c = s.Connect()) return c;
        return Fiscal(s, out, path, a.empty() ? std::string() : a[0]);
    }
    return Usage(err, "Nieznane polecenie: " + o.words[0]);
}
