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
#include "FullSet.h"
#include "Pliki.h"
#include "Tabele.h"

namespace {

constexpr int kRuns = 5;

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
