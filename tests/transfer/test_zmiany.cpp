// "Wyślij zmiany" against the emulator: only what changed goes out, the
// register ends with exactly the table's records, and the copy is trusted
// only when it is complete, the register's own, and a sample agrees.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <functional>

#include "Emulator.h"
#include "EmulatorPort.h"
#include "Kopia.h"
#include "Pomoc.h"
#include "RecordingUi.h"
#include "Sekwencje.h"
#include "TempFiles.h"
#include "Uklady.h"
#include "Zmiany.h"

namespace {

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

void Plu(TableSet& set, int row, const std::string& name, const std::string& price, const std::string& stock = "10") {
    const std::vector<std::string> cells = {std::to_string(row), name, "590123412345", "A", "0", price, stock, "NIE"};
    for (int c = 0; c < static_cast<int>(cells.size()); ++c) set.SetCell(TableId::Plu, c, row, cells[c]);
}

// The register's PLU records as bytes, read back through a fresh connection.
std::vector<std::string> RegisterPlu(Emulator& emu, int rows) {
    Connection reader;
    reader.UsePort(std::make_unique<EmulatorPort>(emu, true));
    reader.Settings().pollLimit = 5000;
    TableSet got;
    got.ApplyModel(1, PluRule::Configured);
    ReadPluTable(reader, got);
    std::vector<std::string> out;
    for (int r = 1; r <= rows; ++r) out.push_back(RecordBytes(got, TableId::Plu, r));
    return out;
}

// Runs a hook each time the core lets the window handle events: between records.
class HookUi : public RecordingUi {
public:
    std::function<void()> onEvents;
    void ProcessEvents() override {
        if (onEvents) onEvents();
    }
};

class ChangesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testfiles::MakeTempDir("zmiany");
        SetEnv("ZELTRA_DATA_DIR", dir.string());
        emu.SetModel(1);
        link.UsePort(std::make_unique<EmulatorPort>(emu, true));
        link.Settings().pollLimit = 5000;
        link.SetUi(&ui);
        set.ApplyModel(1, PluRule::Configured);
        for (int r = 1; r <= 40; ++r) Plu(set, r, "Towar " + std::to_string(r), std::to_string(r) + ".00");
        reg = {1, emu.state.serial};
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    // A full send that leaves the copy behind.
    void FullSend() {
        SendPluTable(link, set);
        ASSERT_TRUE(UpdateCopyAfterSend(link, set, {CopyPart::Plu}, reg));
    }
    std::vector<std::string> TablePlu() const {
        std::vector<std::string> out;
        for (int r = 1; r <= set.Rows(TableId::Plu); ++r) out.push_back(RecordBytes(set, TableId::Plu, r));
        return out;
    }

    std::filesystem::path dir;
    Emulator emu;
    Connection link;
    HookUi ui;
    TableSet set;
    RegisterIdentity reg;
};

