// The command sequences between the table set and the register.
#include "Sekwencje.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "Bcd.h"
#include "Cp1250.h"
#include "Pomoc.h"
#include "Przebieg.h"
#include "Ui.h"
#include "Uklady.h"

namespace {

const char* const kNoRecordNumber = "Musisz podac numer rekordu!";
const char* const kCashierOneStays = "Kasjer z nr 1 nie może być usunięty z kasy";
const char* const kBadPassword = "Hasło kierownika musi mieć 4 cyfry";
const char* const kHeaderTooLong =
    "Za długi nagłówek. Zmniej ilość znaków.\rMaksymalna ilość znaków wynosi 160";
const char* const kHeaderFiscal =
    "Programowanie nagłówka z komputera\rjest możliwe tylko w trybie szkoleniowym";
const char* const kPtuFiscal =
    "Programowanie stawek z komputera\rjest możliwe tylko w trybie szkoleniowym";

// Largest values of the packed number fields. A larger value is sent as the
// field's largest rather than cut to its low digits.
constexpr std::uint64_t kMaxPrice = 9999999999ULL;  // 10 digits
constexpr std::uint64_t kMaxFour = 9999;            // 4 digits
// A 6-digit stock is read back as negative from a first digit 6 on.
constexpr std::int64_t kMaxStock = 599999;
constexpr std::int64_t kMinStock = -400000;

// ---- small text helpers ----------------------------------------------------

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit);
}

// Up to n characters from offset `at`; fewer (or none) when the text is shorter.
std::string Slice(std::string_view text, std::size_t at, std::size_t n) {
    if (at >= text.size()) return {};
    return std::string(text.substr(at, n));
}

// The whole number formed by the leading digits (0 when there are none),
// held below a limit so that nothing overflows.
std::uint64_t LeadingNumber(std::string_view text, std::uint64_t limit) {
    std::uint64_t v = 0;
    for (char ch : text) {
        if (!IsDigit(ch)) break;
        v = std::min<std::uint64_t>(v * 10 + static_cast<std::uint64_t>(ch - '0'), limit);
    }
    return v;
}

// A plain positive decimal number of at most nine digits, or 0.
long long PositiveNumber(std::string_view text) {
    if (!AllDigits(text) || text.size() > 9) return 0;
    return static_cast<long long>(LeadingNumber(text, 999999999));
}

// A decimal text ("." or "," as separator, optional leading minus) in units of
// 10^-decimals, rounded half up on the dropped digits.
std::int64_t SignedScaled(std::string_view text, int decimals) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::uint64_t v = std::min<std::uint64_t>(DecimalToScaled(text, decimals), 1000000000000ULL);
    return negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
}

// The text before its decimal point: goods sold in whole units count the
// whole number of units, however many decimals a hand-edited file gives.
std::string_view WholePart(std::string_view text) { return text.substr(0, text.find_first_of(".,")); }

// A whole number of units of 10^-decimals as decimal text with that many
// decimals: "1250", 2 -> "12.50"; "-1500", 3 -> "-1.500".
std::string WithDecimals(std::string_view number, int decimals) {
    std::string sign;
    if (!number.empty() && number.front() == '-') {
        sign = "-";
        number.remove_prefix(1);
    }
    std::string digits(number);
    if (digits.size() < static_cast<std::size_t>(decimals) + 1)
        digits.insert(0, decimals + 1 - digits.size(), '0');
    digits.insert(digits.size() - decimals, ".");
    return sign + digits;
}

// ---- frames ------------------------------------------------------------------

// Builds the frame of the payload in a request area filled with `fill` and
// writes `length` bytes of it (at least the frame).
void SendFrame(const std::string& payload, int length, std::uint8_t fill = 0) {
    ClearRequestArea(fill);
    const auto frame = static_cast<int>(BuildFrame(payload));
    WriteRequest(std::max(length, frame));
}

// Builds the frame of the payload in the cleared request area and exchanges
// it (at least the frame's bytes written) for a reply that fits.
bool AskFrame(const std::string& payload, int length, const ReplyFits& fits) {
    ClearRequestArea(0);
    const auto frame = static_cast<int>(BuildFrame(payload));
    return Exchange(std::max(length, frame), fits);
}

// The text after a reply's echo of the request ("12;" for record 12); none
// when it echoes something else.
std::optional<std::string_view> AfterEcho(std::string_view data, long long number) {
    const std::string echo = std::to_string(number) + ";";
    if (data.substr(0, echo.size()) != echo) return std::nullopt;
    return data.substr(echo.size());
}

// At least `chars` characters, the first `chars` of them as `digitsOnly`
// asks: decimal digits, or else hexadecimal ones.
bool Leads(std::string_view data, std::size_t chars, bool digitsOnly = false) {
    if (data.size() < chars) return false;
    const std::string_view head = data.substr(0, chars);
    return digitsOnly ? AllDigits(head) : IsHexText(head);
}

