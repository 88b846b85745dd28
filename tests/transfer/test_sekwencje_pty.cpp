// Round trips through the real serial code and the register emulator on a
// pseudo-terminal, in each of the four models: every table filled, sent (with
// the header and the PTU rates), read back into an empty table set and
// compared cell for cell.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Cp1250.h"
#include "NativeSerialPort.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "RecordingUi.h"
#include "Sekwencje.h"
#include "Tabele.h"

namespace {

std::string W(const std::string& utf8) { return Utf8ToCp1250(utf8); }

std::string Printf(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// Every table filled in the forms the editors write; PLU rows spread over the
// index widths up to the model's last row.
void Fill(TableSet& set) {
    auto row = [&](TableId t, int r, const std::vector<std::string>& cells) {
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) set.SetCell(t, c, r, cells[c]);
    };
    const std::string n[] = {"", "1", "2", "3", "4", "5", "6", "7", "8"};
    for (int r = 1; r <= 15; ++r)
        row(TableId::Packaging, r, {std::to_string(r), W("Butelka ąę " + std::to_string(r)), Printf("%.2f", r * 1.25)});

    const int plus = set.Rows(TableId::Plu);
    for (int r : {1, 2, 9, 10, 11, 99, 100, 101, 999, 1000, 1001, 9999, 10000, 10001, 19199, plus}) {
        if (r > plus) continue;
        const bool fractions = set.Model() == 0 || r % 2 == 1;
        const std::string stock = fractions ? Printf("%.3f", (r % 500) - 250.125) : std::to_string(r % 1000 - 500);
        std::vector<std::string> cells = {std::to_string(r),
                                          W("Towar ż" + std::to_string(r)),
                                          r % 2 ? "590" + std::to_string(r) : "",
                                          std::string(1, static_cast<char>('A' + r % 7)),
                                          std::to_string(r % 16),
                                          Printf("%.2f", r * 0.37),
                                          stock};
        if (set.Model() > 0) cells.push_back(fractions ? "TAK" : "NIE");
        row(TableId::Plu, r, cells);
    }
    for (int r = 1; r <= 8; ++r)
        row(TableId::Cashier, r, {n[r], W("Kaś" + n[r]), std::to_string(1000 + r * 1111 % 9000)});
    for (int r = 1; r <= set.Rows(TableId::Key); ++r)
        row(TableId::Key, r, {std::to_string(r), std::to_string(r * 37 % 9999 + 1), std::to_string(r % 16), r % 3 ? "NIE" : "TAK"});
    for (int r = 1; r <= 4; ++r) {
        row(TableId::Discount, r, {n[r], W("Rabat ó" + n[r]), Printf("%.2f", r * 2.5)});
        row(TableId::Surcharge, r, {n[r + 4], W("Dopłata " + n[r]), Printf("%.2f", r * 7.5)});
        row(TableId::PaymentForm, r, {n[r], W("Forma Ź" + n[r])});
    }
    for (int r = 1; r <= 8; ++r) set.SetCell(TableId::Header, 1, r, W("Linia nagłówka " + n[r]));
    const char* status[] = {"AKTYWNA", "AKTYWNA", "ZWOLNIONA", "NIEAKTYWNA", "AKTYWNA", "NIEAKTYWNA", "AKTYWNA"};
    const char* value[] = {"23.00", "12.50", "", "", "10.00", "", "99.99"};
    for (int r = 1; r <= 7; ++r) {
        set.SetCell(TableId::Ptu, 1, r, value[r - 1]);
        set.SetCell(TableId::Ptu, 2, r, status[r - 1]);
    }
}

struct Param {
    int model;
    int mode;
};

class PtyRoundTrip : public ::testing::TestWithParam<Param> {
protected:
    Connection link;
};

TEST_P(PtyRoundTrip, EveryTableComesBackAsSent) {
    const Param p = GetParam();
    PtyServer server;
    server.WithEmulator([&](Emulator& e) {
        e.SetModel(p.model);
        e.state.errorMode = p.mode;
    });
    ASSERT_TRUE(server.Start());
    link.Reset();
    link.UsePort(std::make_unique<NativeSerialPort>());
    link.Settings().errorMode = p.mode;
    link.Settings().pollLimit = 200000;
    ASSERT_TRUE(link.OpenPort(server.SlavePath()));
    RecordingUi ui;
    InstallUi(&ui);

    TableSet sent, got;
    sent.ApplyModel(p.model, PluRule::Capacity);
    got.ApplyModel(p.model, PluRule::Capacity);
    Fill(sent);

    SendAllTables(link, sent);
    ASSERT_TRUE(FiscalModeTest(link, FiscalGuard::Header));
    SendHeader(link, sent);
    ASSERT_TRUE(FiscalModeTest(link, FiscalGuard::PtuRates));
    SendPtuRates(link, sent);
    ReadAllTables(link, got);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{});
    EXPECT_EQ(server.WithEmulator([](Emulator& e) { return e.badChecks; }), 0);

    int differences = 0;
    for (TableId t : {TableId::Packaging, TableId::Plu, TableId::Cashier, TableId::Key, TableId::Discount,
                      TableId::Surcharge, TableId::PaymentForm, TableId::Header, TableId::Ptu})
        for (int r = 1; r <= sent.Rows(t); ++r)
            for (int c = 0; c < sent.Columns(t); ++c)
                if (got.Cell(t, c, r) != sent.Cell(t, c, r) && ++differences <= 10)
                    ADD_FAILURE() << "table " << static_cast<int>(t) << " row " << r << " column " << c << ": sent \""
                                  << Cp1250ToUtf8(sent.Cell(t, c, r)) << "\", read \"" << Cp1250ToUtf8(got.Cell(t, c, r))
                                  << "\"";
    EXPECT_EQ(differences, 0);

    InstallUi(nullptr);
    link.Reset();
    server.Stop();
}

INSTANTIATE_TEST_SUITE_P(Models, PtyRoundTrip,
                         ::testing::Values(Param{0, 0}, Param{1, 2}, Param{2, 1}, Param{3, 3}),
                         [](const ::testing::TestParamInfo<Param>& info) {
                             return "Model" + std::to_string(info.param.model) + "Mode" +
                                    std::to_string(info.param.mode);
                         });

}  // namespace
