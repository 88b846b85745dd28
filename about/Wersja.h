// The program's own version, read from the version record of its program file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The four parts of the product version, most significant first.
struct VersionNumbers {
    int major;
    int minor;
    int release;
    int build;
    bool operator==(const VersionNumbers&) const = default;
};

// The program's version: 0.0.0.1 when the program file carries no version record.
VersionNumbers VersionInfo();
// The same from a given record (tests, other platforms): 0.0.0.1 without one.
VersionNumbers VersionInfo(const std::optional<VersionNumbers>& record);

// The version record of the running program, when it has one. On Windows it is
// the file's version resource; elsewhere the numbers the build compiled in.
std::optional<VersionNumbers> ProgramVersionRecord();

// The four parts from the two 32-bit words of a product version (16 bits each).
VersionNumbers VersionFromWords(std::uint32_t mostSignificant, std::uint32_t leastSignificant);

// " - wersja programu: " and the four parts in full decimal joined by ".".
std::string VersionText(const VersionNumbers& version);
// The text of the main window's version line: VersionText(VersionInfo()).
std::string ProgramVersionText();
