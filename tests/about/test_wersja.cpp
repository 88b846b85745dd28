// The program's version numbers and the text of the version line.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "Wersja.h"

namespace {

TEST(Wersja, VersionText) {
    struct Case { std::optional<VersionNumbers> record; std::string text; };
    const std::vector<Case> cases = {
        {VersionNumbers{1, 7, 0, 0}, " - wersja programu: 1.7.0.0"},
        {VersionNumbers{1, 10, 0, 12}, " - wersja programu: 1.10.0.12"},  // never padded or cut
        {VersionNumbers{65535, 100, 2026, 9}, " - wersja programu: 65535.100.2026.9"},
        {std::nullopt, " - wersja programu: 0.0.0.1"},  // no version record: build 1
    };
    for (const auto& c : cases) EXPECT_EQ(VersionText(VersionInfo(c.record)), c.text);
}

TEST(Wersja, PartsFromTheProductVersionWords) {
    EXPECT_EQ(VersionFromWords(0x00010007, 0x00000000), (VersionNumbers{1, 7, 0, 0}));
    EXPECT_EQ(VersionFromWords(0x0001000A, 0x0003000C), (VersionNumbers{1, 10, 3, 12}));
    EXPECT_EQ(VersionFromWords(0xFFFFFFFE, 0x80000001), (VersionNumbers{65535, 65534, 32768, 1}));
}

TEST(Wersja, ProgramVersionComesFromTheProjectVersion) {
    EXPECT_EQ(ProgramVersionText(), std::string(" - wersja programu: ") + ZELTRA_EXPECTED_VERSION);
    EXPECT_EQ(ProgramVersionText(), VersionText(VersionInfo()));
}

}  // namespace
