#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "Profile.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

namespace {

using testfiles::Slurp;

}  // namespace

TEST(Profile, ReadsWhatOtherToolsWrite) {
    struct Case {
        const char* name;
        std::string text, section, key, expected;
    };
    const std::string longValue(300000, 'x');
    const std::vector<Case> cases = {
        {"crlf", "[KASA]\r\nTyp_kasy=2\r\n", "KASA", "Typ_kasy", "2"},
        {"lf only, no final line end", "[KASA]\nTyp_kasy=3", "KASA", "Typ_kasy", "3"},
        {"spaces around =", "[KASA]\r\n  Typ_kasy \t=  1;a b;  \r\n", "KASA", "Typ_kasy", "1;a b;"},
        {"section and key case", "[opakowania]\r\nOPAK1=x\r\n", "OPAKOWANIA", "Opak1", "x"},
        {"Windows-1250 letters fold", "[\xA5\xC6]\r\n\xA3\xD3=y\r\n", "\xB9\xE6", "\xB3\xF3", "y"},
        {"value bytes kept", "[A]\r\nk=\xB9\xE6\x8C;\x01\xFF;\r\n", "A", "k", "\xB9\xE6\x8C;\x01\xFF;"},
        {"blank and junk lines", "\r\n[A]\r\n\r\njunk\r\n;k=c\r\nk=v\r\n", "A", "k", "v"},
        {"first duplicate key wins", "[A]\r\nk=1\r\nk=2\r\n", "A", "k", "1"},
        {"first duplicate section wins", "[A]\r\nk=1\r\n[a]\r\nk=2\r\n", "A", "k", "1"},
        {"entries before any section", "k=1\r\n[A]\r\n", "A", "k", "<none>"},
        {"key of another section", "[A]\r\nk=1\r\n[B]\r\n", "B", "k", "<none>"},
        {"spaced section name", "[ KASA ]\r\nTyp_kasy=1\r\n", "KASA", "Typ_kasy", "1"},
        {"= inside the value", "[A]\r\nk=a=b\r\n", "A", "k", "a=b"},
        {"long value whole", "[A]\r\nk=" + longValue + "\r\n", "A", "k", longValue},
        {"empty value", "[A]\r\nk=\r\n", "A", "k", ""},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF[KASA]\r\nTyp_kasy=1\r\n", "KASA", "Typ_kasy", "1"},
    };
    for (const auto& c : cases) {
        Profile p;
        p.Parse(c.text);
        EXPECT_EQ(p.Get(c.section, c.key, "<none>"), c.expected) << c.name;
        EXPECT_EQ(p.Text(), c.text) << c.name << ": an untouched profile writes its text back";
    }
}

TEST(Profile, WritesInPlaceAndAppends) {
    struct Set {
        std::string section, key, value;
    };
    struct Case {
        const char* name;
        std::string before;
        std::vector<Set> sets;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"new file", "", {{"KASA", "Typ_kasy", "1"}, {"OPAKOWANIA", "Opak1", ";;;"}},
         "[KASA]\r\nTyp_kasy=1\r\n[OPAKOWANIA]\r\nOpak1=;;;\r\n"},
        {"replace in place, file's key spelling", "x\n[a]\nOPAK1 = old\nz=1\n", {{"A", "opak1", "new"}},
         "x\n[a]\nOPAK1=new\r\nz=1\n"},
        {"unchanged value leaves the line alone", "[A]\n k = v \n", {{"A", "K", "v"}}, "[A]\n k = v \n"},
        {"append after the last entry, before trailing lines",
         "[A]\r\nk=1\r\n\r\n; note\r\n[B]\r\n", {{"A", "m", "2"}, {"A", "n", "3"}},
         "[A]\r\nk=1\r\nm=2\r\nn=3\r\n\r\n; note\r\n[B]\r\n"},
        {"append into an empty section", "[A]\r\n\r\n[B]\r\n", {{"a", "k", "1"}}, "[A]\r\nk=1\r\n\r\n[B]\r\n"},
        {"new section after a file without final line end", "[A]\r\nk=1", {{"B", "k", "2"}},
         "[A]\r\nk=1\r\n[B]\r\nk=2\r\n"},
        {"line breaks in a value cannot split the line", "", {{"A", "k", "1\r\n[X]\nq"}},
         "[A]\r\nk=1  [X] q\r\n"},
        {"second duplicate section untouched", "[A]\r\nk=1\r\n[A]\r\nk=2\r\n", {{"A", "k", "9"}},
         "[A]\r\nk=9\r\n[A]\r\nk=2\r\n"},
    };
    for (const auto& c : cases) {
        Profile p;
        p.Parse(c.before);
        for (const auto& s : c.sets) p.Set(s.section, s.key, s.value);
        EXPECT_EQ(p.Text(), c.after) << c.name;
        for (const auto& s : c.sets) EXPECT_TRUE(p.Has(s.section, s.key)) << c.name;
    }
}

TEST(Profile, SaveReplacesTheFileOnlyWhenWhollyWritten) {
    const fs::path dir = testfiles::MakeTempDir("profile");
    const fs::path file = dir / "config.cfg";

    EXPECT_EQ(ReadProfileString(file.string(), "PORTRS", "NrPortu", "COM1"), "COM1");  // no file yet
    ASSERT_TRUE(WriteProfileString(file.string(), "PORTRS", "NrPortu", "COM3"));
    ASSERT_TRUE(WriteProfileString(file.string(), "USTAWIENIA", "MaxPlu", ""));
    EXPECT_EQ(Slurp(file), "[PORTRS]\r\nNrPortu=COM3\r\n[USTAWIENIA]\r\nMaxPlu=\r\n");
    chmod(file.c_str(), 0640);
    ASSERT_TRUE(WriteProfileString(file.string(), "portrs", "nrportu", "COM4"));
    EXPECT_EQ(ReadProfileString(file.string(), "PORTRS", "NrPortu", ""), "COM4");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Refused: a folder that does not exist, a target that is a folder.
    Profile p;
    p.Set("A", "k", "v");
    EXPECT_FALSE(p.Save((dir / "missing" / "x.cfg").string()));
    fs::create_directory(dir / "adir");
    EXPECT_FALSE(p.Save((dir / "adir").string()));
    EXPECT_TRUE(fs::is_directory(dir / "adir"));

    // Nothing but the two targets is left behind.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"adir", "config.cfg"}));
    fs::remove_all(dir);
}

TEST(Profile, HostileTextParsesWithoutHarm) {
    std::string junk;
    unsigned x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        junk += static_cast<char>(x >> 16);
    }
    std::string sections;
    for (int i = 0; i < 100000; ++i) sections += "[S" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
    const std::string longLine = "[TOWARY]\r\nPlu1=" + std::string(10 << 20, ';') + "\r\n";

    for (const std::string* text : std::vector<const std::string*>{&junk, &sections, &longLine}) {
        Profile p;
        p.Parse(*text);
        EXPECT_EQ(p.Text(), *text);
        p.Set("TOWARY", "Plu2", "1;a;");
        EXPECT_EQ(p.Get("towary", "plu2", ""), "1;a;");
    }
    Profile p;
    p.Parse(sections);
    EXPECT_EQ(p.Get("s99999", "K", ""), "99999");
    p.Parse(longLine);
    EXPECT_EQ(p.Get("TOWARY", "Plu1", "").size(), size_t{10} << 20);
}