// Copies bytes into a record's span, never past the span or the record.
void Put(std::string& record, FieldSpan span, std::string_view bytes) {
    for (int k = 0; k < span.width && k < static_cast<int>(bytes.size()); ++k) {
        const auto at = static_cast<std::size_t>(span.offset + k);
        if (at < record.size()) record[at] = bytes[static_cast<std::size_t>(k)];
    }
}

std::string Byte(unsigned value) { return std::string(1, static_cast<char>(value & 0xFF)); }

// ---- register information --------------------------------------------------

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

std::string ReadRegisterState() {
    std::memset(ReplyArea(), 0, kReplyAreaSize);
    AskFrame("0N", 9, [](std::string_view data) { return Leads(data, kInfoBlockChars); });
    std::string block = Slice(ReplyText(), 4, kInfoBlockChars);
    AwaitStatus();
    return block;
}

std::string ReadUniqueNumber() {
    std::memset(ReplyArea(), 0, kReplyAreaSize);
    AskFrame("0;4J", 12, [](std::string_view data) {
        const auto hex = AfterEcho(data, 4);
        return hex && Leads(*hex, 2 * kUniqueNumberBytes);
    });
    std::string bytes = HexToBytes(Slice(ReplyText(), 6, 2 * kUniqueNumberBytes));
    bytes.resize(strnlen(bytes.c_str(), bytes.size()));
    AwaitStatus();
    return bytes;
}

std::string ReadRegisterClock() {
    std::memset(ReplyArea(), 0, kReplyAreaSize);
    AskFrame("0L", 9, [](std::string_view data) { return Leads(data, kClockChars, true); });
    const std::string g = Slice(ReplyText(), 4, kClockChars);
    auto pair = [&](std::size_t k) { return Slice(g, 2 * k, 2); };
    std::string text = pair(6) + pair(5) + "-" + pair(4) + "-" + pair(3) + " " + pair(2) + ":" +
                       pair(1) + ":" + pair(0);
    AwaitStatus();
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

bool SendManagerPassword(const std::string& password) {
    if (password.size() != 4 || !AllDigits(password)) {
        CurrentUi().Message(kBadPassword);
        return false;
    }
    auto digit = [&](int k) { return static_cast<unsigned>(password[static_cast<std::size_t>(k)] - '0'); };
    SendFrame("0G" + Byte(digit(0) << 4 | digit(1)) + Byte(digit(2) << 4 | digit(3)), 11);
    AwaitStatus();
    return true;
}

int SettingsNumber(int amountMode, int communication, int printQuality) {
    return amountMode + 2 * communication + 4 * printQuality;
}

void SendSettingsByte(int number) {
    SendFrame("0;" + std::to_string(number) + "W", 11);
    AwaitStatus();
}

void SetRegisterClock(int seconds, int minutes, int hours, int day, int month, int year) {
    const int y = std::clamp(year, 0, 9999);
    std::string payload = "0Y";
    for (int v : {seconds, minutes, hours, day, month, y % 100, y / 100}) payload += Byte(PackedTwoDigits(v));
    SendFrame(payload, 15);
    // The register answers the clock like every other command in modes 2 and 3;
    // leaving that reply queued would spoil the next command's reply.
    AwaitStatus();
}

std::string ClockText(int seconds, int minutes, int hours, int day, int month, int year) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hours, minutes,
                  seconds);
    return text;
}

// ---- uploads -------------------------------------------------------------------

