// A SerialPort for tests: hands out scripted input bytes, records everything
// written, counts polls and keeps a list of what was done to it, in order.
//
// Input comes from two places:
//  - Feed(bytes, afterPoll): bytes on the line, readable by polls numbered above
//    afterPoll (the poll count is cumulative; set `polls` back to 0 as needed);
//  - answers: each Write() queues the next answer at once, as a register would
//    reply to a command.
// A Purge() discards the bytes that have arrived (those the next poll would see);
// bytes released later, and answers to later writes, survive it.
// Nothing really waits: SleepMs only records the time asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Pomoc.h"
#include "SerialPort.h"

class ScriptedPort : public SerialPort {
public:
    // Input that is on the line, in arrival order.
    struct Byte {
        std::uint8_t value;
        long afterPoll;  // readable from poll afterPoll + 1 on
    };

    bool openResult = true;        // what Open() answers
    bool open = false;
    std::string openedName;
    int openedBaud = 0;

    std::deque<Byte> input;
    std::deque<std::string> answers;  // one is queued by each Write(); none when empty

    long polls = 0;                   // Poll() calls so far
    long reads = 0;                   // bytes taken with ReadByte()
    std::vector<std::string> writes;  // every Write(), its bytes
    std::vector<int> sleeps;          // every SleepMs(), its milliseconds
    int purges = 0;
    int drains = 0;
    bool heldOff = false;  // the line is held off (XOFF): output never leaves
    // "open", "close", "purge", "drain", "sleep 1000", "write 11", in call order.
    std::vector<std::string> events;

    void Feed(const std::string& bytes, long afterPoll = 0) {
        for (unsigned char c : bytes) input.push_back({c, afterPoll});
    }
    // Everything written, as one string.
    std::string Written() const {
        std::string all;
        for (const auto& w : writes) all += w;
        return all;
    }
    // The bytes still waiting on the line, released or not.
    std::string Pending() const {
        std::string s;
        for (const auto& b : input) s += static_cast<char>(b.value);
        return s;
    }

    bool Open(const std::string& name, int baud) override {
        events.push_back("open");
        openedName = name;
        openedBaud = baud;
        open = openResult;
        return open;
    }
    bool IsOpen() const override { return open; }
    void Close() override {
        events.push_back("close");
        open = false;
    }
    int Poll() override {
        ++polls;
        return Readable();
    }
    bool ReadByte(std::uint8_t& byte) override {
        if (Readable() == 0) return false;
        byte = input.front().value;
        input.pop_front();
        ++reads;
        return true;
    }
    bool Write(const std::uint8_t* data, std::size_t n, int) override {
        events.push_back("write " + std::to_string(n));
        writes.emplace_back(reinterpret_cast<const char*>(data), n);
        if (!answers.empty()) {
            Feed(answers.front(), polls);
            answers.pop_front();
        }
        return true;
    }
    bool Drain(int) override {
        events.push_back("drain");
        ++drains;
        return !heldOff;
    }
    void Purge() override {
        events.push_back("purge");
        ++purges;
        // Everything that has arrived by now is gone; later bytes are still to come.
        while (!input.empty() && input.front().afterPoll <= polls) input.pop_front();
    }
    void SleepMs(int ms) override {
        events.push_back("sleep " + std::to_string(ms));
        sleeps.push_back(ms);
    }

private:
    // Bytes readable now: the released ones at the front of the line.
    int Readable() const {
        int n = 0;
        for (const auto& b : input) {
            if (b.afterPoll >= polls) break;
            ++n;
        }
        return n;
    }
};

// Makes a new ScriptedPort the link's port. The link owns it; the pointer
// stays good until the link's port is replaced or reset.
inline ScriptedPort* InstallScriptedPort(Connection& link) {
    auto port = std::make_unique<ScriptedPort>();
    ScriptedPort* raw = port.get();
    link.UsePort(std::move(port));
    return raw;
}
