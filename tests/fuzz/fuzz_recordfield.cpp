// RecordField against a plain reading of the record text: field k is what
// lies between the (k-1)-th and the k-th ";", and only closed fields exist.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Tabele.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields;
    std::string current;
    for (char c : text) {
        if (c == ';') {
            fields.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    const int n = static_cast<int>(fields.size());
    for (int k = -1; k <= n + 2; ++k) {
        std::string expected = k >= 1 && k <= n ? fields[k - 1] : std::string();
        if (RecordField(text, k) != expected) std::abort();
    }
    return 0;
}