namespace {

// A table row as the sequences address it.
struct RowRef {
    TableId table;
    int row;
};

// The table a record number belongs to, as a transfer's summary names it.
const char* PartName(char readDigit) {
    switch (readDigit) {
    case PackagingLayout::kRecord.readDigit: return "opakowania";
    case PluLayout::kRecord.readDigit: return "PLU";
    case CashierLayout::kRecord.readDigit: return "kasjerzy";
    case KeyLayout::kRecord.readDigit: return "klawisze";
    case DiscountLayout::kRecord.readDigit: return "rabaty/dopłaty";
    case PaymentFormLayout::kRecord.readDigit: return "formy płatności";
    default: return "";
    }
}
const char* const kHeaderPart = "nagłówek";
const char* const kPtuPart = "stawki PTU";

// Records 1 to 4 of the discount pair are discount rows, 5 to 8 surcharge rows 1 to 4.
RowRef DiscountPairRow(int record) {
    return record <= 4 ? RowRef{TableId::Discount, record} : RowRef{TableId::Surcharge, record - 4};
}

// The record number held in a row's number cell; the record the row stands
// for when the cell is not a plain positive number.
long long RecordNumberOf(const std::string& cell, int record) {
    const long long n = PositiveNumber(cell);
    return n > 0 ? n : record;
}

// Writes one record's frame: "0;" index letter record, check, ESC '\', the
// layout's zeros; steps the bar; reads the status reply in modes 2 and 3.
void SendRecordFrame(const RecordLayout& layout, long long index, const std::string& record) {
    const std::string payload = "0;" + std::to_string(index) + layout.sendLetter + record;
    ClearRequestArea(0);
    const auto frame = static_cast<int>(BuildFrame(payload));
    CurrentUi().ProgressStep(UiBar::Main);
    WriteRequest(frame + layout.zerosAfter);
    AwaitStatus();
}

template <typename RowOf, typename Encode>
void SendRecords(const TableSet& set, const RecordLayout& layout, int count, int barMaximum,
                 bool indexFromRow, RowOf rowOf, Encode encode) {
    Ui& ui = CurrentUi();
    TransferScope transfer(TransferKind::Upload, PartName(layout.readDigit));
    ui.ProgressShow(UiBar::Main, barMaximum);
    for (int k = 1; k <= count; ++k) {
        ui.ProcessEvents();  // repaints, and lets a stop be asked for
        if (TransferStopRequested()) break;  // between records: nothing half-sent
        const RowRef at = rowOf(k);
        const std::string& number = set.Cell(at.table, 0, at.row);
        if (number.empty()) {  // no record: the register's one stays as it is
            ui.ProgressStep(UiBar::Main);
            continue;
        }
        const long long index = (indexFromRow ? k : RecordNumberOf(number, k)) - 1;
        TransferRecord(index + 1);
        std::string record(static_cast<std::size_t>(layout.recordBytes), '\0');
        encode(record, at);
        SendRecordFrame(layout, index, record);
    }
    ui.ProgressHide(UiBar::Main);
}

RowRef SameRow(TableId t, int k) { return {t, k}; }

// A price text in hundredths, as 10 packed digits.
std::string PriceField(const std::string& text) {
    return PackBcd(static_cast<std::int64_t>(std::min(DecimalToScaled(text, 2), kMaxPrice)), 10);
}

// A bar code of digits; none (0xFF) when it is empty, zero or not a number.
std::string BarcodeField(const std::string& text) {
    const bool none = !AllDigits(text) || text.find_first_not_of('0') == std::string::npos;
    return none ? std::string(7, '\xFF') : PackDigitsInOrder(text, 7);
}

}  // namespace

void SendPackagingTable(const TableSet& set) {
    using namespace PackagingLayout;
    const TableId t = TableId::Packaging;
    SendRecords(set, kRecord, set.Rows(t), 15, false, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) {
                    Put(record, kName, NameField(set.Cell(t, 1, at.row), 18, 19));
                    Put(record, kPrice, PriceField(set.Cell(t, 2, at.row)));
                });
}

void SendPluTable(const TableSet& set) {
    using namespace PluLayout;
    const TableId t = TableId::Plu;
    const int model = set.Model();
    SendRecords(set, kRecord, set.Rows(t), set.Rows(t), false, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) {
                    auto cell = [&](int col) -> const std::string& { return set.Cell(t, col, at.row); };
                    const bool fractions = model == 0 || cell(7) == "TAK";

                    const std::string& pack = cell(4);
                    const unsigned packaging =
                        !pack.empty() && pack[0] == '(' ? 0 : static_cast<unsigned>(LeadingNumber(pack, 15));
                    const std::string& rate = cell(3);
                    const unsigned letter =
                        rate.size() == 1 && rate[0] >= 'A' && rate[0] <= 'G' ? static_cast<unsigned>(rate[0] - 'A') : 0;
                    const unsigned ptu = packaging << 4 | letter | (model > 0 && !fractions ? 8 : 0);

                    const std::int64_t stock =
                        std::clamp(fractions ? SignedScaled(cell(6), 3) : SignedScaled(WholePart(cell(6)), 0),
                                   kMinStock, kMaxStock);

                    Put(record, kName, NameField(cell(1), 15, 16));
                    Put(record, kBarcode, BarcodeField(cell(2)));
                    Put(record, kPrice, PriceField(cell(5)));
                    Put(record, kPtuByte, Byte(ptu));
                    Put(record, kStock, PackBcd(stock, 6));
                });
}

void SendCashierTable(const TableSet& set) {
    using namespace CashierLayout;
    const TableId t = TableId::Cashier;
    SendRecords(set, kRecord, set.Rows(t), 8, false, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) {
                    Put(record, kName, NameField(set.Cell(t, 1, at.row), 6, 6));
                    Put(record, kPassword, PackDigitsInOrder(set.Cell(t, 2, at.row), 2));
                });
}

void SendKeyTable(const TableSet& set) {
    using namespace KeyLayout;
    const TableId t = TableId::Key;
    SendRecords(set, kRecord, set.Rows(t), set.Rows(t), true, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) {
                    // Four digits hold no more than the first four characters.
                    const auto plu = LeadingNumber(Slice(set.Cell(t, 1, at.row), 0, 4), kMaxFour);
                    const auto quantity = static_cast<unsigned>(LeadingNumber(set.Cell(t, 2, at.row), 15));
                    const unsigned flags = quantity | (set.Cell(t, 3, at.row) == "TAK" ? 0x10 : 0);
                    Put(record, kPlu, PackBcd(static_cast<std::int64_t>(plu), 4));
                    Put(record, kFlags, Byte(flags));
                });
}

