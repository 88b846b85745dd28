#include "Pomoc.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "Dysk.h"
#include "Przebieg.h"
#include "Ui.h"

namespace {

// The port in use before the program installs one: it never opens, so every
// read runs into its time-out.
class ClosedPort final : public SerialPort {
public:
    bool Open(const std::string&, int) override { return false; }
    bool IsOpen() const override { return false; }
    void Close() override {}
    int Poll() override { return 0; }
    bool ReadByte(std::uint8_t&) override { return false; }
    bool Write(const std::uint8_t*, std::size_t, int) override { return false; }
    bool Drain(int) override { return true; }
    void Purge() override {}
    void SleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// The reply area keeps its last byte as the text terminator.
constexpr std::size_t kReplyMax = kReplyAreaSize - 1;

const char* const kNoReply = "Brak odpowiedzi z kasy";
const char* const kNoReplyCaption = "Uwaga!";

// Status texts by number; numbers without an entry have no text of their own.
struct StatusText {
    int number;
    const char* text;
};
constexpr StatusText kStatusTexts[] = {
    {20, "Błędny znak"},
    {21, "Błąd bajtu kontrolnego"},
    {22, "Błąd parametru"},
    {23, "Błąd danych"},
    {24, "Błąd rozkazu"},
    {25, "Niezerowe totalizery. Wykonaj raport dobowy"},
    {26, "Operacja niedozwolona w trybie fiskalnym"},
    {27, "Niezerowe totalizery. Wykonaj raport dobowy"},
    {28, "Nieunikalna nazwa towaru"},
    {31, "Operacja niemożliwa w trybie fiskalnym"},
    {78, "Towar nie istnieje w kasie"},
    {79, "Towar spoza zakresu ustalonego w konfiguracji kasy"},
};

// A poll stands for about 10 µs on the real port.
constexpr int kPollsPerMs = 100;
// A line is quiet after this many polls without a byte (about 100 ms: a
// register that is still sending fills such a gap many times over).
constexpr int kQuietPolls = 100 * kPollsPerMs;
// Writing and waiting for the output to leave are bounded by the time-out,
// but never shorter than this, so a long frame at 9600 Bd always fits.
constexpr int kMinWriteMs = 500;

int BaudFor(int baud) { return baud == 19200 || baud == 38400 ? baud : 9600; }

// A whole decimal number with an optional sign; nothing for any other text.
bool ParseInt(const std::string& text, int& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    if (first == last) return false;
    auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last;
}

}  // namespace

Connection::Connection() : port_(std::make_unique<ClosedPort>()), run_(std::make_unique<TransferRun>()) {}

Connection::~Connection() = default;

Ui& Connection::UserUi() const { return ui_ ? *ui_ : CurrentUi(); }

int Connection::PollLimit() const { return settings_.pollLimit > 0 ? settings_.pollLimit : kDefaultPollLimit; }

int Connection::WriteLimitMs() const { return std::max(PollLimit() / kPollsPerMs, kMinWriteMs); }

// No fitting reply: the warning, counted per record in a transfer, and the
// reply area filled with 0xFF as the callers expect after a time-out.
void Connection::ReplyMissing() {
    // A transfer whose register fell silent asks once instead of a box
    // for every record that is left.
    if (TransferReplyMissing(*this)) {
        UserUi().Message(kNoReply, kNoReplyCaption, UiIcon::Warning);
        TransferAskIfSilent(*this);
    }
    std::memset(ReplyArea(), 0xFF, kReplyMax);
    ReplyArea()[kReplyMax] = 0;
    replyLength_ = 0;
}

std::string Connection::ReplyText() const {
    const char* p = reinterpret_cast<const char*>(exchange_.data());
    return std::string(p, strnlen(p, kReplyAreaSize));
}

void Connection::UsePort(std::unique_ptr<SerialPort> p) {
    port_ = p ? std::move(p) : std::make_unique<ClosedPort>();
}

void Connection::Reset() {
    settings_ = LinkSettings{};
    exchange_.fill(0);
    replyLength_ = 0;
    port_ = std::make_unique<ClosedPort>();
    openedName_.clear();
    unsettled_ = false;
    *run_ = TransferRun{};
}

bool Connection::OpenPort(const std::string& name) {
    if (port_->IsOpen()) port_->Close();
    openedName_ = name;
    unsettled_ = false;  // a freshly opened port starts with empty queues
    return port_->Open(name, BaudFor(settings_.baud));
}

bool Connection::ReopenPortIfLost() {
    if (port_->IsOpen() && !port_->Lost()) return true;
    port_->Close();
    unsettled_ = false;
    return port_->Open(openedName_, BaudFor(settings_.baud));
}

void Connection::ClosePort() {
    PurgePort();
    port_->Close();
}

void Connection::PurgePort() {
    port_->SleepMs(1000);
    port_->Purge();
    unsettled_ = false;
}

void Connection::SettleLine() {
    if (!unsettled_) return;
    unsettled_ = false;
    // Whatever still comes is dropped until the line has been quiet for a
    // while; a line that never goes quiet (noise) is cleared after the
    // time-out all the same.
    const int limit = PollLimit();
    const int quiet = std::max(1, std::min(kQuietPolls, limit / 2));
    int still = 0;
    for (int polls = 0; polls < limit && still < quiet; ++polls) {
        std::uint8_t byte;
        if (port_->Poll() > 0 && port_->ReadByte(byte))
            still = 0;
        else
            ++still;
    }
    port_->Purge();
}

bool Connection::WriteRequest(int n) {
    SettleLine();
    std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (count > kRequestAreaSize) count = kRequestAreaSize;
    const bool written = port_->Write(RequestArea(), count, WriteLimitMs());
    if (!written) unsettled_ = true;
    if (settings_.logging) LogTransfer(static_cast<int>(count), 0);
    return written;
}

bool Connection::ReadReply() {
    std::uint8_t* reply = ReplyArea();
    std::memset(reply, 0, kReplyAreaSize);
    replyLength_ = 0;
    // A line held off (XOFF) keeps the request in the port: no reply can
    // come, and the wait for it is bounded like any other.
    if (!port_->Drain(WriteLimitMs())) {
        unsettled_ = true;
        return false;
    }

    const int limit = PollLimit();
    std::size_t received = 0;
    bool escSeen = false;
    for (int polls = 1;; ++polls) {
        const int queued = port_->Poll();
        if (polls >= limit) {
            unsettled_ = true;  // the reply may still be on its way
            return false;
        }
        std::uint8_t byte;
        if (queued > 0 && port_->ReadByte(byte)) {
            // A reply starts with ESC 'P'; what comes before is not part of it.
            if (received == 0 && byte != kEsc) continue;
            if (received == 1 && byte != 'P') {
                if (byte != kEsc) received = 0;  // another ESC may start the frame
                continue;
            }
            reply[received++] = byte;
        }
        if (received >= 2 && reply[received - 2] == kEsc) escSeen = true;
        if (escSeen && received >= 1 && reply[received - 1] == kBackslash) break;
        // No room for another byte while keeping the terminator: give up as
        // on a time-out rather than write past the reply area.
        if (received >= kReplyMax) {
            unsettled_ = true;
            return false;
        }
    }
    replyLength_ = received;
    if (settings_.logging) LogTransfer(static_cast<int>(received), 1);
    return true;
}

const std::uint8_t* Connection::ReadReplyOrWarn() {
    if (ReadReply()) {
        TransferReplyArrived(*this);
    } else {
        ReplyMissing();
    }
    return ReplyArea();
}

std::string_view ReplyData(std::string_view reply) {
    if (reply.size() < 8) return {};
    return reply.substr(4, reply.size() - 8);
}

bool IsHexText(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

bool Connection::Exchange(int n, const ReplyFits& fits) {
    for (int attempt = 1;; ++attempt) {
        WriteRequest(n);  // settles the line first after a reply that did not fit
        if (!ReadReply()) break;
        const std::string text = ReplyText();
        if (text.size() == replyLength_ && fits(ReplyData(text))) {
            TransferReplyArrived(*this);
            return true;
        }
        // Not the answer to this request: never decoded, and whatever
        // follows it (its status, the real answer) is cleared before asking again.
        unsettled_ = true;
        if (attempt >= kExchangeAttempts) break;
    }
    ReplyMissing();
    return false;
}

void Connection::LogTransfer(int n, int direction) {
    const std::uint8_t* data = direction == 0 ? RequestArea() : ReplyArea();
    const std::size_t area = direction == 0 ? kRequestAreaSize : kReplyAreaSize;
    std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (count > area) count = area;

    std::FILE* f = OpenFileUtf8(settings_.logFile, "ab");
    if (!f) return;
    const char* heading = direction == 0 ? "Wyslano:\r" : "Odebrano:\r";
    std::fwrite(heading, 1, std::strlen(heading), f);
    if (count) std::fwrite(data, 1, count, f);
    std::fputc('\r', f);
    std::fclose(f);
}

std::string FrameCheck(const std::uint8_t* payload, std::size_t n) {
    std::uint8_t check = 0xFF;
    for (std::size_t i = 0; i < n; ++i) check ^= payload[i];
    static const char digits[] = "0123456789ABCDEF";
    return {digits[check >> 4], digits[check & 0x0F]};
}

std::string FrameCheck(const std::string& payload) {
    return FrameCheck(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
}

void Connection::ClearRequestArea(std::uint8_t fill) { std::memset(RequestArea(), fill, kRequestAreaSize); }

std::size_t Connection::BuildFrame(const std::uint8_t* payload, std::size_t n) {
    // A payload that would not fit the request area is cut, never written past it.
    if (n > kRequestAreaSize - 6) n = kRequestAreaSize - 6;
    std::uint8_t* out = RequestArea();
    const std::string check = FrameCheck(payload, n);
    out[0] = kEsc;
    out[1] = 'P';
    if (n) std::memmove(out + 2, payload, n);
    out[n + 2] = static_cast<std::uint8_t>(check[0]);
    out[n + 3] = static_cast<std::uint8_t>(check[1]);
    out[n + 4] = kEsc;
    out[n + 5] = kBackslash;
    return n + 6;
}

std::size_t Connection::BuildFrame(const std::string& payload) {
    return BuildFrame(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
}

std::string Connection::SendSimpleCommand(const std::string& payload) {
    ClearRequestArea(0);
    const std::size_t n = BuildFrame(payload);
    WriteRequest(static_cast<int>(n));
    return std::string(reinterpret_cast<const char*>(RequestArea()), n);
}

void Connection::CheckReplyStatus() {
    const std::string text = ReplyText();
    if (text.size() <= 4) return;
    const std::string seven = text.substr(4, 7);
    const std::size_t slash = seven.rfind(static_cast<char>(kBackslash));
    if (slash == std::string::npos) return;
    // The number ends four characters before the backslash: a character not
    // interpreted, two closing characters and ESC come between.
    const std::size_t p = slash + 1;
    if (p <= 5) return;
    int number = 0;
    if (!ParseInt(seven.substr(0, p - 5), number)) return;
    if (number > 0) UserUi().Message(StatusMessage(number));
}

std::string StatusMessage(int number) {
    if (number <= 0) return {};
    for (const auto& s : kStatusTexts)
        if (s.number == number) return s.text;
    return "Błąd kasy nr " + std::to_string(number);
}

bool IsStatusReply(std::string_view reply) {
    const std::size_t n = reply.size();
    if (n < 10 || n > 11 || reply[0] != static_cast<char>(kEsc) || reply[1] != 'P' ||
        reply[n - 2] != static_cast<char>(kEsc) || reply[n - 1] != static_cast<char>(kBackslash))
        return false;
    int number = 0;
    return ParseInt(std::string(reply.substr(4, n - 9)), number);
}

// Reads the status reply due after a command and shows its message.
void Connection::ReadStatusReply() {
    if (!ReadReply()) {
        ReplyMissing();
        return;
    }
    if (!IsStatusReply(ReplyText())) {
        // A data reply or noise where the status is due: the line is out of
        // step. The status counts as missing and the line is cleared.
        unsettled_ = true;
        ReplyMissing();
        return;
    }
    TransferReplyArrived(*this);
    CheckReplyStatus();
}

void Connection::AwaitStatus() {
    if (settings_.errorMode > 1 && !unsettled_) ReadStatusReply();
}

void Connection::SetErrorMode(const std::string& modeText) {
    const int oldMode = settings_.errorMode;
    ClearRequestArea(0);
    const std::size_t frame = BuildFrame("0;" + modeText + "P");
    int newMode = oldMode;
    if (ParseInt(modeText, newMode)) settings_.errorMode = newMode;
    PurgePort();
    // 11 bytes: a one-digit mode's 10-byte frame and one zero byte. A longer
    // mode text is still sent whole.
    WriteRequest(static_cast<int>(frame > 11 ? frame : 11));
    const int mode = settings_.errorMode;
    if (mode > 1 || oldMode == 3) ReadStatusReply();
}
