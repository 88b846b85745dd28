// fiscal: the fiscal memory read into one CSV list.
#include "Komendy.h"

#include <algorithm>
#include <array>
#include <utility>

#include "Dysk.h"
#include "Fmreader.h"
#include "Sekwencje.h"

namespace cli {

namespace {

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

}  // namespace

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

}  // namespace cli
