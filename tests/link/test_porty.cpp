// The port list: name order, and a listing that works on whatever this machine has.
#include <gtest/gtest.h>

#include <string>

#include "Porty.h"

TEST(Porty, NaturalOrder) {
    struct Case {
        std::string a, b;
        bool less;
    };
    const Case cases[] = {
        {"COM2", "COM10", true},
        {"COM10", "COM2", false},
        {"COM9", "COM9", false},
        {"com3", "COM4", true},
        {"COM1", "LPT1", true},
        {"/dev/ttyS0", "/dev/ttyUSB0", true},
        {"/dev/ttyUSB2", "/dev/ttyUSB10", true},
        {"/dev/ttyACM0", "/dev/ttyS0", true},
        {"COM", "COM1", true},
        {"COM1", "COM1a", true},
        {"COM007", "COM8", true},
        {"COM18446744073709551617", "COM18446744073709551618", true},  // beyond any integer
    };
    for (const Case& c : cases) EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

TEST(Porty, ListIsSortedWithoutDuplicates) {
    const auto ports = ListSerialPorts();
    for (std::size_t i = 0; i < ports.size(); ++i) {
#ifdef _WIN32
        EXPECT_EQ(ports[i].name.rfind("COM", 0), 0u) << ports[i].name;
#else
        EXPECT_EQ(ports[i].name.rfind("/dev/", 0), 0u) << ports[i].name;
#endif
        if (i > 0) {
            EXPECT_TRUE(NaturalLess(ports[i - 1].name, ports[i].name)) << ports[i].name;
        }
    }
}
