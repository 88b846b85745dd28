// A register of our own: takes the bytes the program writes and gives back the
// bytes a register would answer. No I/O here, so every answer can be checked
// byte for byte; PtyServer puts it on a pseudo-terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What the register keeps between commands.
struct RegisterState {
    std::string modelText = "ZELTRA ARK MIRRA";
    // Sent after the serial number behind a "/": empty for none, "r5" for the
    // 20k MAXI, any other two characters for the 10k MAXI.
    std::string capacityMarker;
    std::string version = "V1.07";
    std::string serial = "123456";  // as the program shows it
    int errorMode = 1;              // 0-3; above 1 a status reply follows every command
    bool communicationEnded = false;  // set by "_", cleared by the next command

    bool fiscal = false;  // work mode: training (false) or fiscal
    // Settings flags: bit 0 amounts in grosze, bit 1 communication ON-LINE,
    // bit 2 lighter print, bit 3 darker print.
    std::uint8_t settingsFlags = 0;
    std::string managerPassword = "\x73\x91";  // the two packed bytes last sent
    // The register's clock runs this many seconds ahead of the PC's local time.
    long long clockOffset = 0;
    std::string uniqueNumber = "ZEL12345678";  // 11 characters
    std::string nip = "526-000-00-00";         // taxpayer's number, 13 characters
    // Record counts of the two model-dependent databases.
    int pluCapacity = 1000;
    int keyCapacity = 10;

    // The databases, keyed by the table digit of the read command (0 packaging,
    // 1 keys, 2 cashiers, 4 payment forms, 5 discounts and surcharges, 7 PLU),
    // then by record index: the record bytes exactly as they were sent.
    std::map<int, std::map<int, std::string>> records;
    std::string header;    // 161 bytes: lines closed by CR, 0xFF fill
    std::string ptuRates;  // 14 bytes: rates A to G, two bytes each
    // Fiscal memory records 8 and up, raw bytes; an absent record reads as
    // erased (0xFF). Record 4, the identity, comes from the fields above.
    std::map<int, std::string> fiscalMemory;

    RegisterState();
};

// Faults to play: a register that is off, loses replies, sends noise or talks
// slowly.
struct EmulatorSwitches {
    bool silent = false;   // answer nothing at all
    int dropEvery = 0;     // drop every n-th reply frame; 0 drops none
    bool garbage = false;  // send printable noise of the same length instead of each frame
    bool split = false;    // write replies one byte at a time
    int splitDelayUs = 1000;
    int baud = 0;  // pace output at baud / 10 bytes per second; 0 writes at once
    // On a pseudo-terminal: take requests only while the program's end is set
    // to this speed (9600, 19200, 38400), as a register set to one speed
    // hears only noise at the others; 0 takes them at any speed.
    int lineSpeed = 0;
    // A line that misbehaves as real ones do.
    std::string strayBytes = "#?!";  // sent after a reply frame, as below
    int strayEvery = 0;               // after every n-th reply frame; 0: never
    int strayOnceAfter = 0;           // once, after the n-th reply frame; 0: never
    // On a pseudo-terminal: every answer goes out this long after its request
    // arrived (longer than the program's time-out: a late reply), from the
    // lateFrom-th request on (counted from 1; 0 as 1).
    int lateMs = 0;
    int lateFrom = 0;
    // Every n-th record read ("H" and "J") is answered with the reply for the
    // record after the one asked; 0: never.
    int wrongRecordEvery = 0;
    // Send XOFF (0x13) once, in place of the n-th reply frame's answer, so
    // that the program's output is held off; 0: never.
    int xoffAt = 0;
};

// One request as the command handlers see it: the parameters before the
// command letter ("0;12;7H" gives "0", "12", "7"), the letter, and the bytes
// after it (record data, packed digits).
struct Request {
    std::string payload;
    std::vector<std::string> params;
    char letter = 0;
    std::string data;
};

