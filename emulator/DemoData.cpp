// A register with something in it, for demonstrations and training: a few
// goods, cashiers and keys, a header, and a fiscal memory with reports.
#include <string>

#include "Emulator.h"

namespace {

// A name as the register stores it: the text (ASCII here), 0xFF up to the width.
std::string Name(const std::string& text, std::size_t width) {
    std::string field = text.substr(0, width);
    field.append(width - field.size(), '\xFF');
    return field;
}

// Year low pair, year high pair, month, day.
std::string Date(int year, int month, int day) {
    return PackedDigits(year % 100, 1) + PackedDigits(year / 100, 1) + PackedDigits(month, 1) + PackedDigits(day, 1);
}

std::string Zeros(std::size_t n) { return std::string(n, '\0'); }

std::string Plu(const std::string& name, long long price, int rate, bool fractions, long long stock) {
    std::string record = Name(name, 16) + std::string(7, '\xFF') + PackedDigits(price, 5);
    record += static_cast<char>(rate + (fractions ? 0 : 8));
    record += Zeros(8) + PackedDigits(stock, 3) + Zeros(6);
    return record;
}

std::string DailyReport(int day, long long totalA, long long totalB, int receipts) {
    std::string record = "\x01" + Date(2026, 1, day);
    record += PackedDigits(totalA, 5) + PackedDigits(totalB, 5);
    for (int i = 0; i < 5; ++i) record += PackedDigits(0, 5);
    record += PackedDigits(receipts, 2) + PackedDigits(0, 3) + PackedDigits(0, 2) + PackedDigits(0, 5);
    return record;
}

}  // namespace

void Emulator::LoadDemoData() {
    auto& r = state.records;
    r[0][0] = Name("BUTELKA 0,5L", 19) + PackedDigits(50, 5) + Zeros(16);
    r[0][1] = Name("SKRZYNKA", 19) + PackedDigits(1500, 5) + Zeros(16);
    r[7][0] = Plu("CHLEB", 349, 2, false, 40);
    r[7][1] = Plu("MLEKO 2%", 299, 2, false, 25);
    r[7][2] = Plu("SER ZOLTY", 2990, 2, true, 3250);
    r[7][3] = Plu("WODA 1,5L", 199, 0, false, 120);
    r[2][0] = Name("ADMIN", 6) + Zeros(1) + Zeros(2) + Zeros(111);
    r[2][1] = Name("ANNA", 6) + Zeros(1) + "\x12\x34" + Zeros(111);
    r[1][0] = PackedDigits(1, 2) + "\x01";
    r[1][1] = PackedDigits(2, 2) + "\x01";
    r[4][0] = Name("GOTOWKA", 18) + Zeros(7);
    r[4][1] = Name("KARTA", 18) + Zeros(7);
    r[5][0] = Name("RABAT STALY", 19) + PackedDigits(950, 2) + Zeros(6);
    r[5][4] = Name("DOPLATA", 19) + PackedDigits(1100, 2) + Zeros(6);

    std::string lines = "SKLEP SPOZYWCZY\rul. Testowa 1\r00-001 Warszawa\r";
    state.header = lines + std::string(161 - lines.size(), '\xFF');

    auto& fm = state.fiscalMemory;
    fm[8] = "\x03" + Date(2026, 1, 2) + PackedDigits(8, 1) + PackedDigits(0, 1);  // RAM reset at 08:00
    fm[9] = "\x02" + Date(2026, 1, 2) + state.ptuRates;           // rates in force
    fm[10] = DailyReport(2, 123456, 4550, 37);
    fm[11] = DailyReport(3, 98020, 1200, 29);
    fm[12] = DailyReport(5, 154300, 0, 44);
}