void SendDiscountTable(const TableSet& set) {
    using namespace DiscountLayout;
    SendRecords(set, kRecord, 8, 7, false, DiscountPairRow, [&](std::string& record, RowRef at) {
        // The multiplier in thousandths: 1000 less (discount) or more (surcharge)
        // the percentage in tenths.
        const std::uint64_t tenths = DecimalToScaled(set.Cell(at.table, 2, at.row), 2) / 10;
        const std::uint64_t m = at.table == TableId::Discount ? 1000 - std::min<std::uint64_t>(tenths, 1000)
                                                              : 1000 + std::min<std::uint64_t>(tenths, kMaxFour - 1000);
        Put(record, kName, NameField(set.Cell(at.table, 1, at.row), 18, 19));
        Put(record, kMultiplier, PackBcd(static_cast<std::int64_t>(m), 4));
    });
}

void SendPaymentFormTable(const TableSet& set) {
    using namespace PaymentFormLayout;
    const TableId t = TableId::PaymentForm;
    SendRecords(set, kRecord, set.Rows(t), 4, false, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) { Put(record, kName, NameField(set.Cell(t, 1, at.row), 18, 18)); });
}

bool FiscalModeTest(FiscalGuard item) {
    if (!IsFiscalBlock(ReadRegisterState())) return true;
    CurrentUi().Message(item == FiscalGuard::Header ? kHeaderFiscal : kPtuFiscal);
    return false;
}

void SendHeader(const TableSet& set) {
    std::string payload = "0X";
    for (int r = 1; r <= set.Rows(TableId::Header); ++r) {
        const std::string& line = set.Cell(TableId::Header, 1, r);
        if (line.empty()) continue;
        payload += ToMazovia(std::string_view(line));
        payload += '\r';
    }
    if (payload.size() > 2 + static_cast<std::size_t>(HeaderLayout::kMaxLineBytes)) {
        CurrentUi().Message(kHeaderTooLong);
        return;
    }
    payload.resize(HeaderLayout::kPayloadBytes, '\xFF');
    TransferScope transfer(TransferKind::Upload, kHeaderPart);
    TransferRecord(0);
    SendFrame(payload, HeaderLayout::kWriteLength, 0xFF);
    CurrentUi().ProgressStep(UiBar::Main);
    AwaitStatus();
}

void SendPtuRates(const TableSet& set) {
    std::string payload = "0Z";
    for (int r = 1; r <= PtuLayout::kRates; ++r) {
        const std::string& status = set.Cell(TableId::Ptu, 2, r);
        if (status == "NIEAKTYWNA") payload += "\xFF\xFF";
        else if (status == "ZWOLNIONA") payload += "\xFE\xFF";
        else if (status == "AKTYWNA")
            payload += PackBcd(static_cast<std::int64_t>(std::min(DecimalToScaled(set.Cell(TableId::Ptu, 1, r), 2), kMaxFour)), 4);
        else payload += std::string(2, '\0');
    }
    TransferScope transfer(TransferKind::Upload, kPtuPart);
    TransferRecord(0);
    ClearRequestArea(0xFF);
    const std::size_t frame = BuildFrame(payload);
    RequestArea()[frame] = 0;  // the byte after the frame is sent as zero
    CurrentUi().ProgressStep(UiBar::Main);
    WriteRequest(PtuLayout::kWriteLength);
    AwaitStatus();
}

namespace {

// Runs steps with the overall bar and the progress label of the service tab.
// The bar is full after the sixth step.
template <typename Set>
void RunAll(Set& set, TransferKind kind, int barMaximum,
            std::initializer_list<std::pair<const char*, void (*)(Set&)>> steps) {
    Ui& ui = CurrentUi();
    // One transfer: one question for a register gone silent, one summary.
    TransferScope transfer(kind);
    ui.ShowLabel(UiLabel::Progress, true);
    ui.ProgressShow(UiBar::Overall, barMaximum);
    int done = 0;
    for (const auto& [label, run] : steps) {
        if (TransferStopRequested()) break;
        ui.SetLabel(UiLabel::Progress, label);
        ui.ProcessEvents();
        run(set);
        ++done;
        if (done < 6) ui.ProgressStep(UiBar::Overall);
        else ui.ProgressSetValue(UiBar::Overall, barMaximum);
    }
    ui.ProcessEvents();
    ui.ShowLabel(UiLabel::Progress, false);
    ui.SetLabel(UiLabel::Progress, "");
    ui.ProgressHide(UiBar::Overall);
}

}  // namespace

