// The commands of zeltra-kasa, one concern per file: the register's own
// (Kasa.cpp), read and send (Przesylanie.cpp), the fiscal memory
// (Fiskalna.cpp), the spreadsheets (Arkusze.cpp), and the same commands on
// several ports at once (Wiele.cpp). Each returns its exit status.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Opcje.h"
#include "Sesja.h"

class Profile;

namespace cli {

// ---- the register (Kasa.cpp) ----------------------------------------------------

int Info(Session& s, std::ostream& out);
int Clock(Session& s, std::ostream& out);
int Delete(Session& s, const TabInfo& tab, const std::optional<std::string>& number);
int Ports(std::ostream& out, std::ostream& err);
int Detect(const std::vector<std::string>& named, std::ostream& out, std::ostream& err, const ToolEnvironment& env,
           const Options& o);

// ---- read and send (Przesylanie.cpp) ----------------------------------------------

int Read(Session& s, const TabInfo* tab, const std::string& path, const std::string& shownPath);

// The data file of a send: the table asked for (null: all), the path to read
// and the name as typed.
struct SendFile {
    const TabInfo* tab = nullptr;
    std::string path, shown;
};
// Checked before any register is reached: a missing file, or one without the
// tables asked for, must not send empty tables. kExitDone with the file read
// into `content` and parsed into `file`; else the line is on err.
int CheckSendFile(const SendFile& f, std::string& content, Profile& file, std::ostream& err);
// The full send, or with --zmiany the changes-only send, whose result line
// goes to `out`.
int Send(Session& s, const SendFile& f, const Profile& file, const Options& o, std::ostream& out);

// ---- the fiscal memory (Fiskalna.cpp) -----------------------------------------------

int Fiscal(Session& s, std::ostream& out, const std::optional<std::string>& path, const std::string& shownPath);

// ---- spreadsheets (Arkusze.cpp) -------------------------------------------------------

int CsvExport(const TabInfo& tab, const std::string& pod, const std::string& shownPod, const std::string& csv,
              const std::string& shownCsv, bool cp1250, std::ostream& out, std::ostream& err);
int CsvImport(const TabInfo& tab, const std::string& csv, const std::string& shownCsv, const std::string& pod,
              const std::string& shownPod, const Options& o, std::ostream& out, std::ostream& err);

}  // namespace cli
