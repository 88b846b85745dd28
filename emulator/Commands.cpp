// The register's commands. Each is one function; CommandTable() maps the
// command letter to it.
#include <string>

#include "Emulator.h"

namespace {

// Texts inside a reply must not hold the bytes that end or split it.
std::string CleanText(const std::string& text) {
    std::string clean;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '/' || c == '\\') continue;
        clean += c;
    }
    return clean;
}

// The serial number travels as six characters with its three pairs in
// reverse order; the program turns them back.
std::string WireSerial(const std::string& serial) {
    std::string six = CleanText(serial).substr(0, 6);
    six.insert(0, 6 - six.size(), '0');
    return six.substr(4, 2) + six.substr(2, 2) + six.substr(0, 2);
}

Outcome Identify(Emulator& emu, const Request&) {
    const RegisterState& s = emu.state;
    Outcome o;
    o.hasData = true;
    o.data = CleanText(s.modelText) + "/" + CleanText(s.version) + "/" + WireSerial(s.serial);
    std::string marker = CleanText(s.capacityMarker).substr(0, 2);
    if (!marker.empty()) o.data += "/" + marker;
    return o;
}

Outcome EndCommunication(Emulator& emu, const Request&) {
    emu.state.communicationEnded = true;
    return {};
}

// "0;%sP": the mode is the second parameter. The status reply goes out when
// the new mode reports over the line, or when the mode being left was 3.
Outcome SetErrorMode(Emulator& emu, const Request& request) {
    Outcome o;
    const std::string text = request.params.size() >= 2 ? request.params[1] : std::string();
    if (text.size() != 1 || text[0] < '0' || text[0] > '3') {
        o.status = 22;
        return o;
    }
    const int oldMode = emu.state.errorMode;
    const int newMode = text[0] - '0';
    emu.state.errorMode = newMode;
    o.sendStatus = (newMode > 1 || oldMode == 3) ? 1 : 0;
    return o;
}

}  // namespace

const std::map<char, CommandHandler>& CommandTable() {
    static const std::map<char, CommandHandler> table = {
        {'^', Identify},
        {'_', EndCommunication},
        {'P', SetErrorMode},
    };
    return table;
}
