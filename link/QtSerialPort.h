// The real serial port: QSerialPort opens the device and sets the line; the
// byte traffic goes straight to the device handle, so it works before the Qt
// event loop runs (start-up talks to the register before the window shows).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "SerialPort.h"

class QSerialPort;

class QtSerialPort : public SerialPort {
public:
    QtSerialPort();
    ~QtSerialPort() override;

    // The name goes to QSerialPort unchanged: "COM1", "ttyUSB0" or a full path
    // such as "/dev/pts/5". Any speed but 19200 and 38400 opens at 9600.
    bool Open(const std::string& name, int baud) override;
    bool IsOpen() const override;
    void Close() override;
    // The queued input bytes. A poll that finds none stands for 10 µs of
    // waiting for input, without spinning (see the source for how).
    int Poll() override;
    bool ReadByte(std::uint8_t& byte) override;
    void Write(const std::uint8_t* data, std::size_t n) override;
    void Drain() override;
    void Purge() override;
    void SleepMs(int ms) override;

private:
    // Takes what the device holds into in_ with one read; the bytes count as
    // queued until ReadByte hands them out.
    int Fill();

    std::unique_ptr<QSerialPort> port_;
    std::array<std::uint8_t, 1024> in_{};
    std::size_t inPos_ = 0, inLen_ = 0;  // bytes taken from the device, not yet handed out
    long long owedNs_ = 0;    // waiting owed by polls that found nothing
    unsigned emptyPolls_ = 0;
};
