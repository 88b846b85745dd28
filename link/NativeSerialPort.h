// The real serial port, on the operating system's own interface: termios on
// POSIX systems, the Win32 comm API on Windows. Each port is the only reader
// of its device, so bytes come out in the order they arrived, whatever the
// window does between two reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "SerialPort.h"

class NativeSerialPort : public SerialPort {
public:
    NativeSerialPort();
    ~NativeSerialPort() override;
    NativeSerialPort(const NativeSerialPort&) = delete;
    NativeSerialPort& operator=(const NativeSerialPort&) = delete;

    // POSIX: a device path ("/dev/ttyS0", "/dev/ttyUSB0", a pseudo-terminal);
    // a bare "ttyUSB0" is looked for under /dev. Windows: "COM1" ... "COM256"
    // (opened as \\.\COMn, so COM10 and above work) or a full device path;
    // the name is UTF-8. Raw 8N1, XON/XOFF both ways, DTR and RTS on where the
    // device allows; any speed but 19200 and 38400 opens at 9600.
    bool Open(const std::string& name, int baud) override;
    bool IsOpen() const override;
    void Close() override;
    // The queued input bytes. A poll that finds none stands for 10 µs of
    // waiting for input, waited out in steps of about 2 ms without spinning.
    int Poll() override;
    bool ReadByte(std::uint8_t& byte) override;
    bool Write(const std::uint8_t* data, std::size_t n, int timeoutMs) override;
    bool Drain(int timeoutMs) override;
    void Purge() override;
    void SleepMs(int ms) override;
    // The device went away (a USB adapter pulled out, a pseudo-terminal whose
    // other end closed): reads find nothing and cost no CPU until reopened.
    bool Lost() const override { return lost_; }
    // The last Open failed because the port is held: POSIX another
    // descriptor's lock or exclusive mode; Windows access denied or a sharing
    // violation, which is how a COM port open elsewhere refuses.
    bool InUse() const override { return inUse_; }

private:
    // Takes what the device holds into in_ with one read.
    int Fill();
    // Waits out the time owed by empty polls, or until input arrives.
    void WaitOwed();

#ifdef _WIN32
    void* handle_ = nullptr;   // HANDLE; nullptr when closed
    unsigned long writeMs_ = 5000;  // the write time-out the port is set to
#else
    int fd_ = -1;
#endif
    bool lost_ = false;
    bool inUse_ = false;
    std::array<std::uint8_t, 1024> in_{};
    std::size_t inPos_ = 0, inLen_ = 0;  // bytes taken from the device, not yet handed out
    long long owedNs_ = 0;                // waiting owed by polls that found nothing
    unsigned emptyPolls_ = 0;
};
