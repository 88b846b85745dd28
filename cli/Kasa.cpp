// The register's own commands: info, clock, delete, and finding it (ports,
// detect).
#include "Komendy.h"

#include <algorithm>
#include <ctime>

#include "Cp1250.h"
#include "Porty.h"
#include "Sekwencje.h"
#include "Wykrywanie.h"

namespace cli {

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

}  // namespace cli
