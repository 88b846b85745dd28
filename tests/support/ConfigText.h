// The text of a config.cfg as the program writes it: the port section, then
// the settings section, each line closed by CR LF.
#pragma once

#include <string>

inline std::string ConfigText(const std::string& port, const std::string& timeout, const std::string& baud,
                              const std::string& errorMode, const std::string& maxPlu,
                              const std::string& logging) {
    return "[PORTRS]\r\nNrPortu=" + port + "\r\nTimeout=" + timeout + "\r\nBaud=" + baud +
           "\r\n[USTAWIENIA]\r\nObslugaBledow=" + errorMode + "\r\nMaxPlu=" + maxPlu +
           "\r\nCzyLogowac=" + logging + "\r\n";
}
