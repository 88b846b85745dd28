// The register's commands. Each is one function; CommandTable() maps the
// command letter to it.
#include <cstdio>
#include <ctime>
#include <string>

#include "Emulator.h"

namespace {

// The C library's calendar functions under their names on each system.
std::tm LocalTm(std::time_t t) {
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm;
}

std::tm UtcTm(std::time_t t) {
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &t);
#else
    gmtime_r(&t, &tm);
#endif
    return tm;
}

long long SecondsAsUtc(std::tm tm) {
#ifdef _WIN32
    return static_cast<long long>(_mkgmtime(&tm));
#else
    return static_cast<long long>(timegm(&tm));
#endif
}

// Status numbers the register answers with.
constexpr int kBadParameter = 22;
constexpr int kBadData = 23;
constexpr int kNotInFiscalMode = 26;
constexpr int kPluOutOfRange = 79;

constexpr int kModelPlu = -1;   // capacity of the PLU database follows the model
constexpr int kModelKeys = -2;  // and so does the key database

// The record databases: upload and delete letters, the table digit of the
// read command, the record's length as the program sends it (everything
// after the letter up to the check) and the number of records.
struct Database {
    char upload;
    char remove;
    int digit;
    std::size_t recordSize;
    int capacity;
    int outOfRange;  // status for an index beyond the capacity
};
constexpr Database kDatabases[] = {
    {'@', 'Q', 0, 40, 15, kBadParameter},          // packaging: name 19, price 5, zeros 16
    {'A', 'R', 1, 3, kModelKeys, kBadParameter},   // keys: PLU number 2, flag byte 1
    {'B', 'S', 2, 120, 8, kBadParameter},          // cashiers: name 6, zero, password 2, zeros 111
    {'C', 'T', 4, 25, 4, kBadParameter},           // payment forms: name 18, zeros 7
    {'D', 'U', 5, 27, 8, kBadParameter},           // discounts and surcharges: name 19, multiplier 2, zeros 6
    {'E', 'V', 7, 46, kModelPlu, kPluOutOfRange},  // PLU: name 16, bar code 7, price 5, PTU byte, zeros 8,
                                                   // stock 3, zeros 6
};
constexpr std::size_t kHeaderSize = 161;  // lines and 0xFF fill after "0X"
constexpr std::size_t kPtuSize = 14;
constexpr std::size_t kFiscalRecordSize = 64;
constexpr int kIdentityRecord = 4;
constexpr int kFirstHistoryRecord = 8;

const Database* FindDatabase(char letter, bool byRemove) {
    for (const Database& db : kDatabases) {
        if ((byRemove ? db.remove : db.upload) == letter) return &db;
    }
    return nullptr;
}

const Database* FindDatabaseByDigit(const std::string& digit) {
    if (digit.size() != 1) return nullptr;
    for (const Database& db : kDatabases) {
        if (db.digit == digit[0] - '0') return &db;
    }
    return nullptr;
}

int Capacity(const Database& db, const RegisterState& s) {
    if (db.capacity == kModelPlu) return s.pluCapacity;
    if (db.capacity == kModelKeys) return s.keyCapacity;
    return db.capacity;
}

// A decimal parameter of one to six digits.
bool ParseNumber(const std::string& text, int& value) {
    if (text.empty() || text.size() > 6) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// The second parameter ("0;12@" gives 12).
bool IndexParam(const Request& request, int& value) {
    return request.params.size() >= 2 && ParseNumber(request.params[1], value);
}

Outcome Refuse(int status) {
    Outcome o;
    o.status = status;
    return o;
}

Outcome Data(std::string data) {
    Outcome o;
    o.hasData = true;
    o.data = std::move(data);
    return o;
}

// Texts inside a reply must not hold the bytes that end or split it.
std::string CleanText(const std::string& text) {
    std::string clean;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '/' || c == '\\') continue;
        clean += c;
    }
    return clean;
}

// The serial number travels as six characters with its three pairs in
// reverse order; the program turns them back.
std::string WireSerial(const std::string& serial) {
    std::string six = CleanText(serial).substr(0, 6);
    six.insert(0, 6 - six.size(), '0');
    return six.substr(4, 2) + six.substr(2, 2) + six.substr(0, 2);
}

// The PC's local time as seconds counted like UTC, so that the register's
// clock can be shifted and printed without time zones.
long long WallNow(const Emulator& emu) {
    if (emu.now) return emu.now();
    return SecondsAsUtc(LocalTm(std::time(nullptr)));
}

