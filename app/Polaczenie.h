// The program's settings file and its connection with the register: start-up,
// the connection check and the end of communication. No Qt here; the main
// window shows the results.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

class Connection;

#include "Identyfikacja.h"
#include "Profile.h"

class TableSet;

// The working settings as config.cfg gives them.
struct Configuration {
    std::string portName = "COM1";
    int pluCount = 0;        // 0: the model's default
    int pollLimit = 200000;  // Timeout x 100 000
    int baud = 9600;
    int errorMode = 1;
    int logging = 0;
};

// Reads <dir>/config.cfg. A missing file or key, an empty or non-numeric
// value give that key's default; a fractional Timeout is accepted.
Configuration ReadConfiguration(const std::string& dir);

// No config.cfg comes near this size; a bigger one is not read.
inline constexpr std::size_t kMaxConfigFileSize = std::size_t{1} << 20;
// <dir>/config.cfg read once, for the settings and the configuration dialog
// alike. Only a regular file up to kMaxConfigFileSize is read: a folder,
// FIFO or device, or a bigger file, gives the defaults (and never blocks).
Profile LoadConfigFile(const std::string& dir);
// The working settings from a config.cfg already read, as ReadConfiguration.
Configuration ConfigurationFrom(const Profile& file);

// How start-up reads config.cfg, for the configuration dialog too, so that a
// value means the same in the running program and at the next start.
// <dir>/config.cfg; the current folder for an empty dir.
std::string ConfigFilePath(const std::string& dir);
// A whole decimal integer (spaces around and a leading '+' allowed); nothing
// for any other text.
std::optional<int> ConfigWholeNumber(const std::string& raw);
// A time-out in seconds (fraction and decimal comma allowed) as a poll limit
// of 100 000 polls a second; nothing for a text that is not a positive number.
// A time-out above kLongestTimeoutSeconds is taken as that.
inline constexpr double kLongestTimeoutSeconds = 60;
std::optional<int> ConfigPollLimit(const std::string& raw);
// A PLU count below 0 is the model's default (0); one above the largest
// register's capacity is cut to it.
int UsablePluCount(int pluCount);

// Makes the settings the link's working settings and the table set's PLU count.
void UseConfiguration(Connection& link, const Configuration& config, TableSet& tables);

// Start-up from the start message to the status reply after identification;
// applies the identified model when ON-LINE. `shown` is told the result as
// soon as it is known (the top line), before the status reply is read.
Identification StartUp(Connection& link, const Configuration& config, TableSet& tables,
                       const std::function<void(const Identification&)>& shown = {});

// "&Sprawdź polączenie": identifies again. ON-LINE applies the identified model
// and reads the status reply; OFF-LINE says so and falls back to model 0 with
// its full capacity, asking first when that would drop records.
// A register of another model whose model the user refuses (records would be
// lost) leaves the model and the tables as they are and gives OFF-LINE, with
// a message why; its status reply is still read. `shown` is told the result
// (top line, controls) once the model is settled, before the status is read.
Identification CheckConnection(Connection& link, TableSet& tables,
                               const std::function<void(const Identification&)>& shown = {});
// The message of that refusal; the register's model text in UTF-8.
std::string OtherModelOffLineText(const std::string& registerModel);

// "Zakończ &komunikacje": tells the register that communication ends.
void EndCommunication(Connection& link);
