// config.cfg as start-up reads it, and the configuration dialog's texts read,
// written and applied.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#ifdef _WIN32
#include "WindowsApi.h"
#else
#include "FifoGuard.h"
#endif

#include "ConfigText.h"
#include "Konfiguracja.h"
#include "Polaczenie.h"
#include "TempFiles.h"

namespace {

struct TempDir {
    std::string path;
    TempDir() : path(testfiles::MakeTempDir("zeltra-cfg-").string()) {}
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string Read() const { return testfiles::Slurp(path + "/config.cfg"); }
    void Write(const std::string& text) const { testfiles::Spit(path + "/config.cfg", text); }
};

std::string File(const std::string& timeout, const std::string& baud, const std::string& mode,
                 const std::string& maxPlu, const std::string& logging,
                 const std::string& port = "COM1") {
    return ConfigText(port, timeout, baud, mode, maxPlu, logging);
}

// Bytes this process has read through system calls so far; -1 when unknown.
long long BytesRead() {
#ifdef _WIN32
    IO_COUNTERS counters{};
    if (!GetProcessIoCounters(GetCurrentProcess(), &counters)) return -1;
    return static_cast<long long>(counters.ReadTransferCount);
#endif
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

struct Case {
    const char* name;
    const char* file;  // nullptr: no config.cfg at all
    std::string port;
    int pluCount, pollLimit, baud, errorMode, logging;
};

TEST(Configuration, ReadWithDefaults) {
    const std::string full = File("2", "19200", "2", "500", "1", "/dev/ttyUSB0");
    const std::string half = File("0.5", "4800", "0", "0", "0");
    const std::string comma = File("1,5", "38400", "3", "0", "0");
    const std::string words = File("abc", "fast", "x", "many", "TAK");
    const std::string empty = File("", "", "", "", "");
    const std::string partly = File("2s", "96OO", "1.5", "12a", "1 1");
    const std::string range = File("-1", "9600", "7", "-5", "0");
    const std::string huge = File("100000", "9600", "1", "99999", "0");
    const std::string zero = File("0", "9600", "1", "0", "0");
    const std::string tiny = File("0.000001", "9600", "1", "0", "0");
    // Each read may wait the whole time-out, up to three reads before the window shows.
    const std::string billion = File("1e9", "9600", "1", "0", "0");
    const std::string typo = File("200", "9600", "1", "0", "0");
    const std::string minute = File("60", "9600", "1", "0", "0");
    const std::string underMinute = File("59,99999", "9600", "1", "0", "0");
    const std::string lower = "[portrs]\r\nnrportu=COM3\r\ntimeout=3\r\n[ustawienia]\r\nmaxplu=42\r\n";
    const std::string unix = "[PORTRS]\nNrPortu=COM2\nBaud=19200\n";
    const Case cases[] = {
        {"no file", nullptr, "COM1", 0, 200000, 9600, 1, 0},
        {"empty file", "", "COM1", 0, 200000, 9600, 1, 0},
        {"every key", full.c_str(), "/dev/ttyUSB0", 500, 200000, 19200, 2, 1},
        {"fractional timeout, other speed", half.c_str(), "COM1", 0, 50000, 4800, 0, 0},
        {"decimal comma", comma.c_str(), "COM1", 0, 150000, 38400, 3, 0},
        {"non-numeric values", words.c_str(), "COM1", 0, 200000, 9600, 1, 0},
        {"empty values", empty.c_str(), "COM1", 0, 200000, 9600, 1, 0},
        {"numbers with trailing text", partly.c_str(), "COM1", 0, 200000, 9600, 1, 0},
        {"out of range", range.c_str(), "COM1", 0, 200000, 9600, 1, 0},
        {"huge values", huge.c_str(), "COM1", 19200, 6000000, 9600, 1, 0},
        {"time-out 1e9 taken as 60 s", billion.c_str(), "COM1", 0, 6000000, 9600, 1, 0},
        {"time-out typo 200 taken as 60 s", typo.c_str(), "COM1", 0, 6000000, 9600, 1, 0},
        {"time-out of 60 s", minute.c_str(), "COM1", 0, 6000000, 9600, 1, 0},
        {"time-out just under 60 s", underMinute.c_str(), "COM1", 0, 5999999, 9600, 1, 0},
        {"zero timeout", zero.c_str(), "COM1", 0, 200000, 9600, 1, 0},
        {"tiny timeout", tiny.c_str(), "COM1", 0, 1, 9600, 1, 0},
        {"any letter case", lower.c_str(), "COM3", 42, 300000, 9600, 1, 0},
        {"bare line feeds", unix.c_str(), "COM2", 0, 200000, 19200, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.file) dir.Write(c.file);
        Configuration got = ReadConfiguration(dir.path);
        EXPECT_EQ(got.portName, c.port);
        EXPECT_EQ(got.pluCount, c.pluCount);
        EXPECT_EQ(got.pollLimit, c.pollLimit);
        EXPECT_EQ(got.baud, c.baud);
        EXPECT_EQ(got.errorMode, c.errorMode);
        EXPECT_EQ(got.logging, c.logging);
    }
}

TEST(Configuration, ReadFromTheGivenDirectoryOnly) {
    TempDir a, b;
    a.Write(File("2", "19200", "2", "0", "0", "COM7"));
    b.Write(File("2", "38400", "0", "0", "0", "COM8"));
    EXPECT_EQ(ReadConfiguration(a.path).portName, "COM7");
    EXPECT_EQ(ReadConfiguration(b.path).portName, "COM8");
    EXPECT_EQ(ReadConfiguration(b.path).baud, 38400);
}

// The dialog's texts: exactly what the file holds, or the dialog's defaults.
TEST(Configuration, DialogTextsFromTheFile) {
    struct TextCase {
        const char* name;
        const char* file;  // nullptr: no config.cfg
        ConfigurationTexts want;
    };
    const TextCase cases[] = {
        {"no file", nullptr, {"COM1", "2", "9600", "1", "", 0}},
        {"as written", "[PORTRS]\r\nNrPortu=COM3\r\nTimeout=0.5\r\nBaud=4800\r\n[USTAWIENIA]\r\n"
                       "ObslugaBledow=3\r\nMaxPlu=0\r\nCzyLogowac=1\r\n",
         {"COM3", "0.5", "4800", "3", "0", 1}},
        {"texts kept as they are", "[PORTRS]\r\nNrPortu=Port \xB3\xF3\x64\x9F\r\nTimeout=abc\r\n"
                                   "Baud=\r\n[USTAWIENIA]\r\nObslugaBledow=x\r\nMaxPlu=12a\r\n",
         {"Port \xB3\xF3\x64\x9F", "abc", "", "x", "12a", 0}},
        {"any non-zero logging is TAK", "[USTAWIENIA]\r\nCzyLogowac=7\r\n",
         {"COM1", "2", "9600", "1", "", 1}},
        {"non-numeric logging is NIE", "[USTAWIENIA]\r\nCzyLogowac=TAK\r\n",
         {"COM1", "2", "9600", "1", "", 0}},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.file) dir.Write(c.file);
        ConfigurationTexts got = ReadConfigurationTexts(dir.path);
        EXPECT_EQ(got.port, c.want.port);
        EXPECT_EQ(got.timeout, c.want.timeout);
        EXPECT_EQ(got.baud, c.want.baud);
        EXPECT_EQ(got.errorMode, c.want.errorMode);
        EXPECT_EQ(got.maxPlu, c.want.maxPlu);
        EXPECT_EQ(got.logging, c.want.logging);
    }
}

// The bytes written: keys in the dialog's order, CR LF, texts as typed; lines
// the dialog does not own stay where they were.
TEST(Configuration, DialogWritesTheFile) {
    struct WriteCase {
        const char* name;
        const char* before;  // nullptr: no file yet
        ConfigurationTexts texts;
        const char* after;
    };
    const WriteCase cases[] = {
        {"new file, defaults", nullptr, {},
         "[PORTRS]\r\nNrPortu=COM1\r\nTimeout=2\r\nBaud=9600\r\n[USTAWIENIA]\r\n"
         "ObslugaBledow=1\r\nMaxPlu=\r\nCzyLogowac=0\r\n"},
        {"new file, typed texts unvalidated", nullptr,
         {"COM\xB9", "0,5", "4800", "9", "-3", 1},
         "[PORTRS]\r\nNrPortu=COM\xB9\r\nTimeout=0,5\r\nBaud=4800\r\n[USTAWIENIA]\r\n"
         "ObslugaBledow=9\r\nMaxPlu=-3\r\nCzyLogowac=1\r\n"},
        {"values replaced in place", "[USTAWIENIA]\r\nCzyLogowac=1\r\nMaxPlu=7\r\n"
                                     "[PORTRS]\r\nBaud=19200\r\n",
         {"COM2", "3", "38400", "0", "100", 0},
         "[USTAWIENIA]\r\nCzyLogowac=0\r\nMaxPlu=100\r\nObslugaBledow=0\r\n"
         "[PORTRS]\r\nBaud=38400\r\nNrPortu=COM2\r\nTimeout=3\r\n"},
        {"foreign lines kept", "; notes\r\n[INNE]\r\nKlucz=1\r\n",
         {"COM1", "2", "9600", "1", "0", 0},
         "; notes\r\n[INNE]\r\nKlucz=1\r\n[PORTRS]\r\nNrPortu=COM1\r\nTimeout=2\r\nBaud=9600\r\n"
         "[USTAWIENIA]\r\nObslugaBledow=1\r\nMaxPlu=0\r\nCzyLogowac=0\r\n"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.before) dir.Write(c.before);
        ASSERT_TRUE(SaveConfigurationTexts(dir.path, c.texts));
        EXPECT_EQ(dir.Read(), c.after);
        // What was written reads back as typed.
        ConfigurationTexts back = ReadConfigurationTexts(dir.path);
        EXPECT_EQ(back.port, c.texts.port);
        EXPECT_EQ(back.timeout, c.texts.timeout);
        EXPECT_EQ(back.baud, c.texts.baud);
        EXPECT_EQ(back.maxPlu, c.texts.maxPlu);
    }
}

TEST(Configuration, DialogReportsAFileItCannotWrite) {
    TempDir dir;
    EXPECT_FALSE(SaveConfigurationTexts(dir.path + "/missing", {}));
}

// Applying: numbers as start-up reads them; a text that is no usable number
// keeps the value in force; the error mode is never taken over.
TEST(Configuration, AppliedOverTheSettingsInForce) {
    Configuration inForce;
    inForce.portName = "COM1";
    inForce.pluCount = 1234;
    inForce.pollLimit = 300000;
    inForce.baud = 19200;
    inForce.errorMode = 2;
    inForce.logging = 1;
    struct ApplyCase {
        const char* name;
        ConfigurationTexts texts;
        int pluCount, pollLimit, baud, logging;
        bool startUpAgrees;  // a new start with these texts gives the same numbers
    };
    const ApplyCase cases[] = {
        {"plain numbers", {"COM5", "3", "38400", "0", "500", 0}, 500, 300000, 38400, 0, true},
        {"fractional time-out", {"COM5", "0.5", "9600", "1", "0", 1}, 0, 50000, 9600, 1, true},
        {"decimal comma", {"COM5", "1,25", "9600", "1", "0", 0}, 0, 125000, 9600, 0, true},
        {"speed outside the list", {"COM5", "2", "4800", "1", "0", 0}, 0, 200000, 4800, 0, true},
        {"blanks around", {"COM5", " 2 ", " 19200 ", "1", " 42 ", 0}, 42, 200000, 19200, 0, true},
        {"empty texts", {"COM5", "", "", "", "", 0}, 1234, 300000, 19200, 0, false},
        {"words", {"COM5", "dwa", "szybko", "x", "du\xBFo", 0}, 1234, 300000, 19200, 0, false},
        {"trailing letters", {"COM5", "2s", "96OO", "1", "12a", 0}, 1234, 300000, 19200, 0, false},
        {"zero and negative time-out", {"COM5", "-1", "9600", "1", "-5", 0}, 0, 300000, 9600, 0,
         false},
        {"PLU above every register", {"COM5", "100000", "9600", "1", "99999", 0}, 19200,
         6000000, 9600, 0, true},
        {"number too large for the speed", {"COM5", "1e300", "99999999999", "1", "0", 0}, 0,
         6000000, 19200, 0, false},
        {"time-out typo 200 taken as 60 s", {"COM5", "200", "9600", "1", "0", 0}, 0, 6000000, 9600,
         0, true},
    };
    for (const ApplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        Configuration got = AppliedConfiguration(inForce, c.texts);
        EXPECT_EQ(got.portName, c.texts.port);
        EXPECT_EQ(got.pluCount, c.pluCount);
        EXPECT_EQ(got.pollLimit, c.pollLimit);
        EXPECT_EQ(got.baud, c.baud);
        EXPECT_EQ(got.logging, c.logging);
        EXPECT_EQ(got.errorMode, 2);
        if (c.startUpAgrees) {
            TempDir dir;
            ASSERT_TRUE(SaveConfigurationTexts(dir.path, c.texts));
            Configuration next = ReadConfiguration(dir.path);
            EXPECT_EQ(next.pluCount, got.pluCount);
            EXPECT_EQ(next.pollLimit, got.pollLimit);
            EXPECT_EQ(next.baud, got.baud);
        }
    }
}

// A config.cfg that is no regular file, or far bigger than any real one, is
// refused like an unreadable file: the defaults, without waiting on a FIFO and
// without reading more than the size allowed.
TEST(Configuration, HostileFilesGiveTheDefaults) {
    const std::string valid = "[PORTRS]\r\nNrPortu=COM7\r\n";
    auto sized = [&](std::size_t size) { return valid + std::string(size - valid.size(), 'x'); };
    enum class Kind { Folder, Fifo, EndlessDevice, Text };
    const struct {
        const char* name;
        Kind kind;
        std::string text;
        const char* port;
    } cases[] = {
        {"folder", Kind::Folder, "", "COM1"},
#ifndef _WIN32
        // Windows puts neither in a folder: its pipes live under \\.\pipe\ and
        // its devices (NUL, CON) are names no file can take.
        {"FIFO without a writer", Kind::Fifo, "", "COM1"},
        {"link to an endless device", Kind::EndlessDevice, "", "COM1"},
#endif
        {"bigger than any real one", Kind::Text, sized(kMaxConfigFileSize + 1), "COM1"},
        {"as big as one may be", Kind::Text, sized(kMaxConfigFileSize), "COM7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.path + "/config.cfg";
#ifndef _WIN32
        std::optional<FifoGuard> fifo;
#endif
        switch (c.kind) {
        case Kind::Folder: ASSERT_TRUE(std::filesystem::create_directory(path)); break;
#ifndef _WIN32
        case Kind::Fifo: ASSERT_TRUE(fifo.emplace(path).Made()); break;
        case Kind::EndlessDevice: ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0); break;
#else
        case Kind::Fifo:
        case Kind::EndlessDevice: break;
#endif
        case Kind::Text: dir.Write(c.text); break;
        }
        const long long before = BytesRead();
        ASSERT_GE(before, 0);
        const Configuration got = ReadConfiguration(dir.path);
        const long long read = BytesRead() - before;
        EXPECT_EQ(got.portName, c.port);
        EXPECT_EQ(got.pollLimit, 200000);
        EXPECT_EQ(ReadConfigurationTexts(dir.path).port, c.port);
        EXPECT_LE(read, static_cast<long long>(kMaxConfigFileSize) + 4096);
#ifndef _WIN32
        if (fifo) EXPECT_FALSE(fifo->Rescued());
#endif
    }
}

}  // namespace