// Date bytes of the newest report in the fiscal memory (year low byte, year
// high byte, month, day) as hexadecimal text; zeros while it is empty.
std::string LastFiscalDate(const RegisterState& s) {
    std::string date = "00000000";
    for (int n = kFirstHistoryRecord;; ++n) {
        auto it = s.fiscalMemory.find(n);
        if (it == s.fiscalMemory.end() || it->second.empty()) break;
        unsigned char kind = static_cast<unsigned char>(it->second[0]);
        if ((kind >> 4) == 0xF || (kind & 0x0F) == 0xF) break;  // erased: the end
        int low = kind & 0x0F;
        if (low >= 1 && low <= 3 && it->second.size() >= 5) date = HexText(it->second.substr(1, 4));
    }
    return date;
}

Outcome Identify(Emulator& emu, const Request&) {
    const RegisterState& s = emu.state;
    std::string data = CleanText(s.modelText) + "/" + CleanText(s.version) + "/" + WireSerial(s.serial);
    std::string marker = CleanText(s.capacityMarker).substr(0, 2);
    if (!marker.empty()) data += "/" + marker;
    return Data(data);
}

Outcome EndCommunication(Emulator& emu, const Request&) {
    emu.state.communicationEnded = true;
    return {};
}

// "0;%sP": the mode is the second parameter. The status reply goes out when
// the new mode reports over the line, or when the mode being left was 3.
Outcome SetErrorMode(Emulator& emu, const Request& request) {
    const std::string text = request.params.size() >= 2 ? request.params[1] : std::string();
    if (text.size() != 1 || text[0] < '0' || text[0] > '3') return Refuse(kBadParameter);
    const int oldMode = emu.state.errorMode;
    const int newMode = text[0] - '0';
    emu.state.errorMode = newMode;
    Outcome o;
    o.sendStatus = (newMode > 1 || oldMode == 3) ? 1 : 0;
    return o;
}

// "0N": error-handling mode, work mode, settings flags, date of the last
// fiscal record.
Outcome InformationBlock(Emulator& emu, const Request&) {
    const RegisterState& s = emu.state;
    char head[8];
    std::snprintf(head, sizeof head, "%02d%02d%02X", s.errorMode, s.fiscal ? 1 : 0, s.settingsFlags);
    return Data(head + LastFiscalDate(s));
}

// "0;%sJ": a fiscal memory record; record 4 is the identity (unique number at
// bytes 0-10, taxpayer's number at bytes 32-44).
Outcome FiscalRecord(Emulator& emu, const Request& request) {
    int n = 0;
    if (!IndexParam(request, n)) return Refuse(kBadParameter);
    std::string record;
    if (n == kIdentityRecord) {
        record.assign(kFiscalRecordSize, '\0');
        record.replace(0, std::min<std::size_t>(emu.state.uniqueNumber.size(), 11), emu.state.uniqueNumber.substr(0, 11));
        record.replace(32, std::min<std::size_t>(emu.state.nip.size(), 13), emu.state.nip.substr(0, 13));
    } else {
        auto it = emu.state.fiscalMemory.find(n);
        record = it != emu.state.fiscalMemory.end() ? it->second : std::string(kFiscalRecordSize, '\xFF');
    }
    return Data(std::to_string(n) + ";" + HexText(record));
}

// "0L": seconds, minutes, hours, day, month, year's last two digits, year's
// first two digits, two decimal digits each.
Outcome ReadClock(Emulator& emu, const Request&) {
    std::time_t t = static_cast<std::time_t>(WallNow(emu) + emu.state.clockOffset);
    const std::tm tm = UtcTm(t);
    int year = tm.tm_year + 1900;
    char text[64];
    std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02d%02d", tm.tm_sec, tm.tm_min, tm.tm_hour,
                  tm.tm_mday, tm.tm_mon + 1, year % 100, (year / 100) % 100);
    return Data(text);
}

// "0Y" and seven packed-digit bytes in the order of the "0L" reply.
Outcome SetClock(Emulator& emu, const Request& request) {
    if (request.data.size() != 7) return Refuse(kBadData);
    int v[7];
    for (int i = 0; i < 7; ++i) {
        unsigned char b = static_cast<unsigned char>(request.data[i]);
        if ((b >> 4) > 9 || (b & 0x0F) > 9) return Refuse(kBadData);
        v[i] = (b >> 4) * 10 + (b & 0x0F);
    }
    if (v[0] > 59 || v[1] > 59 || v[2] > 23 || v[3] < 1 || v[3] > 31 || v[4] < 1 || v[4] > 12) {
        return Refuse(kBadData);
    }
    std::tm tm{};
    tm.tm_sec = v[0];
    tm.tm_min = v[1];
    tm.tm_hour = v[2];
    tm.tm_mday = v[3];
    tm.tm_mon = v[4] - 1;
    tm.tm_year = v[6] * 100 + v[5] - 1900;
    emu.state.clockOffset = SecondsAsUtc(tm) - WallNow(emu);
    return {};
}

