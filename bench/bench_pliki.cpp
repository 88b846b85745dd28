// The data file at its largest: a full model-3 set (19 200 PLU) saved and
// loaded. Prints milliseconds per operation and the peak memory of each
// operation's own process (save and load run in separate child processes).
//
//   bench_pliki [folder]   (default: the system's temporary folder)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Pliki.h"
#include "Tabele.h"

namespace {

constexpr int kRuns = 5;

std::string Price(int cents) {
    char b[32];
    std::snprintf(b, sizeof b, "%.2f", cents / 100.0);
    return b;
}

// Texts of the kind a shop keeps: Polish names in Windows-1250, EAN-13 codes,
// prices, stock with and without decimals.
void FillFullSet(TableSet& set) {
    set.ApplyModel(3, PluRule::Capacity);
    const char* words[] = {"Chleb \xBFytni", "Mas\xB3o ekstra", "Kie\xB3" "basa", "Ser \xBF\xF3\xB3ty",
                           "Woda gaz.", "Jogurt nat.", "Mleko 3,2%", "\x8C" "mietana 18"};
    for (int r = 1; r <= set.Rows(TableId::Plu); ++r) {
        std::string n = std::to_string(r);
        std::string ean = "590" + std::string(9 - std::min<size_t>(9, n.size()), '0') + n + "7";
        bool fraction = r % 3 == 0;
        const std::vector<std::string> row = {
            n,           std::string(words[r % 8]).substr(0, 11) + n.substr(0, 4),
            ean,         std::string(1, static_cast<char>('A' + r % 7)),
            std::to_string(r % 16), Price(99 + r * 7 % 100000),
            fraction ? std::to_string(r % 500) + ".250" : std::to_string(r % 900),
            fraction ? "TAK" : "NIE"};
        for (int c = 0; c < 8; ++c) set.SetCell(TableId::Plu, c, r, row[c]);
    }
    for (int r = 1; r <= set.Rows(TableId::Key); ++r) {
        set.SetCell(TableId::Key, 0, r, std::to_string(r));
        set.SetCell(TableId::Key, 1, r, std::to_string(r * 37));
        set.SetCell(TableId::Key, 2, r, "1");
        set.SetCell(TableId::Key, 3, r, "NIE");
    }
    for (int r = 1; r <= 15; ++r) {
        set.SetCell(TableId::Packaging, 0, r, std::to_string(r));
        set.SetCell(TableId::Packaging, 1, r, "Butelka zwrotna " + std::to_string(r));
        set.SetCell(TableId::Packaging, 2, r, Price(50 * r));
    }
    for (int r = 1; r <= 8; ++r) {
        set.SetCell(TableId::Cashier, 0, r, std::to_string(r));
        set.SetCell(TableId::Cashier, 1, r, "Kasjer" + std::to_string(r));
        set.SetCell(TableId::Cashier, 2, r, "123" + std::to_string(r));
        set.SetCell(TableId::Header, 1, r, "   Sklep \"U Zenka\"");
    }
}

void Report(const char* what, std::vector<double> ms, long before, long after) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-14s min %7.1f ms  median %7.1f ms  max %7.1f ms   peak %6.1f MB (operation adds %5.1f MB)\n",
                what, ms.front(), ms[ms.size() / 2], ms.back(), after / 1024.0, (after - before) / 1024.0);
    std::fflush(stdout);
}

// Runs body in a child process so each operation has its own peak memory.
template <class F>
bool InChild(F&& body) {
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        body();
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const std::string file = (dir / "bench_pliki.pod").string();
    fs::remove(file);
    std::printf("Data file, model 3: 19200 PLU + 71 other records, %d runs each (targets: 150 ms, 50 MB)\n", kRuns);

    bool ok = InChild([&] {
        TableSet set;
        FillFullSet(set);
        long before = PeakKb();
        std::vector<double> ms;
        for (int i = 0; i < kRuns; ++i) {
            if (i == 1) fs::remove(file);  // the first run writes a new file, the others overwrite it
            ms.push_back(Ms([&] {
                if (!SaveDataFile(set, file)) _exit(1);
            }));
        }
        Report("SaveDataFile", ms, before, PeakKb());
    });
    ok = ok && InChild([&] {
        TableSet set;
        set.ApplyModel(3, PluRule::Capacity);
        long before = PeakKb();
        std::vector<double> ms;
        for (int i = 0; i < kRuns; ++i) ms.push_back(Ms([&] { LoadDataFile(set, file); }));
        if (set.Cell(TableId::Plu, 0, 19200) != "19200") _exit(1);
        Report("LoadDataFile", ms, before, PeakKb());
    });
    std::printf("file size %.1f kB\n", fs::file_size(file) / 1024.0);
    fs::remove(file);
    return ok ? 0 : 1;
}
