// The register's information, settings and clock.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "Bcd.h"
#include "Cp1250.h"
#include "Pomoc.h"
#include "Przebieg.h"
#include "Ramki.h"
#include "Sekwencje.h"
#include "Ui.h"
#include "Uklady.h"

using namespace sekwencje;

namespace {

const char* const kBadPassword = "Hasło kierownika musi mieć 4 cyfry";

// Two characters as one byte: a digit counts its value, any other character
// its code minus 55 ('A' to 'F' give 10 to 15).
unsigned HexTextByte(std::string_view two) {
    auto value = [](char ch) -> unsigned {
        if (IsDigit(ch)) return static_cast<unsigned>(ch - '0');
        return static_cast<unsigned>(static_cast<unsigned char>(ch)) - 55U;
    };
    const unsigned hi = two.size() > 0 ? value(two[0]) : 0;
    const unsigned lo = two.size() > 1 ? value(two[1]) : 0;
    return (hi * 16 + lo) & 0xFF;
}

// Two decimal digits of a value (0 to 99) packed in one byte.
unsigned PackedTwoDigits(int value) {
    const int v = std::clamp(value, 0, 9999) % 100;
    return static_cast<unsigned>(((v / 10) << 4) | (v % 10));
}

}  // namespace

std::string ReadRegisterState(Connection& link) {
    std::memset(link.ReplyArea(), 0, kReplyAreaSize);
    AskFrame(link, "0N", 9, [](std::string_view data) { return Leads(data, kInfoBlockChars); });
    std::string block = Slice(link.ReplyText(), 4, kInfoBlockChars);
    link.AwaitStatus();
    return block;
}

std::string ReadUniqueNumber(Connection& link) {
    std::memset(link.ReplyArea(), 0, kReplyAreaSize);
    AskFrame(link, "0;4J", 12, [](std::string_view data) {
        const auto hex = AfterEcho(data, 4);
        return hex && Leads(*hex, 2 * kUniqueNumberBytes);
    });
    std::string bytes = HexToBytes(Slice(link.ReplyText(), 6, 2 * kUniqueNumberBytes));
    bytes.resize(strnlen(bytes.c_str(), bytes.size()));
    link.AwaitStatus();
    return bytes;
}

std::string ReadRegisterClock(Connection& link) {
    std::memset(link.ReplyArea(), 0, kReplyAreaSize);
    AskFrame(link, "0L", 9, [](std::string_view data) { return Leads(data, kClockChars, true); });
    const std::string g = Slice(link.ReplyText(), 4, kClockChars);
    auto pair = [&](std::size_t k) { return Slice(g, 2 * k, 2); };
    std::string text = pair(6) + pair(5) + "-" + pair(4) + "-" + pair(3) + " " + pair(2) + ":" +
                       pair(1) + ":" + pair(0);
    link.AwaitStatus();
    return text;
}

bool IsFiscalBlock(const std::string& block) { return Slice(block, 2, 2) == "01"; }

const std::array<const char*, kInfoRows>& RegisterInfoNames() {
    static const std::array<const char*, kInfoRows> names = {
        "Typ kasy",
        "Nr fabryczny",
        "Wersja oprogramowania",
        "Nr unikatowy",
        "Tryb obsługi błędów",
        "Tryb pracy",
        "Sposób wprowadzania kwot",
        "Sposób komunikacji",
        "Jakość wydruku",
        "Data ostatniego zapisu w FM",
        "Data i czas w kasie",
    };
    return names;
}

std::array<std::optional<std::string>, kInfoRows> RegisterInfoValues(
    const std::string& model, const std::string& serial, const std::string& version,
    const std::string& uniqueNumber, const std::string& block, const std::string& clock) {
    std::array<std::optional<std::string>, kInfoRows> rows;
    rows[0] = model;
    rows[1] = serial;
    rows[2] = version;
    rows[3] = Cp1250ToUtf8(uniqueNumber);

    const std::string mode = Slice(block, 0, 2);
    if (mode == "00") rows[4] = "Wyświetlacz-ON, RS232-OFF";
    else if (mode == "01") rows[4] = "Wyświetlacz-OFF, RS232-OFF";
    else if (mode == "02") rows[4] = "Wyświetlacz-ON, RS232-ON";
    else if (mode == "03") rows[4] = "Wyświetlacz-OFF, RS232-ON";

    const std::string work = Slice(block, 2, 2);
    if (work == "00") rows[5] = "Tryb szkoleniowy";
    else if (work == "01") rows[5] = "Tryb fiskalny";

    const unsigned flags = HexTextByte(Slice(block, 4, 2));
    rows[6] = flags & 1 ? "w groszach" : "w złotówkach";
    rows[7] = flags & 2 ? "ON-LINE" : "OFF-LINE";
    rows[8] = flags & 8 ? "Ciemny wydruk" : flags & 4 ? "Jaśniejszy wydruk" : "Normalny wydruk";

    // The year comes with its halves swapped: last two digits first.
    rows[9] = Cp1250ToUtf8(Slice(block, 8, 2) + Slice(block, 6, 2) + "-" + Slice(block, 10, 2) + "-" +
                           Slice(block, 12, 2));
    rows[10] = Cp1250ToUtf8(clock);
    return rows;
}

bool SendManagerPassword(Connection& link, const std::string& password) {
    if (password.size() != 4 || !AllDigits(password)) {
        link.UserUi().Message(kBadPassword);
        return false;
    }
    auto digit = [&](int k) { return static_cast<unsigned>(password[static_cast<std::size_t>(k)] - '0'); };
    SendFrame(link, "0G" + Byte(digit(0) << 4 | digit(1)) + Byte(digit(2) << 4 | digit(3)), 11);
    link.AwaitStatus();
    return true;
}

int SettingsNumber(int amountMode, int communication, int printQuality) {
    return amountMode + 2 * communication + 4 * printQuality;
}

void SendSettingsByte(Connection& link, int number) {
    SendFrame(link, "0;" + std::to_string(number) + "W", 11);
    link.AwaitStatus();
}

void SetRegisterClock(Connection& link, int seconds, int minutes, int hours, int day, int month, int year) {
    const int y = std::clamp(year, 0, 9999);
    std::string payload = "0Y";
    for (int v : {seconds, minutes, hours, day, month, y % 100, y / 100}) payload += Byte(PackedTwoDigits(v));
    SendFrame(link, payload, 15);
    // The register answers the clock like every other command in modes 2 and 3;
    // leaving that reply queued would spoil the next command's reply.
    link.AwaitStatus();
}

std::string ClockText(int seconds, int minutes, int hours, int day, int month, int year) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hours, minutes,
                  seconds);
    return text;
}
