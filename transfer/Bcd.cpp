// Field encodings between the table texts and the register's record forms.
#include "Bcd.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

// The 18 Polish letters: Windows-1250 code, Mazovia code.
constexpr std::array<std::pair<unsigned char, unsigned char>, 18> kPolishLetters{{
    {0xA5, 0x8F},  // Ą
    {0xC6, 0x95},  // Ć
    {0xCA, 0x90},  // Ę
    {0xA3, 0x9C},  // Ł
    {0xD1, 0xA5},  // Ń
    {0xD3, 0xA3},  // Ó
    {0x8C, 0x98},  // Ś
    {0x8F, 0xA0},  // Ź
    {0xAF, 0xA1},  // Ż
    {0xB9, 0x86},  // ą
    {0xE6, 0x8D},  // ć
    {0xEA, 0x91},  // ę
    {0xB3, 0x92},  // ł
    {0xF1, 0xA4},  // ń
    {0xF3, 0xA2},  // ó
    {0x9C, 0x9E},  // ś
    {0x9F, 0xA6},  // ź
    {0xBF, 0xA7},  // ż
}};

// A full 256-entry map per direction: each byte is looked up once, so a byte
// the conversion has written is never converted a second time.
struct CodeMap {
    std::array<unsigned char, 256> to{};
    std::array<unsigned char, 256> from{};
    constexpr CodeMap() {
        for (int i = 0; i < 256; ++i) {
            to[i] = static_cast<unsigned char>(i);
            from[i] = static_cast<unsigned char>(i);
        }
        for (const auto& [win, maz] : kPolishLetters) {
            to[win] = maz;
            from[maz] = win;
        }
    }
};
constexpr CodeMap kMazovia;

void Translate(std::string& text, const std::array<unsigned char, 256>& map) {
    for (char& ch : text) ch = static_cast<char>(map[static_cast<unsigned char>(ch)]);
}

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::string_view LeadingDigits(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && IsDigit(text[n])) ++n;
    return text.substr(0, n);
}

std::string WithoutLeadingZeros(std::string_view digits) {
    std::size_t i = 0;
    while (i + 1 < digits.size() && digits[i] == '0') ++i;
    if (digits.empty()) return "0";
    return std::string(digits.substr(i));
}

// Adds one to a string of decimal digits (may grow by one digit).
void IncrementDigits(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

// v = 10 v + digit, stopping at the type's maximum instead of wrapping.
template <typename T>
void AppendDigitSaturating(T& v, int digit) {
    constexpr T kMax = std::numeric_limits<T>::max();
    if (v > (kMax - static_cast<T>(digit)) / 10) {
        v = kMax;
        return;
    }
    v = static_cast<T>(v * 10 + static_cast<T>(digit));
}

}  // namespace

void ToMazovia(std::string& text) { Translate(text, kMazovia.to); }
void FromMazovia(std::string& text) { Translate(text, kMazovia.from); }

std::string ToMazovia(std::string_view text) {
    std::string copy(text);
    ToMazovia(copy);
    return copy;
}

std::string FromMazovia(std::string_view text) {
    std::string copy(text);
    FromMazovia(copy);
    return copy;
}

std::string NameField(std::string_view text, std::size_t c, std::size_t w) {
    std::string field = ToMazovia(text.substr(0, std::min(c, w)));
    field.resize(w, '\xFF');
    return field;
}

std::uint32_t DecimalToInteger(std::string_view text) {
    std::uint32_t v = 0;
    for (char ch : text) {
        if (ch == '.') continue;
        if (!IsDigit(ch)) break;
        AppendDigitSaturating(v, ch - '0');
    }
    return v;
}

std::uint64_t DecimalToScaled(std::string_view text, int decimals) {
    decimals = std::clamp(decimals, 0, 9);
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::uint64_t v = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) AppendDigitSaturating(v, text[i] - '0');
    bool roundUp = false;
    int taken = 0;
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        for (++i; i < text.size() && IsDigit(text[i]); ++i) {
            if (taken < decimals) {
                AppendDigitSaturating(v, text[i] - '0');
                ++taken;
            } else {
                roundUp = text[i] >= '5';
                break;
            }
        }
    }
    for (; taken < decimals; ++taken) AppendDigitSaturating(v, 0);
    if (roundUp && v != std::numeric_limits<std::uint64_t>::max()) ++v;
    return v;
}

std::string PackBcd(std::int64_t v, int n) {
    const int bytes = std::clamp(n / 2, 0, 5);
    std::uint64_t modulus = 1;
    for (int i = 0; i < bytes; ++i) modulus *= 100;
    // |v| without overflow even for the most negative value.
    const std::uint64_t magnitude =
        v < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    std::uint64_t digits = magnitude % modulus;
    if (v < 0 && digits != 0) digits = modulus - digits;  // ten's complement
    std::string field(static_cast<std::size_t>(bytes), '\0');
    for (int i = 0; i < bytes; ++i) {
        const unsigned pair = static_cast<unsigned>(digits % 100);
        digits /= 100;
        field[static_cast<std::size_t>(i)] = static_cast<char>(((pair / 10) << 4) | (pair % 10));
    }
    return field;
}

