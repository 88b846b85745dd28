// The register's record layouts as the program writes and reads them.
//
// An upload frame is ESC 'P', the payload "0;" + record index + command letter +
// the record's bytes, the two check characters, ESC '\', and then a few zero
// bytes that are sent as well. The index has d digits (1 to 5), so everything
// after it moves by d; field offsets here therefore count from the record's
// first byte (the byte after the command letter). The same offsets locate the
// fields in the hexadecimal text of a record read back from the register.
#pragma once

// A run of record bytes: its first byte and its length.
struct FieldSpan {
    int offset;
    int width;
};

// What every record table shares.
struct RecordLayout {
    char sendLetter;    // upload command letter
    char readDigit;     // table digit of the record read command ("0;" i ";" digit "H")
    char deleteLetter;  // record delete command letter
    int recordBytes;    // bytes after the command letter, up to the check
    int zerosAfter;     // zero bytes sent after ESC '\'
    int readBytes;      // bytes of a record read back that the program decodes

    // Bytes written for a record whose index has d digits: ESC 'P', "0;",
    // the index, the letter, the record, the check, ESC '\' and the zeros.
    constexpr int WriteLength(int d) const { return 2 + 2 + d + 1 + recordBytes + 2 + 2 + zerosAfter; }
};

namespace PackagingLayout {
constexpr RecordLayout kRecord{'@', '0', 'Q', 40, 6, 24};  // writes 55 + d
constexpr FieldSpan kName{0, 19};                       // 18 characters, 0xFF fill
constexpr FieldSpan kNameRead{0, 18};
constexpr FieldSpan kPrice{19, 5};                      // 10 BCD digits, hundredths
}  // namespace PackagingLayout

namespace PluLayout {
constexpr RecordLayout kRecord{'E', '7', 'V', 46, 0, 40};  // writes 55 + d
constexpr FieldSpan kName{0, 16};                       // 15 characters, 0xFF fill
constexpr FieldSpan kBarcode{16, 7};                    // digits in order
constexpr FieldSpan kPrice{23, 5};                      // 10 BCD digits, hundredths
constexpr FieldSpan kPtuByte{28, 1};                    // packaging number << 4 | rate (+8 whole units)
constexpr FieldSpan kStock{37, 3};                      // 6 BCD digits, ten's complement
}  // namespace PluLayout

namespace CashierLayout {
constexpr RecordLayout kRecord{'B', '2', 'S', 120, 0, 9};  // writes 130
constexpr FieldSpan kName{0, 6};                         // the first 6 characters
constexpr FieldSpan kNameRead{0, 7};                     // the name and the zero byte after it
constexpr FieldSpan kPassword{7, 2};                     // four digits in order
}  // namespace CashierLayout

namespace KeyLayout {
constexpr RecordLayout kRecord{'A', '1', 'R', 3, 0, 3};  // writes 12 + d
constexpr FieldSpan kPlu{0, 2};                        // 4 BCD digits
constexpr FieldSpan kFlags{2, 1};                      // 0x10 whole transaction | quantity
}  // namespace KeyLayout

namespace DiscountLayout {
constexpr RecordLayout kRecord{'D', '5', 'U', 27, 0, 21};  // writes 37
constexpr FieldSpan kName{0, 19};
constexpr FieldSpan kNameRead{0, 18};
constexpr FieldSpan kMultiplier{19, 2};                 // 4 BCD digits, thousandths
}  // namespace DiscountLayout

namespace PaymentFormLayout {
constexpr RecordLayout kRecord{'C', '4', 'T', 25, 1, 18};  // writes 36
constexpr FieldSpan kName{0, 18};
}  // namespace PaymentFormLayout

// The header frame: "0X", the lines each closed by CR, 0xFF up to offset 164
// of the request area (a payload of 163 bytes), written as 169 bytes.
namespace HeaderLayout {
constexpr int kPayloadBytes = 163;
constexpr int kMaxLineBytes = 160;  // the lines with their CR bytes
constexpr int kWriteLength = 169;
constexpr int kReadWriteLength = 9;  // "0K"
}  // namespace HeaderLayout

// The PTU rate frame: "0Z" and seven two-byte rates, then a zero byte.
namespace PtuLayout {
constexpr int kRates = 7;
constexpr int kReadChars = 4 * kRates;  // the "0O" reply: two bytes a rate as hexadecimal text
constexpr int kWriteLength = 23;
constexpr int kReadWriteLength = 9;  // "0O"
}  // namespace PtuLayout

// Write lengths of the other commands.
constexpr int kRecordReadExtra = 2;  // a record read writes its frame and two zero bytes

// The data of the information ("0N") and clock ("0L") replies: 14 characters.
constexpr int kInfoBlockChars = 14;
constexpr int kClockChars = 14;
// The unique number: the first 11 bytes of fiscal memory record 4 ("0;4J"),
// after the echo "4;".
constexpr int kUniqueNumberBytes = 11;