void SendAllTables(const TableSet& set) {
    RunAll<const TableSet>(set, TransferKind::Upload, 5,
                           {
                               {"Całkowity postęp:\tWysyłam bazę opakowań", SendPackagingTable},
                               {"Całkowity postęp:\tWysyłam bazę PLU", SendPluTable},
                               {"Całkowity postęp:\tWysyłam bazę kasjerów", SendCashierTable},
                               {"Całkowity postęp:\tWysyłam bazę klawiszy", SendKeyTable},
                               {"Całkowity postęp:\tWysyłam bazę rabatów/dopłat", SendDiscountTable},
                               {"Całkowity postęp:\tWysyłam bazę form płatności", SendPaymentFormTable},
                           });
}

// ---- downloads -----------------------------------------------------------------

namespace {

// A decoded record: its record text, and its name apart, so that a name
// holding ";" cannot shift the fields after it.
struct ReadRecord {
    std::string text;
    int nameColumn = -1;
    std::string name;
};

// Name field of a record text: the name, or nothing when it holds ";" (then
// it is written into its cell on its own).
std::string NameForText(const std::string& name) {
    return name.find(';') == std::string::npos ? name : std::string();
}

// The record index at the start of a record reply's data (position 5 up to the
// first ";"), and where the record's hexadecimal text starts.
struct ReplyHead {
    long long index = -1;  // -1: not a number
    std::size_t data = 0;
};

ReplyHead ParseReplyHead(const std::string& reply) {
    ReplyHead head;
    if (reply.size() < 5) return head;
    const std::size_t semi = reply.find(';', 4);
    if (semi == std::string::npos) return head;
    const std::string_view digits = std::string_view(reply).substr(4, semi - 4);
    if (!AllDigits(digits) || digits.size() > 9) return head;
    head.index = static_cast<long long>(LeadingNumber(digits, 999999999));
    // ";" and two characters not read; a reply cut short there has no record text.
    head.data = std::min(semi + 3, reply.size());
    return head;
}

std::string Hundredths(const std::string& number) { return WithDecimals(number, 2); }

std::optional<ReadRecord> DecodePackaging(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace PackagingLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kNameRead.offset, kNameRead.width));
    if (name.empty()) return std::nullopt;
    const std::string price = Hundredths(BcdToDecimal(HexBytesAt(hex, kPrice.offset, kPrice.width)));
    return ReadRecord{n + ";" + NameForText(name) + ";" + price + ";", 1, name};
}

std::optional<ReadRecord> DecodePlu(const TableSet& set, std::string_view hex, const std::string& n) {
    using namespace PluLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kName.offset, kName.width));
    if (name.empty()) return std::nullopt;
    const std::string barcode = BcdToBarcode(HexBytesAt(hex, kBarcode.offset, kBarcode.width));
    const std::string price = Hundredths(BcdToDecimal(HexBytesAt(hex, kPrice.offset, kPrice.width)));

    const std::string_view ptu = HexBytesAt(hex, kPtuByte.offset, kPtuByte.width);
    const int packaging = ptu.size() > 0 ? HexDigitValue(ptu[0]) : 0;
    const int v = ptu.size() > 1 ? HexDigitValue(ptu[1]) : 0;
    // 0 to 6: letter A to G sold in fractions; 8 to 14 the same in whole units.
    // 7 and 15 name no rate; they are shown as G.
    const char letter = static_cast<char>('A' + std::min(v & 7, 6));
    const bool fractions = set.Model() == 0 || v < 8;

    const std::string stock = BcdToSigned(HexBytesAt(hex, kStock.offset, kStock.width));
    std::string text = n + ";" + NameForText(name) + ";" + barcode + ";" + letter + ";" + std::to_string(packaging) +
                       ";" + price + ";" + (fractions ? WithDecimals(stock, 3) : FormatDecimals(stock, 0)) + ";";
    if (set.Model() > 0) text += fractions ? "TAK;" : "NIE;";
    return ReadRecord{text, 1, name};
}

std::optional<ReadRecord> DecodeCashier(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace CashierLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kNameRead.offset, kNameRead.width));
    if (name.empty()) return std::nullopt;
    const std::string password(HexBytesAt(hex, kPassword.offset, kPassword.width));
    return ReadRecord{n + ";" + NameForText(name) + ";" + password + ";", 1, name};
}

std::optional<ReadRecord> DecodeKey(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace KeyLayout;
    const std::string plu = BcdToDecimal(HexBytesAt(hex, kPlu.offset, kPlu.width));
    if (plu == "0") return std::nullopt;
    const std::string_view flags = HexBytesAt(hex, kFlags.offset, kFlags.width);
    const bool whole = !flags.empty() && flags[0] == '1';
    const int quantity = flags.size() > 1 ? HexDigitValue(flags[1]) : 0;
    return ReadRecord{n + ";" + plu + ";" + std::to_string(quantity) + ";" + (whole ? "TAK;" : "NIE;"), -1, {}};
}

std::optional<ReadRecord> DecodeDiscount(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace DiscountLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kNameRead.offset, kNameRead.width));
    if (name.empty()) return std::nullopt;
    const std::string percent =
        Hundredths(MultiplierToPercent(HexBytesAt(hex, kMultiplier.offset, kMultiplier.width)));
    return ReadRecord{n + ";" + NameForText(name) + ";" + percent + ";", 1, name};
}

