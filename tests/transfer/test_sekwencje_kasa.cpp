// Register information, settings and clock: requests byte for byte, replies
// decoded, the information grid's values and the status rule.
#include <functional>

#include "test_sekwencje_wspolne.h"

using namespace seqtest;

namespace {

std::string Z(int n) { return std::string(static_cast<std::size_t>(n), '\0'); }

class RegisterTest : public SequenceTest {};

TEST_F(RegisterTest, InformationGridValues) {
    struct Case {
        const char* name;
        std::string block;
        std::optional<std::string> mode, work;
        std::string amounts, communication, print, fmDate;
    };
    using O = std::optional<std::string>;
    const std::vector<Case> cases = {
        {"0 2 0 1, flags 03", "02010307201231", O("Wyświetlacz-ON, RS232-ON"), O("Tryb fiskalny"), "w groszach",
         "ON-LINE", "Normalny wydruk", "2007-12-31"},
        {"flags 0C: darker wins over lighter", "00000C10200102", O("Wyświetlacz-ON, RS232-OFF"),
         O("Tryb szkoleniowy"), "w złotówkach", "OFF-LINE", "Ciemny wydruk", "2010-01-02"},
        {"flags 04 and the other modes", "01000409202801", O("Wyświetlacz-OFF, RS232-OFF"), O("Tryb szkoleniowy"),
         "w złotówkach", "OFF-LINE", "Jaśniejszy wydruk", "2009-28-01"},
        {"mode 03, work 01, flags 0A", "03010A24200615", O("Wyświetlacz-OFF, RS232-ON"), O("Tryb fiskalny"),
         "w złotówkach", "ON-LINE", "Ciemny wydruk", "2024-06-15"},
        {"0 7 keeps rows 4 and 5", "07050000000000", std::nullopt, std::nullopt, "w złotówkach", "OFF-LINE",
         "Normalny wydruk", "0000-00-00"},
        {"a short block", "02", O("Wyświetlacz-ON, RS232-ON"), std::nullopt, "w złotówkach", "OFF-LINE",
         "Normalny wydruk", "--"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rows =
            RegisterInfoValues("ZELTRA ARK MAXI", "123456", "V1.07", "AB12", c.block, "2007-12-31 23:59:58");
        EXPECT_EQ(rows[0], O("ZELTRA ARK MAXI"));
        EXPECT_EQ(rows[1], O("123456"));
        EXPECT_EQ(rows[2], O("V1.07"));
        EXPECT_EQ(rows[3], O("AB12"));
        EXPECT_EQ(rows[4], c.mode);
        EXPECT_EQ(rows[5], c.work);
        EXPECT_EQ(rows[6], O(c.amounts));
        EXPECT_EQ(rows[7], O(c.communication));
        EXPECT_EQ(rows[8], O(c.print));
        EXPECT_EQ(rows[9], O(c.fmDate));
        EXPECT_EQ(rows[10], O("2007-12-31 23:59:58"));
    }
    EXPECT_STREQ(RegisterInfoNames()[0], "Typ kasy");
    EXPECT_STREQ(RegisterInfoNames()[9], "Data ostatniego zapisu w FM");
    EXPECT_STREQ(RegisterInfoNames()[10], "Data i czas w kasie");
}

TEST_F(RegisterTest, ReadsAndTheirRequests) {
    struct Case {
        const char* name;
        int mode;
        std::string answer;
        std::function<std::string(Connection&)> read;
        std::string request;
        std::string result;
        std::vector<std::string> messages;
        std::string stale = {};  // an old reply still queued on the line
        std::size_t writes = 1;
    };
    const std::string unique = HexDigits("ZX1234567") + "0000" + "00000000";  // 11 bytes, zero after the text
    const std::vector<Case> cases = {
        {"information block", 0, Reply("02010307201231"), ReadRegisterState, Frame("0N") + Z(1), "02010307201231", {}},
        {"information block, mode 2: status read after it", 2, Reply("02010307201231") + Status(0),
         ReadRegisterState, Frame("0N") + Z(1), "02010307201231", {}},
        {"unique number", 0, Reply("4;" + unique), ReadUniqueNumber, Frame("0;4J") + Z(2), "ZX1234567", {}},
        // An old reply left on the line is not taken for the answer: the line
        // is cleared and the command sent again.
        {"information block after a stale status reply", 2, Reply("02010307201231") + Status(0), ReadRegisterState,
         Frame("0N") + Z(1), "02010307201231", {}, Status(0), 2},
        {"unique number after another command's reply", 0, Reply("4;" + unique), ReadUniqueNumber,
         Frame("0;4J") + Z(2), "ZX1234567", {}, Reply("02010307201231"), 2},
        {"clock after the information block's reply", 0, Reply("58592331120720"), ReadRegisterClock,
         Frame("0L") + Z(1), "2007-12-31 23:59:58", {}, Reply("020103072012AB"), 2},
        {"clock 58 59 23 31 12 07 20", 0, Reply("58592331120720"), ReadRegisterClock, Frame("0L") + Z(1),
         "2007-12-31 23:59:58", {}},
        {"clock, mode 3 with an error status", 3, Reply("00000101010120") + Status(22), ReadRegisterClock,
         Frame("0L") + Z(1), "2001-01-01 01:00:00", {"Błąd parametru"}},
        {"unique number, silent register", 0, "", ReadUniqueNumber, Frame("0;4J") + Z(2), "",
         {"Brak odpowiedzi z kasy"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        link.Settings().errorMode = c.mode;
        port->Feed(c.stale);
        if (!c.answer.empty()) port->answers.assign(c.writes, c.answer);
        EXPECT_EQ(c.read(link), c.result);
        ASSERT_EQ(port->writes.size(), c.writes);
        for (const std::string& w : port->writes) EXPECT_EQ(Hex(w), Hex(c.request));
        EXPECT_EQ(ui.Messages(), c.messages);
        EXPECT_EQ(port->Pending(), "");
        TearDown();
    }
}

TEST_F(RegisterTest, SilentRegisterLeavesModeRowsAlone) {
    const std::string block = ReadRegisterState(link);
    EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 1);
    EXPECT_EQ(block, std::string(14, '\xFF'));
    EXPECT_FALSE(IsFiscalBlock(block));
    const auto rows = RegisterInfoValues("", "", "", "", block, "");
    EXPECT_FALSE(rows[4]);
    EXPECT_FALSE(rows[5]);
}

TEST_F(RegisterTest, SettingsPasswordAndClockCommands) {
    struct Case {
        const char* name;
        int mode;
        std::function<void()> send;
        std::vector<std::string> frames;
        std::vector<std::string> messages;
        int statusReads;
    };
    const std::vector<Case> cases = {
        {"password 7391", 0, [&] { EXPECT_TRUE(SendManagerPassword(link, "7391")); },
         {Frame("0G" + Bytes("73 91")) + Z(1)}, {}, 0},
        {"password 0012, mode 2 reads a status", 2, [&] { EXPECT_TRUE(SendManagerPassword(link, "0012")); },
         {Frame("0G" + Bytes("00 12")) + Z(1)}, {}, 1},
        {"password of three digits is refused", 2, [&] { EXPECT_FALSE(SendManagerPassword(link, "739")); }, {},
         {"Hasło kierownika musi mieć 4 cyfry"}, 0},
        {"password with a letter is refused", 0, [&] { EXPECT_FALSE(SendManagerPassword(link, "73a1")); }, {},
         {"Hasło kierownika musi mieć 4 cyfry"}, 0},
        {"empty password is refused", 0, [&] { EXPECT_FALSE(SendManagerPassword(link, "")); }, {},
         {"Hasło kierownika musi mieć 4 cyfry"}, 0},
        {"settings grosze, ON-LINE, lighter: 7", 0, [&] { SendSettingsByte(link, SettingsNumber(1, 1, 1)); },
         {Frame("0;7W") + Z(1)}, {}, 0},
        {"settings darker: 8 + 1 + 2 = 11, still 11 bytes", 2, [&] { SendSettingsByte(link, SettingsNumber(1, 1, 2)); },
         {Frame("0;11W")}, {}, 1},
        {"clock 2007-12-31 23:59:58", 0, [&] { SetRegisterClock(link, 58, 59, 23, 31, 12, 2007); },
         {Frame("0Y" + Bytes("58 59 23 31 12 07 20"))}, {}, 0},
        {"clock in mode 2 reads its status reply", 2, [&] { SetRegisterClock(link, 0, 5, 9, 1, 2, 2026); },
         {Frame("0Y" + Bytes("00 05 09 01 02 26 20"))}, {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        link.Settings().errorMode = c.mode;
        for (int k = 0; k < c.statusReads; ++k) port->answers.push_back(Status(0));
        c.send();
        std::vector<std::string> expected;
        for (const auto& f : c.frames) expected.push_back(Hex(f));
        EXPECT_EQ(Writes(), expected);
        EXPECT_EQ(ui.Messages(), c.messages);
        EXPECT_EQ(port->drains, c.statusReads);
        EXPECT_EQ(port->Pending(), "") << "no status reply is left for the next command";
        TearDown();
    }
    EXPECT_EQ(ClockText(58, 59, 23, 31, 12, 2007), "2007-12-31 23:59:58");
    EXPECT_EQ(ClockText(5, 4, 3, 2, 1, 2026), "2026-01-02 03:04:05");
}

}  // namespace