std::string PackDigitsInOrder(std::string_view digits, std::size_t k) {
    std::string field(k, '\xFF');
    const std::string_view used = LeadingDigits(digits).substr(0, 2 * k);
    for (std::size_t i = 0; i < used.size(); ++i) {
        const auto value = static_cast<unsigned char>(used[i] - '0');
        auto& byte = reinterpret_cast<unsigned char&>(field[i / 2]);
        if (i % 2 == 0)
            byte = static_cast<unsigned char>((value << 4) | 0x0F);  // filler until a second digit comes
        else
            byte = static_cast<unsigned char>((byte & 0xF0) | value);
    }
    return field;
}

int HexDigitValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return 0;
}

std::string HexToBytes(std::string_view hex) {
    std::string bytes(hex.size() / 2, '\0');
    for (std::size_t j = 0; j < bytes.size(); ++j)
        bytes[j] = static_cast<char>(HexDigitValue(hex[2 * j]) * 16 + HexDigitValue(hex[2 * j + 1]));
    return bytes;
}

std::string_view HexBytesAt(std::string_view hex, std::size_t first, std::size_t count) {
    if (first > hex.size() / 2) return {};
    const std::size_t start = 2 * first;
    const std::size_t available = hex.size() - start;
    return hex.substr(start, count > available / 2 ? available : 2 * count);
}

std::string NameFromBytes(std::string_view bytes) {
    std::size_t begin = 0;
    while (begin < bytes.size() && bytes[begin] == '\xFF') ++begin;
    std::size_t end = begin;
    while (end < bytes.size() && bytes[end] != '\xFF' && bytes[end] != '\0') ++end;
    return std::string(bytes.substr(begin, end - begin));
}

std::string NameFromHex(std::string_view hex) {
    std::string name = NameFromBytes(HexToBytes(hex));
    FromMazovia(name);
    return name;
}

std::string BcdToDecimal(std::string_view hex) {
    const std::string natural = SwapHexPairs(hex);
    return WithoutLeadingZeros(LeadingDigits(natural));
}

std::string BcdToSigned(std::string_view hex) {
    const std::string natural = SwapHexPairs(hex);
    const std::string_view x = LeadingDigits(natural);
    if (x.empty() || x[0] < '6') return WithoutLeadingZeros(x);
    // 10^n - x over the field's n characters: nines' complement plus one.
    std::string complement(natural.size() - x.size(), '9');
    for (char ch : x) complement.push_back(static_cast<char>('9' - (ch - '0')));
    IncrementDigits(complement);
    return "-" + WithoutLeadingZeros(complement);
}

std::string BcdToBarcode(std::string_view hex) {
    // All 14 digits the field holds: a GTIN-14 sent whole comes back whole.
    return std::string(LeadingDigits(hex).substr(0, 14));
}

std::string MultiplierToPercent(std::string_view hex) {
    const std::string natural = SwapHexPairs(hex.substr(0, 4));
    if (natural.size() != 4 || LeadingDigits(natural).size() != 4) return "0";
    const int m = std::stoi(natural);
    return std::to_string(m < 1000 ? 10 * (1000 - m) : 10 * (m - 1000));
}

std::string SwapHexPairs(std::string_view text) {
    std::string swapped;
    swapped.reserve(text.size());
    for (std::size_t end = text.size(); end > 0;) {
        // The groups start at even offsets, so the last one may be a single character.
        const std::size_t start = (end - 1) & ~std::size_t{1};
        swapped.append(text.substr(start, end - start));
        end = start;
    }
    return swapped;
}

std::string FormatDecimals(std::string_view text, int d) {
    d = std::clamp(d, 0, 3);
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const std::string_view whole = LeadingDigits(text.substr(i));
    i += whole.size();
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') fraction = LeadingDigits(text.substr(i + 1));

    // The kept digits as one number, the last d of them decimals.
    std::string digits = WithoutLeadingZeros(whole);
    std::string kept(fraction.substr(0, static_cast<std::size_t>(d)));
    kept.resize(static_cast<std::size_t>(d), '0');
    digits += kept;
    if (fraction.size() > static_cast<std::size_t>(d) && fraction[static_cast<std::size_t>(d)] >= '5')
        IncrementDigits(digits);

    std::string result = digits.substr(0, digits.size() - static_cast<std::size_t>(d));
    if (d > 0) result += "." + digits.substr(digits.size() - static_cast<std::size_t>(d));
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    return negative && !zero ? "-" + result : result;
}
