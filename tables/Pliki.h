// The data file ("Dane podmiotu", *.pod): the register model and every table of
// the table set as INI entries, one record text per record row.
//
// The whole set or one tab's table is written or read; each operation reads the
// file once and writes it once, shows the main progress bar, steps it after
// every record and lets the window handle pending events meanwhile. A save
// writes the new file beside the old one and puts it in place only when every
// entry is written; entries of other tables already in the file stay as they
// are. A refused write shows "Unable to write to <path>", leaves the old file
// untouched and gives false.
//
// The person may stop an operation between two records (Ui::StopRequested):
// a stopped save writes nothing and gives false, the old file stays byte for
// byte; a stopped load keeps the rows read so far (and the model it took)
// and gives true.
#pragma once

#include <string>

class TableSet;
class Ui;

// Caption of the file dialogs' filter and the extension of data files.
inline constexpr const char* kDataFileFilterName = "Dane podmiotu";
inline constexpr const char* kDataFileExtension = ".pod";

// The path with ".pod" appended when its file name has no extension.
std::string WithPodExtension(const std::string& path);

bool SaveDataFile(TableSet& set, const std::string& path);
// Asks the model question when the file's model differs from the program's.
bool LoadDataFile(TableSet& set, const std::string& path);

// Tabs 1 to 8 of the main window: 1 packaging, 2 PLU, 3 cashiers, 4 keys,
// 5 discounts and surcharges, 6 payment forms, 7 header, 8 PTU rates.
// Another tab number does nothing and gives false.
bool SaveTableFile(TableSet& set, int tab, const std::string& path);
// The PLU and key tables ask the model question when the file's model is
// another one. Taking it applies the whole model (capacity PLU count), asking
// first when records would be lost. "No" to the loss leaves every table as it
// was and gives false, and so does "No" to the key table's model question;
// "No" to the PLU table's reads the file in the program's model.
bool LoadTableFile(TableSet& set, int tab, const std::string& path);

// The same, reporting to `ui` instead of the program's CurrentUi: for a
// register served on a thread of its own (the tool with several ports).
bool SaveDataFileWithUi(TableSet& set, const std::string& path, Ui& ui);
bool LoadDataFileWithUi(TableSet& set, const std::string& path, Ui& ui);
bool SaveTableFileWithUi(TableSet& set, int tab, const std::string& path, Ui& ui);
bool LoadTableFileWithUi(TableSet& set, int tab, const std::string& path, Ui& ui);

// True while one of the operations above runs on this thread (they let the
// window handle events between records); another one started meanwhile does
// nothing and gives false. Threads of their own each have their own guard.
bool DataFileBusy();
