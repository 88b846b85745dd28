#include "Polaczenie.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "Cp1250.h"
#include "Pomoc.h"
#include "Profile.h"
#include "Tabele.h"
#include "Ui.h"

namespace {

std::string Trimmed(const std::string& text) {
    std::size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    std::size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

constexpr int kLargestPluCount = 19200;  // the largest register's capacity

}  // namespace

std::string ConfigFilePath(const std::string& dir) {
    return (dir.empty() ? std::string(".") : dir) + "/config.cfg";
}

std::optional<int> ConfigWholeNumber(const std::string& raw) {
    std::string text = Trimmed(raw);
    int value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (!text.empty() && *first == '+') ++first;
    auto [end, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || end != last) return std::nullopt;
    return value;
}

std::optional<int> ConfigPollLimit(const std::string& raw) {
    std::string text = Trimmed(raw);
    if (text.empty()) return std::nullopt;
    // The user may write a decimal comma.
    for (char& c : text)
        if (c == ',') c = '.';
    char* end = nullptr;
    double seconds = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(seconds) || seconds <= 0) return std::nullopt;
    // Each read may wait this long, and start-up makes up to three reads
    // before the window shows: a typo such as 200 or 1e9 must not hold it
    // for hours.
    if (seconds > kLongestTimeoutSeconds) seconds = kLongestTimeoutSeconds;
    double polls = std::round(seconds * 100000.0);
    return polls < 1 ? 1 : static_cast<int>(polls);
}

int UsablePluCount(int pluCount) {
    if (pluCount < 0) return 0;
    if (pluCount > kLargestPluCount) return kLargestPluCount;
    return pluCount;
}

Profile LoadConfigFile(const std::string& dir) {
    Profile file;
    file.Load(ConfigFilePath(dir), kMaxConfigFileSize);
    return file;
}

Configuration ReadConfiguration(const std::string& dir) { return ConfigurationFrom(LoadConfigFile(dir)); }

Configuration ConfigurationFrom(const Profile& file) {
    Configuration c;
    c.portName = file.Get("PORTRS", "NrPortu", "COM1");
    c.pluCount = ConfigWholeNumber(file.Get("USTAWIENIA", "MaxPlu", "0")).value_or(0);
    c.pollLimit = ConfigPollLimit(file.Get("PORTRS", "Timeout", "2")).value_or(200000);
    c.baud = ConfigWholeNumber(file.Get("PORTRS", "Baud", "9600")).value_or(9600);
    c.errorMode = ConfigWholeNumber(file.Get("USTAWIENIA", "ObslugaBledow", "1")).value_or(1);
    c.logging = ConfigWholeNumber(file.Get("USTAWIENIA", "CzyLogowac", "0")).value_or(0);

    // Values no register or table can work with fall back to safe ones: a
    // negative PLU count means the model's default, one above the largest
    // register's capacity is cut to it; an unknown mode is the default mode.
    c.pluCount = UsablePluCount(c.pluCount);
    if (c.errorMode < 0 || c.errorMode > 3) c.errorMode = 1;
    return c;
}

void UseConfiguration(Connection& link, const Configuration& config, TableSet& tables) {
    LinkSettings& settings = link.Settings();
    settings.portName = config.portName;
    settings.baud = config.baud;
    settings.pollLimit = config.pollLimit;
    settings.errorMode = config.errorMode;
    settings.logging = config.logging;
    tables.SetPluCount(config.pluCount);
}

Identification StartUp(Connection& link, const Configuration& config, TableSet& tables,
                       const std::function<void(const Identification&)>& shown) {
    UseConfiguration(link, config, tables);
    link.UserUi().Message("Uruchom w kasie tryb komunikacji");
    link.OpenPort(config.portName);  // a port that fails shows as no answer below
    link.SetErrorMode(std::to_string(config.errorMode));

    // A register still in mode 3 from an earlier session answers the mode
    // command with a status reply even when the program's mode reads none.
    // Left queued it would be taken for the identification reply: wait for it
    // and drop it.
    if (config.errorMode <= 1) {
        link.Port().SleepMs(200);
        link.Port().Purge();
    }

    Identification id = Identify(link, tables.Model());
    if (shown) shown(id);
    link.AwaitStatus();  // in both modes, also when nothing answered
    if (id.onLine) tables.ApplyModel(id.model, PluRule::Configured);
    return id;
}

Identification CheckConnection(Connection& link, TableSet& tables,
                               const std::function<void(const Identification&)>& shown) {
    // A device that went away and came back (a USB adapter replugged) is
    // opened again first.
    link.ReopenPortIfLost();
    Identification id = Identify(link, tables.Model());
    if (id.onLine) {
        // Kept tables of another model would go to the register in a layout
        // it does not have: refusing the model's loss means working OFF-LINE.
        if (!ApplyModelAsking(tables, id.model, PluRule::Configured)) {
            link.UserUi().Message(OtherModelOffLineText(Cp1250ToUtf8(id.shownModel)), "Uwaga!",
                                UiIcon::Warning);
            id = Identification{};
            id.model = tables.Model();
        }
        if (shown) shown(id);
        link.AwaitStatus();  // the register answered: its status reply is due in modes 2 and 3
    } else {
        link.UserUi().Message("Włączono tryb OFF-LINE");
        if (shown) shown(id);
        ApplyModelAsking(tables, 0, PluRule::Capacity);
    }
    return id;
}

std::string OtherModelOffLineText(const std::string& registerModel) {
    return "Podłączona kasa (" + registerModel +
           ") jest innego typu niż tabele w programie.\r"
           "Tabele zostały bez zmian, dlatego program pracuje w trybie OFF-LINE:\r"
           "dane w obecnym układzie nie zostaną wysłane do tej kasy.";
}

void EndCommunication(Connection& link) {
    link.SendSimpleCommand("_");
    link.AwaitStatus();
}