// What a handler wants sent back. A status reply follows in modes 2 and 3
// unless the handler decides otherwise.
struct Outcome {
    bool hasData = false;
    std::string data;  // the reply's data, from reply position 5 on
    int status = 0;
    int sendStatus = -1;  // -1: by the error-handling mode; 0 no; 1 yes
};

class Emulator;
using CommandHandler = Outcome (*)(Emulator&, const Request&);

// The commands the register knows, keyed by the command letter.
const std::map<char, CommandHandler>& CommandTable();

// One piece of output and the pause that follows it.
struct OutputChunk {
    std::string bytes;
    int delayAfterUs = 0;
};

class Emulator {
public:
    // The PC's clock, seconds since the epoch; tests put a fixed one here.
    using Clock = long long (*)();
    Clock now = nullptr;  // none: the system clock

    static constexpr std::size_t kMaxRequest = 1024;  // longer unfinished frames are dropped

    RegisterState state;
    EmulatorSwitches switches;

    // Every payload received with a good check, in order (for tests that want
    // to know what the program sent).
    std::vector<std::string> requests;
    int badChecks = 0;

    // The model presets 0-3: model text, capacity marker and database sizes.
    // False for others.
    bool SetModel(int index);

    // Fills the databases, header and fiscal memory with a small shop's data.
    void LoadDemoData();

    // Bytes written by the program in; the register's answer out (all of it,
    // for every complete frame in the input so far).
    std::string Feed(const std::string& bytes);
    std::string Feed(const std::uint8_t* bytes, std::size_t n);

    // Bytes held for a frame whose end has not arrived yet.
    std::size_t Pending() const { return input_.size(); }

private:
    struct Parsed {
        std::string payload;
        bool checkOk = false;
    };
    bool NextFrame(Parsed& frame);
    void Handle(const Parsed& frame, std::string& out);
    void Emit(const std::string& frame, std::string& out);

    std::string input_;
    long framesMade_ = 0;
    long recordReads_ = 0;  // "H" and "J" requests so far
    std::uint32_t noise_ = 12345;
};

// Request and reply framing of the register's side.
std::string CheckText(const std::string& bytes);  // 0xFF XOR every byte, two upper-case hex digits
std::string ReplyFrame(const std::string& data);  // a data reply
std::string StatusFrame(int status);              // a status reply
std::string RequestFrame(const std::string& payload);  // as the program frames a request
Request ParseRequest(const std::string& payload);

// How output goes on the line under the switches: one chunk at once, single
// bytes with pauses, or paced at the baud rate.
std::vector<OutputChunk> PlanOutput(const std::string& bytes, const EmulatorSwitches& switches);

// Record bytes as the register sends them back: two upper-case hexadecimal
// digits a byte.
std::string HexText(const std::string& bytes);

// `value` as `bytes` bytes of packed decimal digits, lowest pair first, as the
// register keeps prices, totals and dates.
std::string PackedDigits(long long value, int bytes);

// ---- fiscal memory --------------------------------------------------------
// The history holds records 8 to 2045: kinds 01 (daily report), 02 (PTU rate
// change) and 03 (RAM reset), in the byte layouts the reader decodes; the
// record after the last one reads erased (0xFF).
constexpr int kFiscalHistoryRecords = 2038;

// Replaces the fiscal memory with `count` generated records (0 to 2038) from
// record 8 on. Record 8 + i is a RAM reset when i % 50 == 0, a PTU rate change
// when i % 100 == 1 and a daily report otherwise; the dates run one day a
// record from 2020-01-01. See FiscalMemory.cpp for the values.
void GenerateFiscalMemory(RegisterState& state, int count);

// Replaces the fiscal memory with the records of a text file: one record a
// line as hexadecimal text (two digits a byte), from record 8 on; blank lines
// and lines starting with '#' are skipped. False, with the memory unchanged,
// when the file cannot be read, a line is not whole bytes of hexadecimal
// text, a record is longer than 64 bytes or there are more than 2038.
bool LoadFiscalMemory(RegisterState& state, const std::string& path);