std::optional<ReadRecord> DecodePaymentForm(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace PaymentFormLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kName.offset, kName.width));
    if (name.empty()) return std::nullopt;
    return ReadRecord{n + ";" + NameForText(name) + ";", 1, name};
}

using Decoder = std::optional<ReadRecord> (*)(const TableSet&, std::string_view, const std::string&);

// The record read command for index i: "0;" i ";" digit "H", its frame and
// two zero bytes. Only the reply that echoes i and holds the bytes the layout
// decodes, as hexadecimal text, is taken; false when none came.
bool AskRecord(const RecordLayout& layout, long long index) {
    const std::size_t hexChars = 2 * static_cast<std::size_t>(layout.readBytes);
    return AskFrame("0;" + std::to_string(index) + ";" + layout.readDigit + "H",
                    static_cast<int>(std::to_string(index).size()) + 11 + kRecordReadExtra,
                    [index, hexChars](std::string_view data) {
                        const auto rest = AfterEcho(data, index);
                        // ";" is followed by two characters not read, then the record.
                        return rest && rest->size() >= 2 && Leads(rest->substr(2), hexChars);
                    });
}

template <typename RowOf>
void ReadRecords(TableSet& set, const RecordLayout& layout, int fillCode, long long lastIndex, int barMaximum,
                 RowOf rowOf, Decoder decode, bool plu) {
    Ui& ui = CurrentUi();
    TransferScope transfer(TransferKind::Download, PartName(layout.readDigit));
    ui.ProgressShow(UiBar::Main, barMaximum);
    if (plu) {
        ui.ShowLabel(UiLabel::PluTab, true);
        ui.ShowLabel(UiLabel::ServicePlu, true);
    }
    for (long long i = 0; i <= lastIndex; ++i) {
        // Asked between records, when the last reply and its status are read:
        // nothing is left queued to become the start of the next command's reply.
        if (TransferStopRequested()) break;
        TransferRecord(i + 1);
        // A reply for another record than the one asked, or one cut short, is
        // asked again and at last counted as missing: never decoded, never
        // taken for an empty record.
        const bool answered = AskRecord(layout, i);
        // The status reply of modes 2 and 3 overwrites the reply area.
        const std::string reply = ReplyText();
        const ReplyHead head = ParseReplyHead(reply);
        const std::string number = std::to_string(i + 1);
        if (plu && answered) {
            ui.SetLabel(UiLabel::PluTab, "Odczytano: " + number + " PLU");
            ui.SetLabel(UiLabel::ServicePlu, "Odczytalem PLU nr : " + number);
            ui.ProcessEvents();
        }
        std::optional<ReadRecord> record;
        if (answered && head.index == i) record = decode(set, std::string_view(reply).substr(head.data), number);
        if (!record) {  // empty in the register, or no answer: the row keeps what it holds
            AwaitStatus();
            ui.ProgressStep(UiBar::Main);
            continue;
        }
        const int row = static_cast<int>(i + 1);
        const RowRef at = rowOf(row);
        if (at.row <= set.Rows(at.table)) {  // the index after the last row has no row
            TableBatch batch(set);
            set.FillRow(record->text, fillCode, row);
            if (record->nameColumn >= 0) set.SetCell(at.table, record->nameColumn, at.row, record->name);
        }
        ui.ProcessEvents();
        AwaitStatus();
        if (plu && row + 1 <= set.Rows(TableId::Plu)) ui.PluCursor(row + 1);
        ui.ProgressStep(UiBar::Main);
    }
    if (plu) {
        ui.ShowLabel(UiLabel::PluTab, false);
        ui.ShowLabel(UiLabel::ServicePlu, false);
    }
    ui.ProgressHide(UiBar::Main);
}

}  // namespace

void ReadPackagingTable(TableSet& set) {
    const TableId t = TableId::Packaging;
    ReadRecords(set, PackagingLayout::kRecord, TableCode::Packaging, set.Rows(t) - 1, 15,
                [&](int k) { return SameRow(t, k); }, DecodePackaging, false);
}

void ReadPluTable(TableSet& set) {
    const TableId t = TableId::Plu;
    ReadRecords(set, PluLayout::kRecord, TableCode::Plu, set.Rows(t), set.Rows(t) + 1,
                [&](int k) { return SameRow(t, k); }, DecodePlu, true);
}

void ReadCashierTable(TableSet& set) {
    const TableId t = TableId::Cashier;
    ReadRecords(set, CashierLayout::kRecord, TableCode::Cashier, set.Rows(t) - 1, 7,
                [&](int k) { return SameRow(t, k); }, DecodeCashier, false);
}

void ReadKeyTable(TableSet& set) {
    const TableId t = TableId::Key;
    ReadRecords(set, KeyLayout::kRecord, TableCode::Key, set.Rows(t), set.Rows(t),
                [&](int k) { return SameRow(t, k); }, DecodeKey, false);
}

