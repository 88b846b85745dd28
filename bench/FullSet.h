// A full model-3 table set of the kind a shop keeps, for the data-file
// benchmarks: 19 200 PLU with Polish names in Windows-1250, EAN-13 codes,
// prices, stock with and without decimals, and every fixed table filled.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Tabele.h"

inline std::string BenchPrice(int cents) {
    char b[32];
    std::snprintf(b, sizeof b, "%.2f", cents / 100.0);
    return b;
}

inline void FillFullSet(TableSet& set) {
    set.ApplyModel(3, PluRule::Capacity);
    const char* words[] = {"Chleb \xBFytni", "Mas\xB3o ekstra", "Kie\xB3" "basa", "Ser \xBF\xF3\xB3ty",
                           "Woda gaz.", "Jogurt nat.", "Mleko 3,2%", "\x8C" "mietana 18"};
    TableBatch batch(set);
    for (int r = 1; r <= set.Rows(TableId::Plu); ++r) {
        std::string n = std::to_string(r);
        std::string ean = "590" + std::string(9 - std::min<size_t>(9, n.size()), '0') + n;
        int sum = 0;  // the GS1 check digit, weights 3 and 1 from the right
        for (size_t i = 0; i < ean.size(); ++i) sum += (ean[ean.size() - 1 - i] - '0') * (i % 2 ? 1 : 3);
        ean += static_cast<char>('0' + (10 - sum % 10) % 10);
        bool fraction = r % 3 == 0;
        const std::vector<std::string> row = {
            n,           std::string(words[r % 8]).substr(0, 10) + n,
            ean,         std::string(1, static_cast<char>('A' + r % 7)),
            std::to_string(r % 16), BenchPrice(99 + r * 7 % 100000),
            fraction ? std::to_string(r % 500) + ".250" : std::to_string(r % 900),
            fraction ? "TAK" : "NIE"};
        for (int c = 0; c < 8; ++c) set.SetCell(TableId::Plu, c, r, row[c]);
    }
    for (int r = 1; r <= set.Rows(TableId::Key); ++r) {
        set.SetCell(TableId::Key, 0, r, std::to_string(r));
        set.SetCell(TableId::Key, 1, r, std::to_string(r * 37));
        set.SetCell(TableId::Key, 2, r, "1");
        set.SetCell(TableId::Key, 3, r, "NIE");
    }
    for (int r = 1; r <= 15; ++r) {
        set.SetCell(TableId::Packaging, 0, r, std::to_string(r));
        set.SetCell(TableId::Packaging, 1, r, "Butelka zwrotna " + std::to_string(r));
        set.SetCell(TableId::Packaging, 2, r, BenchPrice(50 * r));
    }
    for (int r = 1; r <= 8; ++r) {
        set.SetCell(TableId::Cashier, 0, r, std::to_string(r));
        set.SetCell(TableId::Cashier, 1, r, "Kasjer" + std::to_string(r));
        set.SetCell(TableId::Cashier, 2, r, "123" + std::to_string(r));
        set.SetCell(TableId::Header, 1, r, "   Sklep \"U Zenka\"");
    }
}
