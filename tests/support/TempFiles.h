// Files for tests: a fresh folder under the system's temporary folder, and a
// file's bytes read or written whole.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace testfiles {

// The whole file as bytes; "" when it cannot be read.
inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Replaces the file with `text`, byte for byte.
inline void Spit(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// A new empty folder named `prefix` and six random characters; an empty path
// when none could be made.
inline std::filesystem::path MakeTempDir(const std::string& prefix) {
#ifdef _WIN32
    // No mkdtemp here: a random name, taken only if the folder is new.
    static std::mt19937 random{std::random_device{}()};
    const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i) name += letters[random() % 36];
        const auto dir = std::filesystem::temp_directory_path() / name;
        std::error_code ec;
        if (std::filesystem::create_directory(dir, ec)) return dir;
    }
    return {};
#else
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    const char* made = mkdtemp(tmpl.data());
    return made ? std::filesystem::path(made) : std::filesystem::path();
#endif
}

}  // namespace testfiles
