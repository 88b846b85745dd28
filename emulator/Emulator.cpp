#include "Emulator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kEsc = 0x1B;
constexpr char kBackslash = 0x5C;
// Reply positions 3-4: not read by the program; they tell data from status.
constexpr const char* kDataHead = "1#";
constexpr const char* kStatusHead = "2#";

std::string Wrap(const std::string& body) {
    std::string frame;
    frame.reserve(body.size() + 6);
    frame += kEsc;
    frame += 'P';
    frame += body;
    frame += CheckText(body);
    frame += kEsc;
    frame += kBackslash;
    return frame;
}

bool IsParamChar(char c) { return (c >= '0' && c <= '9') || c == ';'; }

}  // namespace

RegisterState::RegisterState()
    : header(161, '\xFF'),
      // A 23, B 8, C 5, D 0 percent, E exempt, F and G not in use.
      ptuRates("\x00\x23\x00\x08\x00\x05\x00\x00\xFE\xFF\xFF\xFF\xFF\xFF", 14) {}

std::string HexText(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        unsigned char u = static_cast<unsigned char>(c);
        text += kDigits[u >> 4];
        text += kDigits[u & 0x0F];
    }
    return text;
}

std::string PackedDigits(long long value, int bytes) {
    std::string field;
    for (int i = 0; i < bytes; ++i) {
        int pair = static_cast<int>(value % 100);
        value /= 100;
        field += static_cast<char>(((pair / 10) << 4) | (pair % 10));
    }
    return field;
}

std::string CheckText(const std::string& bytes) {
    unsigned check = 0xFF;
    for (char c : bytes) check ^= static_cast<unsigned char>(c);
    char text[3];
    std::snprintf(text, sizeof text, "%02X", check & 0xFFu);
    return text;
}

std::string ReplyFrame(const std::string& data) { return Wrap(kDataHead + data); }

std::string StatusFrame(int status) {
    return Wrap(kStatusHead + std::to_string(status) + "#");
}

std::string RequestFrame(const std::string& payload) {
    std::string frame;
    frame += kEsc;
    frame += 'P';
    frame += payload;
    frame += CheckText(payload);
    frame += kEsc;
    frame += kBackslash;
    return frame;
}

Request ParseRequest(const std::string& payload) {
    Request request;
    request.payload = payload;
    std::size_t i = 0;
    while (i < payload.size() && IsParamChar(payload[i])) ++i;
    std::string params = payload.substr(0, i);
    std::size_t start = 0;
    while (start < params.size()) {
        std::size_t semi = params.find(';', start);
        if (semi == std::string::npos) semi = params.size();
        request.params.push_back(params.substr(start, semi - start));
        start = semi + 1;
    }
    if (!params.empty() && params.back() == ';') request.params.emplace_back();
    if (i < payload.size()) {
        request.letter = payload[i];
        request.data = payload.substr(i + 1);
    }
    return request;
}

std::vector<OutputChunk> PlanOutput(const std::string& bytes, const EmulatorSwitches& switches) {
    std::vector<OutputChunk> plan;
    if (bytes.empty()) return plan;
    const long bytesPerSecond = switches.baud > 0 ? std::max(1, switches.baud / 10) : 0;
    std::size_t chunk = bytes.size();
    long perByteUs = 0;
    if (bytesPerSecond > 0) {
        // Chunks of about 2 ms of line time keep the pauses above the
        // scheduler's grain at high speeds.
        chunk = static_cast<std::size_t>(std::max(1L, bytesPerSecond / 500));
        perByteUs = 1000000L / bytesPerSecond;
    }
    if (switches.split) chunk = 1;
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        OutputChunk piece;
        piece.bytes = bytes.substr(at, chunk);
        long delay = perByteUs * static_cast<long>(piece.bytes.size());
        if (switches.split) delay = std::max(delay, static_cast<long>(std::max(0, switches.splitDelayUs)));
        piece.delayAfterUs = static_cast<int>(std::min(delay, 1000000L));
        plan.push_back(std::move(piece));
    }
    return plan;
}

bool Emulator::SetModel(int index) {
    static const struct {
        const char* text;
        const char* marker;
        int plu;
        int keys;
    } kModels[] = {
        {"ZELTRA ARK", "", 2636, 20},
        {"ZELTRA ARK MIRRA", "", 1000, 10},
        {"ZELTRA ARK MAXI", "r4", 9600, 20},
        {"ZELTRA ARK MAXI", "r5", 19200, 20},
    };
    if (index < 0 || index > 3) return false;
    state.modelText = kModels[index].text;
    state.capacityMarker = kModels[index].marker;
    state.pluCapacity = kModels[index].plu;
    state.keyCapacity = kModels[index].keys;
    return true;
}

std::string Emulator::Feed(const std::uint8_t* bytes, std::size_t n) {
    return Feed(std::string(reinterpret_cast<const char*>(bytes), n));
}

