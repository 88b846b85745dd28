// What every command of zeltra-kasa shares: the tables by the names typed on
// the command line, the options, and the file names taken from the working
// folder.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Polecenia.h"
#include "Tabele.h"

class Connection;
class Profile;

namespace cli {

// ---- tables by name -------------------------------------------------------------

struct TabInfo {
    const char* name;  // as typed on the command line
    int tab;           // the window's tab number, also accepted as the name
    TableId table;
    const char* object;  // what the progress line and the messages call it
    void (*read)(Connection&, TableSet&);
    void (*send)(Connection&, const TableSet&);
    // Where a data file holds the table: a section and its first key (the
    // discounts' pair also under DOPLATY).
    const char* section;
    const char* firstKey;
};

constexpr int kTabCount = 8;
extern const TabInfo kTabs[kTabCount];
const TabInfo& HeaderTab();
const TabInfo& RatesTab();

// The data file holds the table. A table it lacks would load as empty rows:
// harmless for the record tables (empty rows send nothing) but an empty
// header or zero rates would overwrite the register's own.
bool InFile(const Profile& file, const TabInfo& tab);

constexpr int kFirstUndeletableTab = 7;  // the header and the PTU rates have no deletion

std::string Lower(std::string text);

// A table word: nothing when it names no table; a null entry for all tables.
std::optional<const TabInfo*> ParseTable(const std::string& word);

extern const char* const kTableNames;

// ---- options ----------------------------------------------------------------------

struct Options {
    std::vector<std::string> ports;  // --port, split at commas; empty: config.cfg's
    std::optional<int> baud;
    std::optional<int> pollLimit;
    std::optional<int> errorMode;
    bool force = false;
    bool progress = false;
    bool changes = false;   // send: only the records changed since the register's copy
    bool replace = false;   // csv-import: records the file lacks are removed
    bool goodRows = false;  // csv-import: the good rows are taken despite bad ones
    bool cp1250 = false;    // csv-export: the file in Windows-1250 instead of UTF-8
    bool help = false;
    bool version = false;
    std::vector<std::string> words;  // the command and its arguments
};

// Fills `o`; the error line when an option is wrong, empty otherwise.
std::string ParseArgs(const std::vector<std::string>& args, Options& o);

// The usage error's line on err; kExitUsage.
int Usage(std::ostream& err, const std::string& line);

// ---- files ------------------------------------------------------------------------

// A file name as the command line gives it, taken from the working folder.
std::string InWorkDir(const ToolEnvironment& env, const std::string& path);

// Typ_kasy of a data file, read as the data file code reads it (a value that
// is no model index counts as 0); nothing when the file has no such entry.
std::optional<int> FileModel(const Profile& p);

std::string ModelName(int model);

}  // namespace cli
