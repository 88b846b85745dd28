// INI-form profile files (config.cfg, .pod data files).
//
// Section and key names match without regard to letter case; lines end with
// CR LF; texts are kept as the bytes they are (Windows-1250). Setting a value
// replaces an existing entry in place, appends a missing entry at the end of
// its section and a missing section at the end of the file; every other line
// stays as it was. A file that does not exist reads as empty.
//
// A Profile reads its file once and writes it once, however many entries an
// operation touches.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

// Far beyond any profile this program writes (a full data file is about
// 1.2 MB); a bigger file is not read into memory and not written over.
inline constexpr std::size_t kMaxProfileSize = std::size_t{256} << 20;

class Profile {
public:
    Profile();
    ~Profile();
    Profile(Profile&&) noexcept;
    Profile& operator=(Profile&&) noexcept;

    // Reads the file; a missing or unreadable file gives an empty profile.
    // Lines may end with CR LF or LF alone; blank and foreign lines are kept
    // as they are. Anything there that is not a regular file, cannot be read
    // or is larger than maxSize is unreadable, and Save does not write over it.
    void Load(const std::string& path, std::size_t maxSize = kMaxProfileSize);
    // True when the last Load found a file it could not read.
    bool Unreadable() const;
    // Parses text as the content of a file (tests, fuzzing).
    void Parse(const std::string& text);

    std::string Get(const std::string& section, const std::string& key,
                    const std::string& def) const;
    bool Has(const std::string& section, const std::string& key) const;
    // Line breaks in a name or value become spaces, so an entry stays one
    // line; an empty key is ignored.
    void Set(const std::string& section, const std::string& key, const std::string& value);

    // The whole file as it would be written.
    std::string Text() const;
    // Writes the file beside the old one and renames it into place; false when
    // the file system refuses, and the old file is then left exactly as it was.
    bool Save(const std::string& path) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// One-entry calls, in the manner of the platform's profile functions.
std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& def);
bool WriteProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value);
