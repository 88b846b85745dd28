// The identification reply's fields and the model decision.
#include <gtest/gtest.h>

#include <string>

#include "Identyfikacja.h"

namespace {

// A reply as the register frames it: ESC 'P', two characters, the data, two
// closing characters, ESC, backslash.
std::string Reply(const std::string& data) { return "\x1bP01" + data + "5A\x1b\\"; }

struct Case {
    const char* name;
    std::string reply;
    int current;  // model index before the identification
    bool onLine;
    int model;
    std::string shown, serial, version, capacity;
};

TEST(Identification, ParseAndModelDecision) {
    const std::string ffs(511, '\xFF');
    const Case cases[] = {
        {"maxi 20k", Reply("ZELTRA ARK MAXI/V1.0/563412/r5xyz"), 1, true, 3,
         "ZELTRA ARK MAXI 20k", "123456", "V1.0", "20k"},
        {"maxi 10k", Reply("ZELTRA ARK MAXI/V1.0/563412/q7xyz"), 1, true, 2, "ZELTRA ARK MAXI",
         "123456", "V1.0", "10k"},
        {"marker after any one character", Reply("ZELTRA ARK MAXI/V1.0/563412-r5/"), 0, true, 3,
         "ZELTRA ARK MAXI 20k", "123456", "V1.0", "20k"},
        {"maxi without marker keeps model", Reply("ZELTRA ARK MAXI/V1.0/563412"), 1, true, 1,
         "ZELTRA ARK MAXI", "123456", "V1.0", ""},
        {"maxi without marker keeps model 3", Reply("ZELTRA ARK MAXI/V1.0/563412"), 3, true, 3,
         "ZELTRA ARK MAXI", "123456", "V1.0", ""},
        {"mirra", Reply("ZELTRA ARK MIRRA/V2.01/000001"), 3, true, 1, "ZELTRA ARK MIRRA",
         "010000", "V2.01", ""},
        {"ark", Reply("ZELTRA ARK/A/563412"), 3, true, 0, "ZELTRA ARK", "123456", "A", ""},
        {"ark with a marker stays ark", Reply("ZELTRA ARK/A/563412/r5"), 2, true, 0, "ZELTRA ARK",
         "123456", "A", "20k"},
        {"unknown model: on-line, model kept", Reply("KASA XYZ/V9/112233"), 2, true, 2, "KASA XYZ",
         "332211", "V9", ""},
        {"comparison is case-sensitive", Reply("zeltra ark/V1/112233"), 1, true, 1, "zeltra ark",
         "332211", "V1", ""},
        {"empty model text", Reply("/V1/563412"), 2, false, 2, "", "", "", ""},
        {"no slash at all", Reply("ZELTRA ARK"), 1, false, 1, "", "", "", ""},
        {"empty reply", "", 1, false, 1, "", "", "", ""},
        {"header only", "\x1bP", 1, false, 1, "", "", "", ""},
        {"time-out fill", ffs, 3, false, 3, "", "", "", ""},
        {"status reply instead", "\x1bP0100A5\x1b\\", 1, false, 1, "", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Identification id = DecideModel(ParseIdentification(c.reply), c.current);
        EXPECT_EQ(id.onLine, c.onLine);
        EXPECT_EQ(id.model, c.model);
        EXPECT_EQ(id.shownModel, c.shown);
        EXPECT_EQ(id.serial, c.serial);
        EXPECT_EQ(id.version, c.version);
        if (c.onLine) {
            EXPECT_EQ(id.capacity, c.capacity);
        }
    }
}

TEST(Identification, ParseKeepsFieldsWithoutDecision) {
    // The parse alone gives the fields as received, whatever the model text.
    IdentificationReply r = ParseIdentification(Reply("ZELTRA ARK MAXI/V1.0/563412/r5"));
    EXPECT_EQ(r.modelText, "ZELTRA ARK MAXI");
    EXPECT_EQ(r.version, "V1.0");
    EXPECT_EQ(r.serial, "123456");
    EXPECT_EQ(r.capacity, "20k");
    // A missing second "/" leaves the version empty and the serial taken from what follows.
    r = ParseIdentification(Reply("ZELTRA ARK-V1.0"));
    EXPECT_EQ(r.modelText, "");
    r = ParseIdentification(Reply("ZELTRA ARK/563412"));
    EXPECT_EQ(r.modelText, "ZELTRA ARK");
    EXPECT_EQ(r.version, "");
    EXPECT_EQ(r.serial, "123456");
}

}  // namespace