void ReadDiscountTable(TableSet& set) {
    ReadRecords(set, DiscountLayout::kRecord, TableCode::DiscountFill, 7, 8, DiscountPairRow, DecodeDiscount,
                false);
}

void ReadPaymentFormTable(TableSet& set) {
    const TableId t = TableId::PaymentForm;
    ReadRecords(set, PaymentFormLayout::kRecord, TableCode::PaymentForm, set.Rows(t) - 1, 4,
                [&](int k) { return SameRow(t, k); }, DecodePaymentForm, false);
}

void ReadHeader(TableSet& set) {
    Ui& ui = CurrentUi();
    ui.ProgressSetValue(UiBar::Main, 0);
    ui.ProgressSetMaximum(UiBar::Main, 8);
    TransferScope transfer(TransferKind::Download, kHeaderPart);
    TransferRecord(0);
    // The header as hexadecimal text, whole bytes: a status reply or noise is
    // no header and must not empty its rows.
    const bool answered = AskFrame("0K", HeaderLayout::kReadWriteLength, [](std::string_view data) {
        return IsHexText(data) && data.size() % 2 == 0;
    });
    // The header's hexadecimal text runs from position 5 to the four closing
    // characters (check, ESC, backslash).
    const std::string reply = answered ? ReplyText() : std::string();
    const std::string hex(ReplyData(reply));
    std::string text = HexToBytes(hex);
    text.resize(strnlen(text.c_str(), text.size()));
    FromMazovia(text);
    {
        TableBatch batch(set);
        int row = 1;
        std::size_t start = 0;
        for (std::size_t cr = text.find('\r'); cr != std::string::npos && row <= set.Rows(TableId::Header);
             cr = text.find('\r', start)) {
            set.SetCell(TableId::Header, 1, row++, text.substr(start, cr - start));
            start = cr + 1;
        }
    }
    AwaitStatus();
}

void ReadPtuRates(TableSet& set) {
    Ui& ui = CurrentUi();
    ui.ProgressSetValue(UiBar::Main, 0);
    ui.ProgressSetMaximum(UiBar::Main, 8);
    TransferScope transfer(TransferKind::Download, kPtuPart);
    TransferRecord(0);
    AskFrame("0O", PtuLayout::kReadWriteLength,
             [](std::string_view data) { return Leads(data, PtuLayout::kReadChars); });
    const std::string reply = ReplyText();
    {
        TableBatch batch(set);
        for (int r = 1; r <= PtuLayout::kRates; ++r) {
            const std::string g = Slice(reply, 4 + 4 * static_cast<std::size_t>(r - 1), 4);
            if (g == "FFFF") {
                set.SetCell(TableId::Ptu, 2, r, "NIEAKTYWNA");
            } else if (g == "FEFF") {
                set.SetCell(TableId::Ptu, 2, r, "ZWOLNIONA");
            } else if (g.size() == 4 && AllDigits(g)) {
                set.SetCell(TableId::Ptu, 2, r, "AKTYWNA");
                set.SetCell(TableId::Ptu, 1, r, g.substr(2, 2) + "." + g.substr(0, 2));
            }
            // Anything else (no reply, a short or garbled one) leaves the rate as it was.
        }
    }
    AwaitStatus();
}

void ReadAllTables(TableSet& set) {
    RunAll<TableSet>(set, TransferKind::Download, 7,
                     {
                         {"Całkowity postęp:\tOdczytuje bazę opakowań", ReadPackagingTable},
                         {"Całkowity postęp:\tOdczytuje bazę PLU", ReadPluTable},
                         {"Całkowity postęp:\tOdczytuje bazę kasjerów", ReadCashierTable},
                         {"Całkowity postęp:\tOdczytuje bazę klawiszy", ReadKeyTable},
                         {"Całkowity postęp:\tOdczytuje bazę rabatów/dopłat", ReadDiscountTable},
                         {"Całkowity postęp:\tOdczytuje bazę form płatności", ReadPaymentFormTable},
                         {"Całkowity postęp:\tOdczytuje nagłówek", ReadHeader},
                         {"Całkowity postęp:\tOdczytuje stawki PTU", ReadPtuRates},
                     });
}

// ---- deletions -----------------------------------------------------------------

