// The register's information, settings, clock, databases, header and PTU
// rates, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "ByteText.h"
#include "Emulator.h"

namespace {

using namespace std::string_literals;

const std::string kStatus0 = "\x1bP2#0#FD\x1b\\"s;
const std::string kStatus22 = "\x1bP2#22#CD\x1b\\"s;
const std::string kStatus23 = "\x1bP2#23#CC\x1b\\"s;
const std::string kStatus26 = "\x1bP2#26#C9\x1b\\"s;
const std::string kStatus79 = "\x1bP2#79#C3\x1b\\"s;

// Independent of the emulator's own helpers: the XOR check, hex text, frames.
using bytetext::Check;
using bytetext::DataReply;
using bytetext::HexDigits;
// A request as the program writes it: the frame, then zero bytes up to n.
std::string Request(const std::string& payload, std::size_t n = 0) {
    std::string frame = bytetext::Frame(payload);
    if (frame.size() < n) frame.resize(n, '\0');
    return frame;
}
std::string FromHex(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return bytes;
}

long long g_now = 0;
long long FakeNow() { return g_now; }

TEST(EmulatorInformation, BlockUniqueNumberAndFiscalRecords) {
    {
        Emulator emu;
        EXPECT_EQ(emu.Feed(Request("0N", 9)), "\x1bP1#01000000000000EC\x1b\\"s);
    }
    Emulator emu;
    emu.state.errorMode = 2;
    emu.state.fiscal = true;
    emu.state.settingsFlags = 0x0B;
    emu.state.fiscalMemory[8] = "\x01\x07\x20\x09\x15"s + std::string(47, '\0');
    emu.state.fiscalMemory[9] = "\x03\x08\x20\x01\x02\x12\x30"s;
    emu.state.fiscalMemory[11] = "\x01\x09\x20\x01\x01"s;  // after the end: not counted
    EXPECT_EQ(emu.Feed(Request("0N", 9)), "\x1bP1#02010B0820010295\x1b\\"s + kStatus0);

    // The program takes the unique number from positions 7-28 and the
    // taxpayer's number from 71-96 of the reply, up to a zero byte.
    std::string reply = emu.Feed(Request("0;4J", 12));
    ASSERT_EQ(reply.size(), 4 + 2 + 128 + 4 + kStatus0.size());
    EXPECT_EQ(reply.substr(4, 2), "4;");
    EXPECT_EQ(FromHex(reply.substr(6, 22)), "ZEL12345678");
    EXPECT_EQ(FromHex(reply.substr(70, 26)), "526-000-00-00");
    EXPECT_EQ(reply.substr(reply.size() - kStatus0.size()), kStatus0);

    struct Case {
        std::string payload;
        std::string reply;
    } cases[] = {
        {"0;9J", DataReply("9;" + HexDigits("\x03\x08\x20\x01\x02\x12\x30"s))},
        {"0;10J", DataReply("10;" + std::string(128, 'F'))},  // erased: the end of the memory
        {"0;125J", DataReply("125;" + std::string(128, 'F'))},
        {"0;J", kStatus22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        std::string out = emu.Feed(Request(c.payload, 15));
        EXPECT_EQ(out, c.reply == kStatus22 ? c.reply : c.reply + kStatus0);
    }
}

TEST(EmulatorSettings, PasswordFlagsAndClock) {
    g_now = 1199145598;  // 2007-12-31 23:59:58
    Emulator emu;
    emu.now = FakeNow;
    emu.state.errorMode = 2;
    struct Case {
        std::string request;
        std::string reply;
    } cases[] = {
        {Request("0L", 9), "\x1bP1#58592331120720E9\x1b\\"s + kStatus0},
        // 2026-01-01 12:00:00, seconds first.
        {Request("0Y\x00\x00\x12\x01\x01\x26\x20"s), kStatus0},
        {Request("0L", 9), "\x1bP1#00001201012620E8\x1b\\"s + kStatus0},
        // Not a date: refused, clock kept.
        {Request("0Y\x00\x00\x12\x01\x13\x26\x20"s), kStatus23},
        {Request("0Y\x00\x5A\x12\x01\x01\x26\x20"s), kStatus23},
        {Request("0Y\x00\x00\x12\x01\x01\x26"s), kStatus23},
        {Request("0G\x12\x34"s, 11), kStatus0},
        {Request("0G\x12"s, 11), kStatus23},
        {Request("0;7W", 11), kStatus0},
        {Request("0;16W", 11), kStatus22},
        {Request("0;W", 11), kStatus22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(HexDigits(c.request));
        EXPECT_EQ(emu.Feed(c.request), c.reply);
    }
    EXPECT_EQ(emu.state.managerPassword, "\x12\x34");
    EXPECT_EQ(emu.state.settingsFlags, 7);
    // The register's clock runs on with the PC's.
    g_now += 61;
    EXPECT_EQ(emu.Feed(Request("0L", 9)), "\x1bP1#01011201012620E8\x1b\\"s + kStatus0);
    emu.state.errorMode = 1;
    EXPECT_EQ(emu.Feed(Request("0N", 9)), "\x1bP1#01000700000000EB\x1b\\"s);
}

TEST(EmulatorDatabases, UploadReadAndDelete) {
    struct Case {
        char upload, remove;
        char digit;
        std::size_t size;
        int index;
        int capacity;  // for model 1
        std::string outOfRange;
    } cases[] = {
        {'@', 'Q', '0', 40, 11, 15, kStatus22},
        {'A', 'R', '1', 3, 9, 10, kStatus22},
        {'B', 'S', '2', 120, 1, 8, kStatus22},
        {'C', 'T', '4', 25, 0, 4, kStatus22},
        {'D', 'U', '5', 27, 7, 8, kStatus22},
        {'E', 'V', '7', 46, 999, 1000, kStatus79},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.upload));
        Emulator emu;
        emu.state.errorMode = 2;
        // Record bytes of every kind: text, 0xFF fill, zero bytes, ESC and
        // backslash.
        std::string record;
        for (std::size_t i = 0; i < c.size; ++i) record += static_cast<char>((i * 37 + 0x1B) & 0xFF);
        record[0] = '\x1b';
        if (c.size > 1) record[1] = '\\';
        const std::string idx = std::to_string(c.index);
        const std::string read = "0;" + idx + ";" + c.digit + "H";
        const std::string empty = DataReply(idx + ";" + c.digit + "H" + std::string(2 * c.size, 'F'));

        EXPECT_EQ(emu.Feed(Request(read, 13 + idx.size())), empty + kStatus0);
        EXPECT_EQ(emu.Feed(Request("0;" + idx + c.upload + record, 130)), kStatus0);
        EXPECT_EQ(emu.state.records[c.digit - '0'][c.index], record);
        EXPECT_EQ(emu.Feed(Request(read, 13 + idx.size())),
                  DataReply(idx + ";" + c.digit + "H" + HexDigits(record)) + kStatus0);
        // A record of the wrong length and an index past the end are refused
        // and change nothing.
        EXPECT_EQ(emu.Feed(Request("0;" + idx + c.upload + record.substr(1))), kStatus23);
        const std::string past = std::to_string(c.capacity);
        EXPECT_EQ(emu.Feed(Request("0;" + past + c.upload + record)), c.outOfRange);
        EXPECT_EQ(emu.Feed(Request("0;" + past + c.remove)), c.outOfRange);
        // The download asks one index past the end: an empty record.
        EXPECT_EQ(emu.Feed(Request("0;" + past + ";" + c.digit + "H")),
                  DataReply(past + ";" + c.digit + "H" + std::string(2 * c.size, 'F')) + kStatus0);
        EXPECT_EQ(emu.state.records[c.digit - '0'].size(), 1u);

        EXPECT_EQ(emu.Feed(Request("0;" + idx + c.remove)), kStatus0);
        EXPECT_EQ(emu.Feed(Request(read, 13 + idx.size())), empty + kStatus0);
        EXPECT_EQ(emu.Feed(Request("0;" + idx + c.remove)), kStatus0);  // already gone: no error
    }
}

TEST(EmulatorDatabases, PackagingRecordAsTheProgramReadsIt) {
    Emulator emu;
    emu.state.errorMode = 0;
    const std::string record = "WODA"s + std::string(15, '\xFF') + "\x50\x12\x00\x00\x00"s + std::string(16, '\0');
    EXPECT_EQ(emu.Feed(Request("0;11@" + record, 57)), "");
    std::string reply = emu.Feed(Request("0;11;0H", 15));
    EXPECT_EQ(reply,
              "\x1bP1#11;0H574F4441FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF5012000000"
              "00000000000000000000000000000000DD\x1b\\"s);
    EXPECT_EQ(reply.substr(4, 2), "11");
    EXPECT_EQ(reply[6], ';');
    EXPECT_EQ(reply.substr(9, 8), "574F4441");
    // Unknown table digit and a missing index are refused without data.
    emu.state.errorMode = 3;
    EXPECT_EQ(emu.Feed(Request("0;1;3H")), kStatus22);
    EXPECT_EQ(emu.Feed(Request("0;;0H")), kStatus22);
    EXPECT_EQ(emu.Feed(Request("0;1234567Q")), kStatus22);
    // The model fixes the PLU database's size.
    ASSERT_TRUE(emu.SetModel(3));
    EXPECT_EQ(emu.Feed(Request("0;19199V")), kStatus0);
    EXPECT_EQ(emu.Feed(Request("0;19200V")), kStatus79);
}

TEST(EmulatorHeaderAndRates, StoredAndRefusedInFiscalMode) {
    const std::string header = "0X" + "ABC\rDEF\r"s + std::string(153, '\xFF');
    const std::string rates = "0Z" + "\x00\x23\xFE\xFF"s + std::string(10, '\xFF');
    const std::string defaultRates = DataReply("0023000800050000FEFFFFFFFFFF");
    ASSERT_EQ(defaultRates, "\x1bP1#0023000800050000FEFFFFFFFFFFE2\x1b\\"s);
    struct Case {
        bool fiscal;
        std::string request;
        std::string reply;
    } cases[] = {
        {false, Request("0O", 9), defaultRates},
        {false, Request("0K", 9), DataReply(std::string(322, 'F'))},
        {false, Request(header), ""},
        {false, Request("0K", 9), DataReply("4142430D4445460D" + std::string(306, 'F'))},
        {false, Request(rates, 23), ""},
        {false, Request("0O", 9), DataReply("0023FEFF" + std::string(20, 'F'))},
        {false, Request(header.substr(0, 100)), kStatus23},
        {false, Request(rates.substr(0, 15)), kStatus23},
    };
    for (int mode : {1, 2}) {
        Emulator emu;
        emu.state.errorMode = mode;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(mode) + " " + HexDigits(c.request.substr(2, 2)));
            std::string expected = c.reply == kStatus23 ? "" : c.reply;
            if (mode == 2) expected = c.reply == kStatus23 ? c.reply : c.reply + kStatus0;
            EXPECT_EQ(emu.Feed(c.request), expected);
        }
    }
    // A fiscal register keeps its header and rates.
    Emulator emu;
    emu.state.errorMode = 2;
    emu.state.fiscal = true;
    EXPECT_EQ(emu.Feed(Request(header)), kStatus26);
    EXPECT_EQ(emu.Feed(Request(rates)), kStatus26);
    EXPECT_EQ(emu.Feed(Request("0O", 9)), defaultRates + kStatus0);
    EXPECT_EQ(emu.state.header, std::string(161, '\xFF'));
}

}  // namespace

namespace {

TEST(EmulatorDemoData, RecordsHaveTheRegistersLayout) {
    Emulator emu;
    emu.LoadDemoData();
    const std::map<int, std::size_t> sizes = {{0, 40}, {1, 3}, {2, 120}, {4, 25}, {5, 27}, {7, 46}};
    for (const auto& [digit, table] : emu.state.records) {
        for (const auto& [index, record] : table) {
            SCOPED_TRACE(std::to_string(digit) + "/" + std::to_string(index));
            EXPECT_EQ(record.size(), sizes.at(digit));
            // Sent back as the program would send it, the record is taken.
            Emulator fresh;
            fresh.state.errorMode = 2;
            const char letter = "@AB?CD?E"[digit];
            EXPECT_EQ(fresh.Feed(Request("0;" + std::to_string(index) + letter + record)), kStatus0);
        }
    }
    EXPECT_EQ(emu.state.header.size(), 161u);
    // The newest report is of 2026-01-05.
    EXPECT_EQ(emu.Feed(Request("0N", 9)), DataReply("01000026200105"));
    EXPECT_EQ(emu.Feed(Request("0;2;7H", 15)).substr(8, 18), HexDigits("SER ZOLTY"));
}

}  // namespace
