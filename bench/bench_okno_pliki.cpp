// The data file through the main window, as the menu's "&Zapisz plik z danymi"
// and "&Otwórz plik z danymi" run it once the file dialog has given a path: a
// full model-3 set (19 200 PLU) saved and loaded with the window shown on the
// PLU tab, its progress bar, its event handling and its grids. Offscreen.
// Prints wall and CPU milliseconds per operation.
//
//   bench_okno_pliki [folder]   (default: the system's temporary folder)
#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "FullSet.h"
#include "Main.h"
#include "Pomoc.h"
#include "QtUi.h"
#include "Ui.h"

namespace {

constexpr int kRuns = 7;

// Stands in for the boxes of start-up (no register is there): shows nothing.
using QuietUi = SilentUi;

struct Figures {
    std::vector<double> wall, cpu;  // ms
};

template <class F>
void Measure(Figures& f, F&& body) {
    const double cpu0 = ThreadCpuSeconds();
    f.wall.push_back(Ms(body));
    f.cpu.push_back((ThreadCpuSeconds() - cpu0) * 1000);
}

void Report(const char* what, Figures f) {
    std::sort(f.wall.begin(), f.wall.end());
    std::sort(f.cpu.begin(), f.cpu.end());
    std::printf("%-28s wall min %7.1f  median %7.1f  max %7.1f ms   CPU median %7.1f ms\n", what, f.wall.front(),
                f.wall[f.wall.size() / 2], f.wall.back(), f.cpu[f.cpu.size() / 2]);
}

void Settle(QApplication& app) {
    for (int i = 0; i < 5; ++i) app.processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    Connection link;  // the one register this program talks to
    namespace fs = std::filesystem;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const fs::path work = dir / "bench_okno_pliki";
    fs::create_directories(work);
    const std::string file = (work / "pelny.pod").string();
    fs::remove(file);

    // No register: start-up ends OFF-LINE after its time-outs, quickly with a
    // short poll limit. The window's own Ui takes over once it stands.
    link.Reset();
    QuietUi quiet;
    InstallUi(&quiet);
    QtUi ui;
    MainWindow w(link, &ui, QString::fromStdString(work.string()));
    InstallUi(&ui);
    FillFullSet(w.Tables());
    w.show();
    w.ShowTab(1);  // the PLU grid in sight: the dearest case
    Settle(app);

    std::printf("Data file through the main window, model 3: 19200 PLU + 71 other records, %d runs each "
                "(target: 150 ms each)\n", kRuns);
    Figures save, load;
    for (int i = 0; i < kRuns; ++i) {
        if (i == 1) fs::remove(file);  // the first run writes a new file, the others overwrite it
        Measure(save, [&] { w.SaveDataFileTo(QString::fromStdString(file)); });
        Settle(app);
        Measure(load, [&] { w.OpenDataFileFrom(QString::fromStdString(file)); });
        Settle(app);
    }
    const bool ok = w.Tables().Cell(TableId::Plu, 0, 19200) == "19200";
    Report("save (SaveDataFileTo)", save);
    Report("load (OpenDataFileFrom)", load);
    std::printf("file size %.1f kB%s\n", fs::exists(file) ? fs::file_size(file) / 1024.0 : 0.0,
                ok ? "" : ", PLU 19200 NOT LOADED");

    InstallUi(nullptr);
    fs::remove_all(work);
    return ok ? 0 : 1;
}