std::string Emulator::Feed(const std::string& bytes) {
    std::string out;
    if (switches.silent) {
        // A register that is off hears nothing either.
        input_.clear();
        return out;
    }
    input_ += bytes;
    Parsed frame;
    while (NextFrame(frame)) Handle(frame, out);
    return out;
}

// Takes the next complete frame off the input. The payload may hold any byte,
// so the end is the ESC '\' whose two check characters match the payload
// before them; an ESC '\' with a wrong check ends the frame only when no later
// one in the input matches. Bytes between frames (the zero padding the
// program sends after a frame) are skipped.
bool Emulator::NextFrame(Parsed& frame) {
    for (;;) {
        std::size_t start = std::string::npos;
        for (std::size_t i = 0; i + 1 < input_.size(); ++i) {
            if (input_[i] == kEsc && input_[i + 1] == 'P') {
                start = i;
                break;
            }
        }
        if (start == std::string::npos) {
            // Keep a lone ESC at the end: its 'P' may come with the next read.
            bool keepEsc = !input_.empty() && input_.back() == kEsc;
            input_ = keepEsc ? std::string(1, kEsc) : std::string();
            return false;
        }
        input_.erase(0, start);

        std::size_t bad = std::string::npos;
        for (std::size_t k = 4; k + 1 < input_.size(); ++k) {
            if (bad != std::string::npos && input_[k] == kEsc && input_[k + 1] == 'P') break;
            if (input_[k] != kEsc || input_[k + 1] != kBackslash) continue;
            std::string payload = input_.substr(2, k - 4);
            if (input_.compare(k - 2, 2, CheckText(payload)) == 0) {
                frame.payload = std::move(payload);
                frame.checkOk = true;
                input_.erase(0, k + 2);
                return true;
            }
            if (bad == std::string::npos) bad = k;
        }
        if (bad != std::string::npos) {
            std::string payload = input_.substr(2, bad - 4);
            // A frame start inside it means the earlier frame was cut short:
            // begin again at the later start.
            std::size_t inner = std::string::npos;
            for (std::size_t i = 0; i + 1 < payload.size(); ++i) {
                if (payload[i] == kEsc && payload[i + 1] == 'P') inner = i;
            }
            if (inner != std::string::npos) {
                input_.erase(0, inner + 2);
                continue;
            }
            frame.payload = std::move(payload);
            frame.checkOk = false;
            input_.erase(0, bad + 2);
            return true;
        }
        if (input_.size() > kMaxRequest) {
            input_.erase(0, 2);  // never ended: drop its start and look again
            continue;
        }
        return false;
    }
}

void Emulator::Handle(const Parsed& frame, std::string& out) {
    if (!frame.checkOk) {
        ++badChecks;
        if (state.errorMode >= 2) Emit(StatusFrame(21), out);
        return;
    }
    requests.push_back(frame.payload);
    Request request = ParseRequest(frame.payload);
    state.communicationEnded = false;
    Outcome outcome;
    const auto& table = CommandTable();
    auto it = table.find(request.letter);
    if (request.letter != 0 && it != table.end()) {
        // A confused register: another record's reply to a record read.
        const bool recordRead = (request.letter == 'H' || request.letter == 'J') && request.params.size() >= 2;
        if (recordRead && switches.wrongRecordEvery > 0 && ++recordReads_ % switches.wrongRecordEvery == 0) {
            Request other = request;
            other.params[1] = std::to_string(std::atoll(request.params[1].c_str()) + 1);
            outcome = it->second(*this, other);
        } else {
            outcome = it->second(*this, request);
        }
    } else {
        outcome.status = 24;
    }
    if (outcome.hasData) Emit(ReplyFrame(outcome.data), out);
    bool status = outcome.sendStatus < 0 ? state.errorMode >= 2 : outcome.sendStatus > 0;
    if (status) Emit(StatusFrame(outcome.status), out);
}

void Emulator::Emit(const std::string& frame, std::string& out) {
    ++framesMade_;
    if (switches.xoffAt > 0 && framesMade_ == switches.xoffAt) {
        out += '\x13';
        return;
    }
    if (switches.dropEvery > 0 && framesMade_ % switches.dropEvery == 0) return;
    const bool stray = (switches.strayEvery > 0 && framesMade_ % switches.strayEvery == 0) ||
                       (switches.strayOnceAfter > 0 && framesMade_ == switches.strayOnceAfter);
    if (!switches.garbage) {
        out += frame;
        if (stray) out += switches.strayBytes;
        return;
    }
    // Printable noise without ESC or backslash: nothing the program could
    // take for a frame.
    for (std::size_t i = 0; i < frame.size(); ++i) {
        noise_ = noise_ * 1103515245u + 12345u;
        char c = static_cast<char>(0x21 + (noise_ >> 16) % 94);
        if (c == kBackslash) c = '#';
        out += c;
    }
}
