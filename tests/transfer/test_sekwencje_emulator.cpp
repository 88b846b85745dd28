// Round trips through the register emulator: every table sent, read back into
// an empty table set and compared cell for cell, with the status replies of
// mode 2 read after every command.
#include "Emulator.h"
#include "EmulatorPort.h"
#include "test_sekwencje_wspolne.h"

using namespace seqtest;

namespace {

class EmulatorRoundTrip : public ::testing::Test {
protected:
    Connection link;
    void SetUp() override {
        link.Reset();
        emu.SetModel(1);
        emu.state.errorMode = 2;
        auto p = std::make_unique<EmulatorPort>(emu, true);
        port = p.get();
        link.UsePort(std::move(p));
        link.Settings().errorMode = 2;
        link.Settings().pollLimit = 5000;
        InstallUi(&ui);
        sent.ApplyModel(1, PluRule::Configured);
        got.ApplyModel(1, PluRule::Configured);
    }
    void TearDown() override {
        InstallUi(nullptr);
        link.Reset();
    }
    void Row(TableId t, int row, const std::vector<std::string>& cells) {
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) sent.SetCell(t, c, row, cells[c]);
    }

    Emulator emu;
    EmulatorPort* port = nullptr;
    RecordingUi ui;
    TableSet sent, got;
};

TEST_F(EmulatorRoundTrip, EveryTableComesBackAsSent) {
    Row(TableId::Packaging, 1, {"1", W("Butelka żółta"), "0.50"});
    Row(TableId::Packaging, 15, {"15", "Skrzynka", "12.00"});
    Row(TableId::Plu, 1, {"1", W("Woda źródlana"), "5901234123457", "B", "1", "1.20", "12", "NIE"});
    Row(TableId::Plu, 2, {"2", "Ser", "", "G", "0", "25.99", "-1.500", "TAK"});
    Row(TableId::Plu, 3, {"3", "Zgrzewka", "15901234123458", "A", "0", "7.20", "6", "NIE"});  // GTIN-14 whole
    Row(TableId::Plu, 1000, {"1000", "Ostatni", "12345", "A", "15", "99999.99", "0.000", "TAK"});
    Row(TableId::Cashier, 1, {"1", "ANNA", "0012"});
    Row(TableId::Cashier, 8, {"8", W("ŁUCJA"), "9999"});
    Row(TableId::Key, 1, {"1", "12", "1", "NIE"});
    Row(TableId::Key, 10, {"10", "1000", "15", "TAK"});
    Row(TableId::Discount, 1, {"1", W("Stały klient"), "5.00"});
    Row(TableId::Discount, 4, {"4", "Hurt", "12.50"});
    Row(TableId::Surcharge, 1, {"5", "Noc", "10.00"});
    Row(TableId::Surcharge, 4, {"8", "Dostawa", "100.00"});
    Row(TableId::PaymentForm, 1, {"1", W("GOTÓWKA")});
    Row(TableId::PaymentForm, 4, {"4", "KARTA"});
    sent.SetCell(TableId::Header, 1, 1, W("  Sklep Ślimak  "));
    sent.SetCell(TableId::Header, 1, 2, "ul. Polna 1");
    sent.SetCell(TableId::Ptu, 1, 1, "23.00");
    sent.SetCell(TableId::Ptu, 2, 1, "AKTYWNA");
    sent.SetCell(TableId::Ptu, 2, 2, "ZWOLNIONA");
    sent.SetCell(TableId::Ptu, 1, 3, "12.50");
    sent.SetCell(TableId::Ptu, 2, 3, "AKTYWNA");

    SendAllTables(link, sent);
    ASSERT_TRUE(FiscalModeTest(link, FiscalGuard::Header));
    SendHeader(link, sent);
    ASSERT_TRUE(FiscalModeTest(link, FiscalGuard::PtuRates));
    SendPtuRates(link, sent);
    EXPECT_EQ(emu.badChecks, 0);
    EXPECT_TRUE(ui.Messages().empty()) << ui.Messages().front();

    ReadAllTables(link, got);
    EXPECT_TRUE(ui.Messages().empty()) << ui.Messages().front();
    EXPECT_EQ(port->Queued(), 0u) << "every status reply was read";

    for (TableId t : {TableId::Packaging, TableId::Plu, TableId::Cashier, TableId::Key, TableId::Discount,
                      TableId::Surcharge, TableId::PaymentForm, TableId::Header, TableId::Ptu}) {
        for (int r = 1; r <= sent.Rows(t); ++r)
            for (int c = 0; c < sent.Columns(t); ++c)
                EXPECT_EQ(got.Cell(t, c, r), sent.Cell(t, c, r))
                    << "table " << static_cast<int>(t) << " row " << r << " column " << c;
    }
}

