// config.cfg as start-up reads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "Polaczenie.h"

namespace {

struct TempDir {
    std::string path;
    TempDir() {
        char name[] = "/tmp/zeltra-cfg-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() {
        std::remove((path + "/config.cfg").c_str());
        rmdir(path.c_str());
    }
    void Write(const std::string& text) const {
        std::ofstream(path + "/config.cfg", std::ios::binary) << text;
    }
};

std::string File(const std::string& timeout, const std::string& baud, const std::string& mode,
                 const std::string& maxPlu, const std::string& logging,
                 const std::string& port = "COM1") {
    return "[PORTRS]\r\nNrPortu=" + port + "\r\nTimeout=" + timeout + "\r\nBaud=" + baud +
           "\r\n[USTAWIENIA]\r\nObslugaBledow=" + mode + "\r\nMaxPlu=" + maxPlu +
           "\r\nCzyLogowac=" + logging + "\r\n";
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
        {"huge values", huge.c_str(), "COM1", 19200, 2147483647, 9600, 1, 0},
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

}  // namespace
