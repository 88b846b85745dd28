#include "Opcje.h"

#include <utility>

#include "Polaczenie.h"
#include "Profile.h"
#include "Sekwencje.h"

namespace cli {

const TabInfo kTabs[kTabCount] = {
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

const TabInfo& HeaderTab() { return kTabs[6]; }
const TabInfo& RatesTab() { return kTabs[7]; }

bool InFile(const Profile& file, const TabInfo& tab) {
    return file.Has(tab.section, tab.firstKey) || (tab.tab == 5 && file.Has("DOPLATY", "Doplata5"));
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::optional<const TabInfo*> ParseTable(const std::string& word) {
    const std::string w = Lower(word);
    if (w == "wszystkie") return nullptr;
    for (const TabInfo& t : kTabs)
        if (w == t.name || w == std::to_string(t.tab)) return &t;
    return std::nullopt;
}

const char* const kTableNames = "opakowania, plu, kasjerzy, klawisze, rabaty, formy, naglowek, ptu (lub 1-8)";

namespace {

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "COM3,COM4" or "/dev/pts/3, /dev/pts/4": the names in order; the error
// line when one is empty or repeated (two sessions on one port would take
// each other's replies).
std::string ParsePorts(const std::string& value, std::vector<std::string>& ports) {
    ports.clear();
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = value.find(',', from);
        const std::string name = Trimmed(value.substr(from, comma == std::string::npos ? comma : comma - from));
        if (name.empty()) return "Opcja --port wymaga nazwy portu";
        for (const std::string& p : ports)
            if (p == name) return "Port " + name + " podano dwa razy";
        ports.push_back(name);
        if (comma == std::string::npos) return {};
        from = comma + 1;
    }
}

}  // namespace

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
            {"--poprawne", &o.goodRows}, {"--cp1250", &o.cp1250}, {"--zmiany", &o.changes},
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
            if (std::string e = ParsePorts(value, o.ports); !e.empty()) return e;
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

int Usage(std::ostream& err, const std::string& line) {
    err << line << " (pomoc: zeltra-kasa --help)\n";
    return kExitUsage;
}

namespace {

bool IsAbsolute(const std::string& p) {
#ifdef _WIN32
    return (!p.empty() && (p[0] == '\\' || p[0] == '/')) || (p.size() >= 2 && p[1] == ':');
#else
    return !p.empty() && p[0] == '/';
#endif
}

}  // namespace

std::string InWorkDir(const ToolEnvironment& env, const std::string& path) {
    if (env.workDir.empty() || IsAbsolute(path)) return path;
    return env.workDir + "/" + path;
}

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

}  // namespace cli