TEST_F(EmulatorRoundTrip, FiscalRegisterRefusesHeaderAndDeletionsEmptyIt) {
    emu.state.fiscal = true;
    EXPECT_FALSE(FiscalModeTest(link, FiscalGuard::Header));
    EXPECT_FALSE(FiscalModeTest(link, FiscalGuard::PtuRates));
    EXPECT_EQ(ui.Messages().size(), 2u);
    ui.Clear();

    emu.state.fiscal = false;
    Row(TableId::Plu, 3, {"3", "Trzeci", "", "A", "0", "1.00", "1", "NIE"});
    Row(TableId::Plu, 5, {"5", "Piaty", "", "A", "0", "1.00", "1", "NIE"});
    SendPluTable(link, sent);
    EXPECT_TRUE(PluExists(link, 3));
    EXPECT_FALSE(PluExists(link, 4));
    EXPECT_TRUE(DeleteRecord(link, sent, TableId::Plu, "3"));
    EXPECT_FALSE(PluExists(link, 3));
    EXPECT_TRUE(PluExists(link, 5));
    DeleteTable(link, sent, TableId::Plu);
    EXPECT_FALSE(PluExists(link, 5));
    EXPECT_TRUE(ui.Messages().empty()) << ui.Messages().front();
}

TEST_F(EmulatorRoundTrip, InformationSettingsAndClock) {
    emu.now = [] { return 1000000000LL; };
    EXPECT_TRUE(SendManagerPassword(link, "1234"));
    EXPECT_EQ(emu.state.managerPassword, "\x12\x34");
    SendSettingsByte(link, SettingsNumber(1, 1, 2));
    EXPECT_EQ(emu.state.settingsFlags, 11);
    SetRegisterClock(link, 58, 59, 23, 31, 12, 2007);
    EXPECT_EQ(ReadRegisterClock(link), "2007-12-31 23:59:58");
    EXPECT_EQ(port->Queued(), 0u) << "the clock's status reply was read";

    const std::string block = ReadRegisterState(link);
    const auto rows = RegisterInfoValues("ZELTRA ARK MIRRA", "123456", "V1.07", ReadUniqueNumber(link), block,
                                         ReadRegisterClock(link));
    EXPECT_EQ(rows[3], std::optional<std::string>("ZEL12345678"));
    EXPECT_EQ(rows[4], std::optional<std::string>("Wyświetlacz-ON, RS232-ON"));
    EXPECT_EQ(rows[5], std::optional<std::string>("Tryb szkoleniowy"));
    EXPECT_EQ(rows[6], std::optional<std::string>("w groszach"));
    EXPECT_EQ(rows[7], std::optional<std::string>("ON-LINE"));
    EXPECT_EQ(rows[8], std::optional<std::string>("Ciemny wydruk"));
    EXPECT_EQ(rows[10], std::optional<std::string>("2007-12-31 23:59:58"));
    EXPECT_TRUE(ui.Messages().empty()) << ui.Messages().front();
}

}  // namespace
