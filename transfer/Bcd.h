// Field encodings: the conversions between the table texts (Windows-1250,
// decimals with ".") and the register's record forms (Mazovia names filled
// with 0xFF, little-endian packed BCD, digits in order, hexadecimal replies).
//
// All are pure functions. None reports an error: unexpected characters give a
// harmless value, and no conversion reads past its input or returns more bytes
// than its field holds. Byte fields are returned as std::string so they can be
// appended to a request payload as they stand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Polish letters between Windows-1250 and Mazovia. The in-place forms rewrite
// the whole string; every byte that is not one of the 18 letters stays as it is.
// The copying forms leave their argument alone (use them on table cells):
//   std::string bytes = ToMazovia(std::string_view(cell));
void ToMazovia(std::string& text);
void FromMazovia(std::string& text);
[[nodiscard]] std::string ToMazovia(std::string_view text);
[[nodiscard]] std::string FromMazovia(std::string_view text);

// A name for a request: its first c bytes in Mazovia, 0xFF up to w bytes.
// Always exactly w bytes (a c above w counts as w).
std::string NameField(std::string_view text, std::size_t c, std::size_t w);

// The digits of a decimal text as one whole number, "." dropped (12.34 -> 1234).
// Reading stops at the first character that is neither a digit nor ".".
// Saturates at UINT32_MAX instead of wrapping.
std::uint32_t DecimalToInteger(std::string_view text);

// The decimal number at the start of the text in units of 10^-decimals
// ("12.5", 2 -> 1250). "." or "," is the separator; reading stops at any other
// character, so junk gives the value of the leading number and "" gives 0.
// Further decimals are rounded half up ("0.125", 2 -> 13). decimals is clamped
// to 0..9; the result saturates at UINT64_MAX.
std::uint64_t DecimalToScaled(std::string_view text, int decimals);

// v as little-endian packed BCD: the rightmost digit pair in byte 0, the first
// digit of each pair in the high nibble; negative v as its ten's complement.
// Returns exactly n / 2 bytes, at most 5 (n below 2 gives none, n above 10 or
// odd counts as the even number below). A v with more digits than the field
// keeps its low digits, so the field never overflows.
std::string PackBcd(std::int64_t v, int n);

// Digits in text order, two per byte, first of a pair in the high nibble; 0xF
// after an odd count, 0xFF after the last digit. Exactly k bytes; reads the
// leading digits of the text, at most 2k of them.
std::string PackDigitsInOrder(std::string_view digits, std::size_t k);

// 0-9, A-F (and a-f) give 0 to 15; any other character gives 0.
int HexDigitValue(char ch);

// Hexadecimal text to bytes, two characters per byte. A last odd character is
// ignored. All bytes are returned, zero bytes included.
std::string HexToBytes(std::string_view hex);

// The hexadecimal text of bytes first .. first + count - 1 of a record whose
// bytes stand in hex (byte j at characters 2j, 2j + 1). Cut to what the text
// holds, so a short reply gives a short or empty field, never a read past it.
// The result is a view into hex: keep the text alive while it is used.
std::string_view HexBytesAt(std::string_view hex, std::size_t first, std::size_t count);

// The name held in record bytes: leading 0xFF skipped, then the bytes up to the
// next 0xFF or 0x00 (still in Mazovia). Empty when the record holds no name.
std::string NameFromBytes(std::string_view bytes);
// The same from the hexadecimal text of the field, converted to Windows-1250.
std::string NameFromHex(std::string_view hex);

// Little-endian BCD reply text to decimal text: the leading digits after the
// byte order is reversed, without leading zeros ("7856341200" -> "12345678",
// 0xFF fill -> "0"). Any length; no overflow.
std::string BcdToDecimal(std::string_view hex);

// As BcdToDecimal, but a first digit 6 to 9 (after the reversal) marks a
// negative value in ten's complement over the text's length
// ("779899" -> "-123").
std::string BcdToSigned(std::string_view hex);

// A bar code in digits-in-order form: the text up to its first character that
// is not a digit (the F filler), at most 14 characters (the field's seven bytes).
std::string BcdToBarcode(std::string_view hex);

// A discount or surcharge multiplier (4 characters, bytes little-endian, value
// in thousandths) to the size of the adjustment in hundredths of a percent:
// "0009" (900) and "0011" (1100) both give "1000". A field that is not four
// digits (an unset 0xFF field, a short reply) gives "0", no adjustment.
std::string MultiplierToPercent(std::string_view hex);

// The two-character groups, counted from the left, in reverse order
// ("ABCDEF" -> "EFCDAB"). A last odd character is a group of its own.
std::string SwapHexPairs(std::string_view text);

// The number at the start of the text ("." as separator, optional sign) with
// exactly d decimals, rounded half away from zero on the decimal digits
// themselves ("2.675", 2 -> "2.68"; "-0.5", 0 -> "-1"). d is clamped to 0..3.
// A text without a number reads as 0; a result of zero never has a minus sign.
std::string FormatDecimals(std::string_view text, int d);