// "0G" and the four password digits packed in two bytes.
Outcome SetManagerPassword(Emulator& emu, const Request& request) {
    if (request.data.size() != 2) return Refuse(kBadData);
    emu.state.managerPassword = request.data;
    return {};
}

// "0;%sW": the settings flags, 0 to 15.
Outcome SetSettings(Emulator& emu, const Request& request) {
    int flags = 0;
    if (!IndexParam(request, flags) || flags > 15) return Refuse(kBadParameter);
    emu.state.settingsFlags = static_cast<std::uint8_t>(flags);
    return {};
}

// "0;" index letter record: keeps the record bytes as sent.
Outcome UploadRecord(Emulator& emu, const Request& request) {
    const Database* db = FindDatabase(request.letter, false);
    int index = 0;
    if (!db || !IndexParam(request, index)) return Refuse(kBadParameter);
    if (index >= Capacity(*db, emu.state)) return Refuse(db->outOfRange);
    if (request.data.size() != db->recordSize) return Refuse(kBadData);
    emu.state.records[db->digit][index] = request.data;
    return {};
}

// "0;" index letter: forgets the record; deleting an unused one is no error.
Outcome DeleteRecord(Emulator& emu, const Request& request) {
    const Database* db = FindDatabase(request.letter, true);
    int index = 0;
    if (!db || !IndexParam(request, index)) return Refuse(kBadParameter);
    if (index >= Capacity(*db, emu.state)) return Refuse(db->outOfRange);
    auto table = emu.state.records.find(db->digit);
    if (table != emu.state.records.end()) table->second.erase(index);
    return {};
}

// "0;" index ";" digit "H": the record's bytes as hexadecimal text after the
// index, ";" and two characters. Any index is answered, an unused one (also
// the one past the end that the program asks for) with an empty record of
// 0xFF bytes.
Outcome ReadRecord(Emulator& emu, const Request& request) {
    int index = 0;
    const Database* db = request.params.size() >= 3 ? FindDatabaseByDigit(request.params[2]) : nullptr;
    if (!db || !IndexParam(request, index)) return Refuse(kBadParameter);
    std::string record;
    auto table = emu.state.records.find(db->digit);
    if (table != emu.state.records.end()) {
        auto it = table->second.find(index);
        if (it != table->second.end()) record = it->second;
    }
    if (record.size() < db->recordSize) record.append(db->recordSize - record.size(), '\xFF');
    return Data(std::to_string(index) + ";" + request.params[2] + "H" + HexText(record));
}

// "0X": the header lines, refused in fiscal mode.
Outcome UploadHeader(Emulator& emu, const Request& request) {
    if (emu.state.fiscal) return Refuse(kNotInFiscalMode);
    if (request.data.size() != kHeaderSize) return Refuse(kBadData);
    emu.state.header = request.data;
    return {};
}

Outcome ReadHeader(Emulator& emu, const Request&) { return Data(HexText(emu.state.header)); }

// "0Z": seven rates of two bytes, refused in fiscal mode.
Outcome UploadPtuRates(Emulator& emu, const Request& request) {
    if (emu.state.fiscal) return Refuse(kNotInFiscalMode);
    if (request.data.size() != kPtuSize) return Refuse(kBadData);
    emu.state.ptuRates = request.data;
    return {};
}

Outcome ReadPtuRates(Emulator& emu, const Request&) { return Data(HexText(emu.state.ptuRates)); }

}  // namespace

const std::map<char, CommandHandler>& CommandTable() {
    static const std::map<char, CommandHandler> table = {
        {'^', Identify},
        {'_', EndCommunication},
        {'P', SetErrorMode},
        {'N', InformationBlock},
        {'J', FiscalRecord},
        {'L', ReadClock},
        {'Y', SetClock},
        {'G', SetManagerPassword},
        {'W', SetSettings},
        {'@', UploadRecord},
        {'A', UploadRecord},
        {'B', UploadRecord},
        {'C', UploadRecord},
        {'D', UploadRecord},
        {'E', UploadRecord},
        {'Q', DeleteRecord},
        {'R', DeleteRecord},
        {'S', DeleteRecord},
        {'T', DeleteRecord},
        {'U', DeleteRecord},
        {'V', DeleteRecord},
        {'H', ReadRecord},
        {'X', UploadHeader},
        {'K', ReadHeader},
        {'Z', UploadPtuRates},
        {'O', ReadPtuRates},
    };
    return table;
}
