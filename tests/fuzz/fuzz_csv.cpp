// The spreadsheet reader on any bytes: rows read with any separator, written
// back with the writer and read again come back the same, and an import plan
// of any file for any tab stays within the tables.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Arkusz.h"
#include "Csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int tab = data[0] % 8 + 1;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    // Every encoding the reader knows, UTF-16 included, by the bytes' mark.
    const std::string text = CsvTextFromFile(bytes);
    for (const CsvParse& first : {ParseCsv(text), ParseCsv(text, ','), ParseCsv(text, '\t', data[0] % 12)}) {
        std::string written;
        for (const CsvRecord& r : first.rows) written += CsvRow(r.fields);
        const CsvParse again = ParseCsv(written, ';');
        if (again.unclosedQuoteLine || again.rows.size() != first.rows.size()) std::abort();
        for (size_t i = 0; i < first.rows.size(); ++i)
            if (again.rows[i].fields != first.rows[i].fields) std::abort();
    }

    static TableSet set = [] {
        TableSet s;
        s.ApplyModel(1, PluRule::Capacity);
        return s;
    }();
    const CsvImportPlan plan = PlanCsvImport(set, tab, bytes, data[0] & 0x80);
    if (!plan.refusal.empty() && !plan.good.empty()) std::abort();
    for (const CsvImportPlan::Row& row : plan.good)
        if (row.row < 1 || row.row > set.Rows(row.table)) std::abort();
    return 0;
}
