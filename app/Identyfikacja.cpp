#include "Identyfikacja.h"

#include "Bcd.h"
#include "Pomoc.h"

const char* const kModelTexts[kModelCount] = {"ZELTRA ARK", "ZELTRA ARK MIRRA", "ZELTRA ARK MAXI",
                                              "ZELTRA ARK MAXI"};
const char* const kModelChoiceTexts[kModelCount] = {"ZELTRA ARK", "ZELTRA ARK MIRRA",
                                                    "ZELTRA ARK MAXI", "ZELTRA ARK MAXI 20K"};

IdentificationReply ParseIdentification(const std::string& reply) {
    IdentificationReply r;
    // Data start at character 5, after ESC 'P' and two characters. The closing
    // ESC (and whatever follows it) is no part of any field.
    std::string rest = reply.size() > 4 ? reply.substr(4) : std::string();
    if (std::size_t esc = rest.find('\x1b'); esc != std::string::npos) rest.resize(esc);

    // A field ends at the next "/", which is removed with it; a missing "/"
    // leaves the field empty and the rest as it was.
    auto takeField = [&rest] {
        std::size_t slash = rest.find('/');
        if (slash == std::string::npos) return std::string();
        std::string field = rest.substr(0, slash);
        rest.erase(0, slash + 1);
        return field;
    };
    r.modelText = takeField();
    r.version = takeField();

    // The serial number travels with its two-character groups reversed.
    std::string serial = rest.substr(0, 6);
    r.serial = SwapHexPairs(serial);
    rest.erase(0, serial.size());

    // The capacity marker counts only while a "/" is still to come: the
    // character after the serial number is skipped, the next two are the marker.
    if (rest.find('/') != std::string::npos) {
        std::string marker = rest.size() > 1 ? rest.substr(1, 2) : std::string();
        r.capacity = marker == "r5" ? "20k" : "10k";
    }
    return r;
}

Identification DecideModel(const IdentificationReply& reply, int currentModel) {
    Identification id;
    id.model = currentModel;
    if (reply.modelText.empty()) return id;  // OFF-LINE: nothing to show

    id.onLine = true;
    id.shownModel = reply.modelText;
    id.serial = reply.serial;
    id.version = reply.version;
    id.capacity = reply.capacity;
    const std::string& text = reply.modelText;
    if (text == kModelTexts[0]) {
        id.model = 0;
    } else if (text == kModelTexts[1]) {
        id.model = 1;
    } else if (text == kModelTexts[2] && reply.capacity == "10k") {
        id.model = 2;
    } else if (text == kModelTexts[3] && reply.capacity == "20k") {
        id.model = 3;
        id.shownModel = kModel20kText;
    }
    // Any other text (also the MAXI without a marker): ON-LINE, model as it was.
    return id;
}

Identification Identify(Connection& link, int currentModel) {
    // "model/version/serial": a status reply or another command's answer has
    // no two "/" and is not taken for the register's name.
    link.ClearRequestArea(0);
    const std::size_t frame = link.BuildFrame("0^");
    const bool answered = link.Exchange(static_cast<int>(frame), [](std::string_view data) {
        const std::size_t slash = data.find('/');
        return slash != std::string_view::npos && data.find('/', slash + 1) != std::string_view::npos;
    });
    return DecideModel(ParseIdentification(answered ? link.ReplyText() : std::string()), currentModel);
}
