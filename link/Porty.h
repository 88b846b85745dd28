// The serial ports present on this computer, for the port choice.
#pragma once

#include <string>
#include <vector>

struct SerialPortInfo {
    std::string name;         // what Open takes: "COM3", "/dev/ttyUSB0"
    std::string description;  // the device's own name where the system knows it; may be empty
};

// Windows: the COM ports of the Ports device class and those in the system's
// serial port map. Linux: USB and ACM adapters, Bluetooth RFCOMM ports and the
// ttyS ports that have a UART behind them. Sorted by name with numbers in
// order (COM2 before COM10); texts are UTF-8.
std::vector<SerialPortInfo> ListSerialPorts();

// Name order with runs of digits compared as numbers.
bool NaturalLess(const std::string& a, const std::string& b);
