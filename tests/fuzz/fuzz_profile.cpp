// Any bytes as a profile file: parsing never fails, an untouched profile
// writes back exactly what it read, and entries set afterwards read back both
// at once and after the written text is parsed again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Profile.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

std::string OneLineTrimmed(std::string v) {
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    size_t b = v.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = v.find_last_not_of(" \t");
    return v.substr(b, e - b + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    Profile p;
    p.Parse(text);
    Check(p.Text() == text);

    // A few entries whose names and values come from the input itself.
    const char* sections[] = {"KASA", "towary", "Opakowania", "S0"};
    std::string values[4];
    std::string keys[4];
    for (int i = 0; i < 4; ++i) {
        size_t from = size ? (i * 7919u) % size : 0;
        values[i] = text.substr(from, (size ? data[from] : 0) % 40);
        keys[i] = (i % 2 ? "Plu" : "typ_KASY") + std::to_string(size ? data[(from + 1) % size] % 3 : 0);
        p.Set(sections[i], keys[i], values[i]);
    }
    Profile again;
    again.Parse(p.Text());
    for (int i = 0; i < 4; ++i) {
        // The last set of a section and key wins.
        bool last = true;
        for (int j = i + 1; j < 4; ++j)
            if (std::string_view(sections[i]) == sections[j] && keys[i] == keys[j]) last = false;
        if (!last) continue;
        std::string expected = values[i];
        for (char& c : expected)
            if (c == '\r' || c == '\n') c = ' ';
        Check(p.Get(sections[i], keys[i], "\x01") == expected);
        Check(again.Get(sections[i], keys[i], "\x01") == OneLineTrimmed(values[i]));
    }
    return 0;
}
