// csv-export and csv-import: a table of a data file to a spreadsheet and back,
// as CSV or, by the file's extension, as an .xlsx workbook (import: .xlsx and
// .ods by their content).
#include "Komendy.h"

#include "Arkusz.h"
#include "Dysk.h"
#include "Pliki.h"
#include "Skoroszyt.h"
#include "Profile.h"
#include "Tabele.h"

namespace cli {

namespace {

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
        loaded = LoadTableFileWithUi(set, tab.tab, path, ui);
    }
    if (!loaded) err << "Nie można odczytać pliku " << shownPath << '\n';
    return loaded;
}

}  // namespace

int CsvExport(const TabInfo& tab, const std::string& pod, const std::string& shownPod, const std::string& csv,
              const std::string& shownCsv, bool cp1250, std::ostream& out, std::ostream& err) {
    TableSet set;
    if (!LoadInFileModel(set, tab, pod, shownPod, err)) return kExitFile;
    std::string bytes;
    if (IsXlsxPath(csv)) {
        std::string why;
        const auto workbook = TableXlsx(set, tab.tab, {}, &why);
        if (!workbook) {
            err << "Nie można zapisać pliku " << shownCsv << ": " << why << '\n';
            return kExitFile;
        }
        bytes = *workbook;
    } else {
        CsvExportOptions options;
        if (cp1250) options.encoding = CsvEncoding::Cp1250;
        bytes = TableCsv(set, tab.tab, options);
    }
    if (!ReplaceWholeFile(csv, bytes)) {
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
    const CsvImportPlan plan = PlanImport(set, tab.tab, bytes, o.replace);
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
    const bool saved = SaveTableFileWithUi(set, tab.tab, pod, ui);
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

}  // namespace cli