namespace {

// The record delete letter of a table; 0 for the header and the PTU rates.
char DeleteLetter(TableId table) {
    switch (table) {
    case TableId::Packaging: return PackagingLayout::kRecord.deleteLetter;
    case TableId::Plu: return PluLayout::kRecord.deleteLetter;
    case TableId::Cashier: return CashierLayout::kRecord.deleteLetter;
    case TableId::Key: return KeyLayout::kRecord.deleteLetter;
    case TableId::Discount:
    case TableId::Surcharge: return DiscountLayout::kRecord.deleteLetter;
    case TableId::PaymentForm: return PaymentFormLayout::kRecord.deleteLetter;
    default: return 0;
    }
}

// The table digit of a record table, which names it in a transfer's summary.
char ReadDigitOf(TableId table) {
    switch (table) {
    case TableId::Packaging: return PackagingLayout::kRecord.readDigit;
    case TableId::Plu: return PluLayout::kRecord.readDigit;
    case TableId::Cashier: return CashierLayout::kRecord.readDigit;
    case TableId::Key: return KeyLayout::kRecord.readDigit;
    case TableId::Discount:
    case TableId::Surcharge: return DiscountLayout::kRecord.readDigit;
    default: return PaymentFormLayout::kRecord.readDigit;
    }
}

// The table's message for a record number it cannot hold (the wording of the
// entry rows' buttons).
const char* WrongNumberMessage(TableId table) {
    switch (table) {
    case TableId::Packaging: return "Zły numer opakowania";
    case TableId::Plu: return "Zły numer PLU";
    case TableId::Cashier: return "Zły numer kasjera";
    case TableId::Key: return "Zły numer klawisza";
    case TableId::Discount: return "Zły numer rabtu\rRabaty muszą mieć numery 1-4";
    case TableId::Surcharge: return "Zły numer dopłaty\rDopłaty muszą mieć numery 5-8";
    default: return "Zły numer formy płatności";
    }
}

void SendDelete(long long record, char letter) {
    SendSimpleCommand("0;" + std::to_string(record - 1) + letter);
    AwaitStatus();
}

// Empties the row of a record; a number that names no row empties nothing.
void EmptyRecordRow(TableSet& set, TableId table, long long record) {
    RowRef at{table, 0};
    if (table == TableId::Discount || table == TableId::Surcharge) {
        if (record >= 1 && record <= 8) at = DiscountPairRow(static_cast<int>(record));
    } else if (record >= 1 && record <= set.Rows(table)) {
        at.row = static_cast<int>(record);
    }
    if (at.row >= 1) set.ClearRow(at.table, at.row);
}

}  // namespace

bool DeleteRecord(TableSet& set, TableId table, const std::string& numberField) {
    const char letter = DeleteLetter(table);
    if (letter == 0) return false;
    if (numberField.empty()) {
        CurrentUi().Message(kNoRecordNumber);
        return false;
    }
    // 0 would name the title row: refused like any number that is not one.
    const long long n = PositiveNumber(numberField);
    if (n == 0) {
        CurrentUi().Message(WrongNumberMessage(table));
        return false;
    }
    if (table == TableId::Cashier && n == 1) {
        CurrentUi().Message(kCashierOneStays);
        return false;
    }
    SendDelete(n, letter);
    EmptyRecordRow(set, table, n);
    return true;
}

bool PluExists(int row) {
    const bool answered = AskRecord(PluLayout::kRecord, static_cast<long long>(row) - 1);
    const std::string reply = ReplyText();
    const std::size_t semi = reply.size() > 4 ? reply.find(';', 4) : std::string::npos;
    bool exists = false;
    if (answered && semi != std::string::npos) {
        const std::string_view hex = std::string_view(reply).substr(std::min(semi + 3, reply.size()));
        exists = !NameFromHex(HexBytesAt(hex, PluLayout::kName.offset, PluLayout::kName.width)).empty();
    }
    AwaitStatus();
    return exists;
}

void DeleteTable(TableSet& set, TableId table) {
    const char letter = DeleteLetter(table);
    if (letter == 0) return;
    Ui& ui = CurrentUi();
    TransferScope transfer(TransferKind::Deletion, PartName(ReadDigitOf(table)));
    if (table == TableId::Plu) {
        const int count = set.Rows(TableId::Plu);
        ui.ProgressShow(UiBar::Main, count);
        for (int r = 1; r <= count; ++r) {
            ui.ProcessEvents();
            if (TransferStopRequested()) break;
            TransferRecord(r);
            // Only PLU records the register holds are deleted; every row is emptied.
            if (PluExists(r)) SendDelete(r, letter);
            ui.ProgressStep(UiBar::Main);
            set.ClearRow(TableId::Plu, r);
        }
        ui.ProgressHide(UiBar::Main);
        return;
    }

    int first = 1, last = 0, barMaximum = 0;
    switch (table) {
    case TableId::Packaging: last = 15, barMaximum = 15; break;
    case TableId::Cashier: first = 2, last = 8, barMaximum = 6; break;  // cashier 1 always stays
    case TableId::Key: last = set.Rows(TableId::Key), barMaximum = last; break;
    case TableId::PaymentForm: last = 4, barMaximum = 3; break;
    default: last = 8, barMaximum = 7; break;  // discounts and surcharges
    }
    ui.ProgressShow(UiBar::Main, barMaximum);
    for (int r = first; r <= last; ++r) {
        ui.ProcessEvents();
        if (TransferStopRequested()) break;
        TransferRecord(r);
        SendDelete(r, letter);
        ui.ProgressStep(UiBar::Main);
        EmptyRecordRow(set, table, r);
    }
    ui.ProgressHide(UiBar::Main);
}
