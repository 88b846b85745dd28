// The workbook reader on any bytes: a damaged or strange .xlsx or .ods is
// refused or read, never more; an import plan stays within the tables, and
// a refused file gives no rows.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Skoroszyt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int tab = data[0] % 8 + 1;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    static TableSet set = [] {
        TableSet s;
        s.ApplyModel(1, PluRule::Capacity);
        return s;
    }();
    const WorkbookSheet sheet = ReadWorkbookSheet(bytes, SheetNameOfTab(tab));
    if (!sheet.refusal.empty() && !sheet.rows.rows.empty()) std::abort();
    const CsvImportPlan plan = PlanImport(set, tab, bytes, data[0] & 0x80);
    if (!plan.refusal.empty() && !plan.good.empty()) std::abort();
    for (const CsvImportPlan::Row& row : plan.good)
        if (row.row < 1 || row.row > set.Rows(row.table)) std::abort();
    return 0;
}
