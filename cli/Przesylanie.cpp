// read and send: tables from the register into a data file and back, the
// changes-only send, and the register's copy kept after every full transfer.
#include "Komendy.h"

#include <algorithm>
#include <iterator>

#include "Dysk.h"
#include "Pliki.h"
#include "Profile.h"
#include "Sekwencje.h"
#include "Zmiany.h"

namespace cli {

namespace {

const char* const kPartly = "kasa otrzymała tylko część danych";

// The copy follows each full transfer, ended or cut short (a part cut short
// is marked stale there). A copy that cannot be saved costs only the next
// changes-only send, which will ask for a full one.
void KeepCopyAfterRead(Session& s, const std::vector<CopyPart>& parts) {
    if (!UpdateCopyAfterRead(s.link, s.tables, parts, s.Identity())) s.ui.Note("Nie można zapisać kopii stanu kasy");
}

void KeepCopyAfterSend(Session& s, const std::vector<CopyPart>& parts) {
    if (!UpdateCopyAfterSend(s.link, s.tables, parts, s.Identity())) s.ui.Note("Nie można zapisać kopii stanu kasy");
}

// The header and the PTU rates go with all tables only from a file that has
// them and only to a register in training mode, as their tabs allow; a fiscal
// register keeps its own and the run is still whole. Each one left out is
// noted.
std::vector<const TabInfo*> HeaderAndRatesToSend(Session& s, const Profile& file, const std::string& shownPath) {
    const TabInfo& header = HeaderTab();
    const TabInfo& rates = RatesTab();
    if (!InFile(file, header) && !InFile(file, rates)) {
        s.ui.Note("Plik " + shownPath + " nie zawiera nagłówka ani stawek PTU: pominięto je");
        return {};
    }
    if (IsFiscalBlock(ReadRegisterState(s.link))) {
        s.ui.Note("Kasa jest w trybie fiskalnym: nagłówek i stawki PTU pominięto");
        return {};
    }
    std::vector<const TabInfo*> tabs;
    for (const TabInfo* t : {&header, &rates}) {
        if (InFile(file, *t))
            tabs.push_back(t);
        else
            s.ui.Note("Plik " + shownPath + " nie zawiera tabeli " + t->name + ": pominięto ją");
    }
    return tabs;
}

bool IsHeaderOrRates(const TabInfo& tab) { return tab.table == TableId::Header || tab.table == TableId::Ptu; }

// Refused in fiscal mode with the window's message.
bool HeaderOrRatesAllowed(Session& s, const TabInfo& tab) {
    return FiscalModeTest(s.link, tab.table == TableId::Header ? FiscalGuard::Header : FiscalGuard::PtuRates);
}

int SendWhole(Session& s, const TabInfo* tab, const std::string& shownPath, const Profile& file) {
    if (!tab) {
        SendAllTables(s.link, s.tables);
        KeepCopyAfterSend(s, AllParts(false));
        if (s.ui.StopRequested()) return s.Outcome(kPartly);
        // Each its own transfer, so the copy of each follows its own end.
        for (const TabInfo* t : HeaderAndRatesToSend(s, file, shownPath)) {
            s.ui.SetTask(std::string("Wysyłam ") + t->object);
            t->send(s.link, s.tables);
            KeepCopyAfterSend(s, PartsOfTable(t->table));
        }
        return s.Outcome(s.ui.StopRequested() ? kPartly : std::string());
    }

    s.ui.SetTask(std::string("Wysyłam ") + tab->object);
    if (IsHeaderOrRates(*tab)) {
        if (HeaderOrRatesAllowed(s, *tab)) {
            tab->send(s.link, s.tables);
            KeepCopyAfterSend(s, PartsOfTable(tab->table));
        }
        return s.Outcome();
    }
    tab->send(s.link, s.tables);
    KeepCopyAfterSend(s, PartsOfTable(tab->table));
    return s.Outcome(s.ui.StopRequested() ? kPartly : std::string());
}

// send --zmiany: the parts the full send would cover, compared with the
// register's copy. Without a usable copy nothing goes out: the full send is
// the person's choice, never made here.
int SendChangesOnly(Session& s, const TabInfo* tab, const std::string& shownPath, const Profile& file,
                    std::ostream& out) {
    std::vector<CopyPart> parts;
    if (tab) {
        if (IsHeaderOrRates(*tab) && !HeaderOrRatesAllowed(s, *tab)) return s.Outcome();
        parts = PartsOfTable(tab->table);
    } else {
        parts = AllParts(false);
        for (const TabInfo* t : HeaderAndRatesToSend(s, file, shownPath)) parts.push_back(PartOfTable(t->table));
    }
    // The register did not say whether it is fiscal: nothing is sent on a guess.
    if (s.Failed()) return s.Outcome("nic nie wysłano");

    s.ui.SetTask("Wysyłam zmiany");
    const ChangesOutcome r = SendChanges(s.link, s.tables, parts, s.Identity());
    switch (r.result) {
    case ChangesOutcome::Result::Sent:
        out << r.text << '\n';
        return kExitDone;
    case ChangesOutcome::Result::FullSendNeeded:
        return s.Fail(kExitRegister, r.text + "; nic nie wysłano (bez --zmiany wysyła całość)");
    case ChangesOutcome::Result::Failed:
        break;
    }
    // Cut short as a full send would be; the copy's own word when the
    // console saw nothing amiss.
    if (const int status = s.Outcome(kPartly); status != kExitDone) return status;
    return s.Fail(kExitRegister, r.text + "; " + kPartly);
}

}  // namespace

int Read(Session& s, const TabInfo* tab, const std::string& path, const std::string& shownPath) {
    const std::string notWritten = "plik " + shownPath + " nie został zapisany";
    if (tab) {
        s.ui.SetTask(std::string("Odczytuję ") + tab->object);
        tab->read(s.link, s.tables);
    } else {
        ReadAllTables(s.link, s.tables);
    }
    KeepCopyAfterRead(s, tab ? PartsOfTable(tab->table) : AllParts(true));
    // A file that would lack records without saying so is not written: the
    // old one stays as it was.
    if (s.Failed()) return s.Outcome(notWritten);
    s.ui.SetTask("Zapisuję plik");
    const bool saved =
        tab ? SaveTableFileWithUi(s.tables, tab->tab, path, s.fileUi) : SaveDataFileWithUi(s.tables, path, s.fileUi);
    if (!saved) return s.Fail(kExitFile, "Nie można zapisać pliku " + shownPath);
    return kExitDone;
}

int CheckSendFile(const SendFile& f, std::string& content, Profile& file, std::ostream& err) {
    switch (ReadWholeFile(f.path, kMaxProfileSize, content)) {
    case FileRead::Missing: err << "Nie ma pliku " << f.shown << '\n'; return kExitFile;
    case FileRead::Unreadable: err << "Nie można odczytać pliku " << f.shown << '\n'; return kExitFile;
    case FileRead::Ok: break;
    }
    file.Parse(content);
    if (f.tab && !InFile(file, *f.tab)) {
        err << "Plik " << f.shown << " nie zawiera tabeli " << f.tab->name << '\n';
        return kExitFile;
    }
    if (!f.tab && std::none_of(std::begin(kTabs), std::end(kTabs), [&](const TabInfo& t) { return InFile(file, t); })) {
        err << "Plik " << f.shown << " nie jest plikiem z danymi kasy\n";
        return kExitFile;
    }
    return kExitDone;
}

int Send(Session& s, const SendFile& f, const Profile& file, const Options& o, std::ostream& out) {
    const int model = s.tables.Model();
    if (const auto fileModel = FileModel(file); fileModel && *fileModel != model) {
        if (!o.force)
            return s.Fail(kExitModel, "Plik " + f.shown + " jest dla kasy " + ModelName(*fileModel) +
                                          ", a podłączona kasa to " + ModelName(model) +
                                          "; nic nie wysłano (--force wysyła mimo to)");
        s.ui.Note("Plik " + f.shown + " jest dla kasy " + ModelName(*fileModel) + "; wysyłam w rozmiarach kasy " +
                  ModelName(model));
    }

    s.ui.SetTask("Wczytuję plik");
    const bool loaded = f.tab ? LoadTableFileWithUi(s.tables, f.tab->tab, f.path, s.fileUi)
                              : LoadDataFileWithUi(s.tables, f.path, s.fileUi);
    if (!loaded) return s.Fail(kExitFile, "Nie można odczytać pliku " + f.shown);

    if (o.changes) return SendChangesOnly(s, f.tab, f.shown, file, out);
    return SendWhole(s, f.tab, f.shown, file);
}

}  // namespace cli
