// A SerialPort that hands every write straight to an Emulator and serves its
// answer back: the whole register without a pseudo-terminal or system calls,
// quick enough to read a full fiscal memory in a unit test, and what a
// benchmark uses to measure the program's own work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Emulator.h"
#include "SerialPort.h"

class EmulatorPort : public SerialPort {
public:
    // `open`: whether it starts open, for callers that never call Open().
    explicit EmulatorPort(Emulator& emulator, bool open = false) : emulator_(emulator), open_(open) {}

    bool Open(const std::string&, int) override { return open_ = true; }
    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    int Poll() override { return static_cast<int>(line_.size() - at_); }
    bool ReadByte(std::uint8_t& byte) override {
        if (at_ >= line_.size()) return false;
        byte = static_cast<std::uint8_t>(line_[at_++]);
        return true;
    }
    bool Write(const std::uint8_t* data, std::size_t n, int) override {
        line_.erase(0, at_);
        at_ = 0;
        line_ += emulator_.Feed(data, n);
        return true;
    }
    bool Drain(int) override { return true; }
    void Purge() override {
        line_.clear();
        at_ = 0;
    }
    void SleepMs(int) override {}

    // Answer bytes not read yet.
    std::size_t Queued() const { return line_.size() - at_; }

private:
    Emulator& emulator_;
    std::string line_;
    std::size_t at_ = 0;
    bool open_;
};
