// Finding the register: every port tried at every speed with the
// identification "0^", each try on a port object of its own that is opened
// for the try and closed after it. No Qt here; the configuration dialog and
// the command-line tool show the results.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Connection;

#include "Identyfikacja.h"
#include "SerialPort.h"

class Ui;

enum class ProbeOutcome {
    Answered,    // a register identified itself
    Silent,      // opened at every speed, nothing usable came back
    Busy,        // another program (or port object) holds the port
    CannotOpen,  // missing, not a serial port, or refused for another reason
    NotTried,    // the search was stopped before this port was finished
};

struct PortProbe {
    std::string port;
    ProbeOutcome outcome = ProbeOutcome::NotTried;
    int baud = 0;        // Answered: the speed the register answered at
    Identification id;   // Answered: model, serial number, version (Windows-1250)
};

// A reply to "0^" is some 40 bytes: about 50 ms with the request at 9600 Bd.
// 400 ms leaves the register a good 300 ms to react and still searches ten
// ports at three speeds in about 12 s.
inline constexpr int kProbeTimeoutMs = 400;

struct DetectionOptions {
    std::vector<int> speeds = {9600, 19200, 38400};
    int timeoutMs = kProbeTimeoutMs;
    // A new closed port for each try; none: the native serial port.
    std::function<std::unique_ptr<SerialPort>()> makePort;
};

// Tries `ports` in order, at each speed in turn until one answers. Progress
// goes to `ui`: the main bar (one step a try, the skipped speeds of a port
// stepped at once), the progress label ("Sprawdzam ..."), the window's
// events about every 20 ms, and StopRequested, which ends the search at once
// (ports not finished are NotTried). The program's own port (the link's),
// when open, is closed for the search, whatever its name, so that it can be
// searched too, and opened again afterwards at the speed in force. A status
// reply that follows the identification is read and dropped, so it cannot
// turn up later as the answer to another command. One result per port.
std::vector<PortProbe> DetectRegister(Connection& link, const std::vector<std::string>& ports, Ui& ui,
                                      const DetectionOptions& options = {});

// One line about a port's result, UTF-8: "COM3, 19200 Bd: ZELTRA ARK MIRRA,
// nr fabryczny 123456, wersja V1.07", "COM4: brak odpowiedzi" ...
std::string ProbeText(const PortProbe& probe);