// What happens between the last full send and "Wyślij zmiany", and what the
// changes-only send must then do.
TEST_F(ChangesTest, SendsOnlyWhatChangedAndTrustsTheCopyOnlyWhenItHolds) {
    using Result = ChangesOutcome::Result;
    struct Case {
        const char* name;
        bool fullSendFirst;
        std::function<void(TableSet&, Emulator&, RegisterIdentity&)> between;
        Result result;
        int sent, removed;
    };
    auto record = [](Emulator& e, int r) -> std::string& {
        return e.state.records[PluLayout::kRecord.readDigit - '0'][static_cast<std::size_t>(r - 1)];
    };
    const std::vector<Case> cases = {
        {"no copy yet", false, [](TableSet&, Emulator&, RegisterIdentity&) {}, Result::FullSendNeeded, 0, 0},
        {"nothing changed", true, [](TableSet&, Emulator&, RegisterIdentity&) {}, Result::Sent, 0, 0},
        {"two prices changed, one record emptied", true,
         [](TableSet& s, Emulator&, RegisterIdentity&) {
             Plu(s, 7, "Towar 7", "7.50");
             Plu(s, 30, "Towar 30", "0.30");
             s.ClearRow(TableId::Plu, 12);
         },
         Result::Sent, 2, 1},
        {"a record added in the table", true, [](TableSet& s, Emulator&, RegisterIdentity&) { Plu(s, 41, "Nowy", "1.00"); },
         Result::Sent, 1, 0},
        {"stock changed by sales alone is no difference", true,
         [&](TableSet&, Emulator& e, RegisterIdentity&) { record(e, 1)[PluLayout::kStock.offset] = '\x01'; },
         Result::Sent, 0, 0},
        {"a name edited in the register", true,
         [&](TableSet&, Emulator& e, RegisterIdentity&) { record(e, 1)[0] = 'X'; }, Result::FullSendNeeded, 0, 0},
        // Only a read knows which records the register holds empty; a full
        // send leaves the register's other records as they were, unknown.
        {"a record added in the register after a read", true,
         [&](TableSet&, Emulator& e, RegisterIdentity&) { record(e, 1000) = record(e, 2); }, Result::FullSendNeeded,
         0, 0},
        {"another register on the line", true,
         [](TableSet&, Emulator&, RegisterIdentity& r) { r.serial = "999999"; }, Result::FullSendNeeded, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (c.fullSendFirst) FullSend();
        if (std::string(c.name).find("after a read") != std::string::npos) {
            TableSet read = set;
            ReadPluTable(link, read);
            ASSERT_TRUE(UpdateCopyAfterRead(link, read, {CopyPart::Plu}, reg));
        }
        c.between(set, emu, reg);
        const std::size_t writesBefore = emu.requests.size();
        // Every record the copy knows is in the sample: a difference anywhere is found.
        const ChangesOutcome out = SendChanges(link, set, {CopyPart::Plu}, reg, 2000, 7);
        EXPECT_EQ(out.result, c.result) << out.text;
        EXPECT_EQ(out.sent, c.sent);
        EXPECT_EQ(out.removed, c.removed);
        if (c.result == Result::FullSendNeeded) {
            EXPECT_FALSE(out.text.empty());
            continue;
        }
        EXPECT_LT(emu.requests.size() - writesBefore, 2000u + 10u);  // the sample and the changes, not the table
        // The register holds exactly the table's records, stock aside.
        const std::vector<std::string> held = RegisterPlu(emu, set.Rows(TableId::Plu)), want = TablePlu();
        for (std::size_t r = 0; r < want.size(); ++r)
            EXPECT_TRUE(SameHeldFields(TableId::Plu, held[r], want[r])) << "PLU " << r + 1;
        // And the copy now trusts the result: a second send has nothing to do.
        const ChangesOutcome again = SendChanges(link, set, {CopyPart::Plu}, reg, 2000, 8);
        EXPECT_EQ(again.result, Result::Sent) << again.text;
        EXPECT_EQ(again.sent + again.removed, 0);
    }
}

// A register that dies in the middle of the changes: the copy is stale, so
// the next changes-only send refuses and asks for the full one.
TEST_F(ChangesTest, CutShortLeavesTheCopyStale) {
    link.SetErrorMode("2");  // a status reply after every record: a dead register is noticed
    FullSend();
    for (int r = 1; r <= 40; ++r) Plu(set, r, "Nowa nazwa " + std::to_string(r), "1.00");
    // The register falls silent after the sample and a few of the changes.
    int events = 0;
    ui.onEvents = [&] { emu.switches.silent = ++events > 10; };
    const ChangesOutcome cut = SendChanges(link, set, {CopyPart::Plu}, reg, 5, 7);
    EXPECT_EQ(cut.result, ChangesOutcome::Result::Failed) << cut.text;
    ui.onEvents = nullptr;
    emu.switches.silent = false;
    const ChangesOutcome next = SendChanges(link, set, {CopyPart::Plu}, reg, 2000, 7);
    EXPECT_EQ(next.result, ChangesOutcome::Result::FullSendNeeded) << next.text;
    // A full read makes the copy whole again.
    ReadPluTable(link, set);
    ASSERT_TRUE(UpdateCopyAfterRead(link, set, {CopyPart::Plu}, reg));
    EXPECT_EQ(SendChanges(link, set, {CopyPart::Plu}, reg, 2000, 7).result, ChangesOutcome::Result::Sent);
}

}  // namespace
