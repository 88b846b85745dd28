// The PLU table at its largest (19 200 records, model 3) exported to a
// spreadsheet file (CSV, then an .xlsx workbook) and imported back, each
// through the whole file on disk. Prints milliseconds per operation
// (targets: CSV 200 ms each, .xlsx 1 s each).
//
//   bench_csv [folder]   (default: the system's temporary folder)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Arkusz.h"
#include "BenchSupport.h"
#include "FullSet.h"
#include "Skoroszyt.h"
#include "Tabele.h"

namespace {
constexpr int kRuns = 7;

void Report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-22s min %7.1f ms  median %7.1f ms  max %7.1f ms\n", what, ms.front(), ms[ms.size() / 2],
                ms.back());
}
}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    TableSet full;
    FillFullSet(full);
    // CSV, and the Excel workbook (target: 1 s each way).
    for (const char* extension : {".csv", ".xlsx"}) {
        const bool workbook = extension[1] == 'x';
        const std::string file = (dir / (std::string("bench_csv_plu") + extension)).string();
        std::printf("PLU table to and from %s, model 3, 19200 records, %d runs each (target: %s each)\n",
                    workbook ? ".xlsx" : "CSV", kRuns, workbook ? "1000 ms" : "200 ms");
        std::vector<double> out, in, inOver;
        for (int i = 0; i < kRuns; ++i)
            out.push_back(Ms([&] {
                if (!(workbook ? ExportTableXlsx(full, 2, file) : ExportTableCsv(full, 2, file))) std::exit(1);
            }));
        for (int i = 0; i < kRuns; ++i) {
            TableSet empty;
            empty.ApplyModel(3, PluRule::Capacity);
            in.push_back(Ms([&] {
                if (!ImportTableCsv(empty, 2, file)) std::exit(1);
            }));
            if (empty.Cell(TableId::Plu, 1, 19200) != full.Cell(TableId::Plu, 1, 19200)) return 1;
        }
        // Over a full table: every row replaces a record, every name checked against the others.
        for (int i = 0; i < kRuns; ++i) {
            TableSet again = full;
            inOver.push_back(Ms([&] {
                if (!ImportTableCsv(again, 2, file)) std::exit(1);
            }));
        }
        Report("export", out);
        Report("import, empty table", in);
        Report("import, full table", inOver);
        std::printf("file size %.1f kB\n", fs::file_size(file) / 1024.0);
        fs::remove(file);
    }
    return 0;
}
