// A fiscal memory for the reader: generated, or loaded from a text file of
// hexadecimal records.
#include <chrono>
#include <fstream>
#include <map>
#include <string>

#include "Emulator.h"

namespace {

constexpr int kFirstRecord = 8;
constexpr std::size_t kRecordSize = 64;  // every record is sent as 64 bytes

// The date `days` after 2020-01-01 as year low pair, year high pair, month, day.
std::string DateBytes(int days) {
    using namespace std::chrono;
    const year_month_day d{sys_days{year{2020} / January / 1} + std::chrono::days{days}};
    const int y = static_cast<int>(d.year());
    return PackedDigits(y % 100, 1) + PackedDigits(y / 100, 1) + PackedDigits(static_cast<unsigned>(d.month()), 1) +
           PackedDigits(static_cast<unsigned>(d.day()), 1);
}

std::string Padded(std::string record) {
    record.resize(kRecordSize, '\0');
    return record;
}

// Daily report k (1, 2, ...): TOT. A k x 123.45, TOT. B k x 1.00 + 0.07,
// TOT. C 500.00 on every third report, the rest 0; k receipts (mod 10000),
// k changes, k % 7 cancellations worth 2.50 each.
std::string DailyReport(int k, int days) {
    std::string r = "\x01" + DateBytes(days);
    r += PackedDigits(12345LL * k, 5) + PackedDigits(100LL * k + 7, 5) + PackedDigits(k % 3 == 0 ? 50000 : 0, 5);
    for (int i = 0; i < 4; ++i) r += PackedDigits(0, 5);
    r += PackedDigits(k % 10000, 2) + PackedDigits(k, 3) + PackedDigits(k % 7, 2) + PackedDigits(250LL * (k % 7), 5);
    return Padded(r);
}

// PTU change m (1, 2, ...): A 23.00 (odd m) or 22.00 (even m), B 08.00,
// C 05.00, D 00.00, E exempt, F and G not in use.
std::string PtuChange(int m, int days) {
    std::string r = "\x02" + DateBytes(days);
    r += std::string("\x00", 1) + (m % 2 ? "\x23" : "\x22");
    r += std::string("\x00\x08\x00\x05\x00\x00\xFE\xFF\xFF\xFF\xFF\xFF", 12);
    return Padded(r);
}

// A RAM reset at i % 24 hours, i x 7 % 60 minutes.
std::string RamReset(int i, int days) {
    return Padded("\x03" + DateBytes(days) + PackedDigits(i % 24, 1) + PackedDigits(i * 7 % 60, 1));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

void GenerateFiscalMemory(RegisterState& state, int count) {
    if (count < 0) count = 0;
    if (count > kFiscalHistoryRecords) count = kFiscalHistoryRecords;
    state.fiscalMemory.clear();
    int reports = 0, changes = 0;
    for (int i = 0; i < count; ++i) {
        std::string record;
        if (i % 50 == 0) {
            record = RamReset(i, i);
        } else if (i % 100 == 1) {
            record = PtuChange(++changes, i);
        } else {
            record = DailyReport(++reports, i);
        }
        state.fiscalMemory[kFirstRecord + i] = std::move(record);
    }
}

bool LoadFiscalMemory(RegisterState& state, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::map<int, std::string> memory;
    int number = kFirstRecord;
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        line.erase(0, start);
        if (line.size() % 2 != 0 || line.size() > 2 * kRecordSize) return false;
        if (number - kFirstRecord >= kFiscalHistoryRecords) return false;
        std::string record;
        for (std::size_t k = 0; k < line.size(); k += 2) {
            const int hi = HexValue(line[k]), lo = HexValue(line[k + 1]);
            if (hi < 0 || lo < 0) return false;
            record += static_cast<char>(hi * 16 + lo);
        }
        memory[number++] = std::move(record);
    }
    if (in.bad()) return false;
    state.fiscalMemory = std::move(memory);
    return true;
}
