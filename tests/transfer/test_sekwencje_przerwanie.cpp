// Transfers stopped between records through the register emulator: by the
// person (the window's "Przerwij" or Esc, the tool's Ctrl+C) or by "Nie" to
// the question about a register gone silent. What was done before the stop
// stays, nothing is left on the line, and the next command gets its own reply.
#include <functional>

#include "Emulator.h"
#include "EmulatorPort.h"
#include "test_sekwencje_wspolne.h"

using namespace seqtest;

namespace {

constexpr int kPlu = 20;
constexpr int kAt = 5;  // the main bar's step at which the stop or the silence comes

// Stops when the main bar has gone kAt steps, or makes the register fall
// silent there; answers questions "Nie".
class StopUi : public RecordingUi {
public:
    bool stopAt = false;
    Emulator* silenceAt = nullptr;
    bool StopRequested() override { return stopAt && bars[UiBar::Main].steps >= kAt; }
    void ProgressStep(UiBar b, int by) override {
        RecordingUi::ProgressStep(b, by);
        if (silenceAt && b == UiBar::Main && bars[b].steps == kAt) silenceAt->switches.silent = true;
    }
};

class StoppedTransfer : public ::testing::Test {
public:
    Connection link;  // the cases' checks reach in
    void SetUp() override {
        link.Reset();
        emu = Emulator();
        emu.SetModel(1);
        ui = StopUi();
        auto p = std::make_unique<EmulatorPort>(emu, true);
        port = p.get();
        link.UsePort(std::move(p));
        link.Settings().pollLimit = 3000;
        InstallUi(&ui);
        sent = TableSet();
        sent.SetPluCount(kPlu);
        sent.ApplyModel(1, PluRule::Configured);
        for (int r = 1; r <= kPlu; ++r) {
            const std::string n = std::to_string(r);
            for (int c = 0; c < 8; ++c)
                sent.SetCell(TableId::Plu, c, r, std::vector<std::string>{n, "Towar " + n, "", "A", "0", "1.00", "1", "NIE"}[c]);
        }
        for (int r = 1; r <= 15; ++r) {
            sent.SetCell(TableId::Packaging, 0, r, std::to_string(r));
            sent.SetCell(TableId::Packaging, 1, r, "Butelka");
        }
        SendPluTable(link, sent);
        SendPackagingTable(link, sent);
        ui = StopUi();
        got = TableSet();
        got.SetPluCount(kPlu);
        got.ApplyModel(1, PluRule::Configured);
    }
    void TearDown() override {
        InstallUi(nullptr);
        link.Reset();
    }
    int Filled(const TableSet& s, TableId t) const {
        int n = 0;
        for (int r = 1; r <= s.Rows(t); ++r) n += s.RowHasRecord(t, r);
        return n;
    }
    int StoredPlu() { return static_cast<int>(emu.state.records[7].size()); }

    Emulator emu;
    EmulatorPort* port = nullptr;
    StopUi ui;
    TableSet sent, got;
};

TEST_F(StoppedTransfer, StopsBetweenRecordsAndLeavesTheLineClear) {
    enum class How { Przerwij, SilenceThenNie };
    struct Case {
        const char* name;
        std::function<void(StoppedTransfer&)> run;
        int fullSteps;                              // the main bar's steps of a whole run
        bool readsInModeOne;                        // a silent register is noticed in mode 1 too
        std::function<void(StoppedTransfer&, How)> check;  // what stays after the stop
    };
    const Case cases[] = {
        {"PLU download", [&](StoppedTransfer& t) { ReadPluTable(link, t.got); }, kPlu + 1, true,
         [](StoppedTransfer& t, How) {
             // Records 1 to 5 were read before the stop or the silence; the rest are as they were.
             EXPECT_EQ(t.Filled(t.got, TableId::Plu), kAt);
             for (int r = 1; r <= kAt; ++r) EXPECT_TRUE(t.got.RowHasRecord(TableId::Plu, r)) << r;
         }},
        {"all tables read", [&](StoppedTransfer& t) { ReadAllTables(link, t.got); }, 15 + kPlu + 1, true,
         [](StoppedTransfer& t, How) {
             EXPECT_EQ(t.Filled(t.got, TableId::Packaging), kAt);
             EXPECT_EQ(t.Filled(t.got, TableId::Plu), 0) << "the run ended with the packaging";
         }},
        {"PLU upload", [&](StoppedTransfer& t) { t.emu.state.records.clear(); SendPluTable(link, t.sent); }, kPlu, false,
         [](StoppedTransfer& t, How how) {
             // The register holds what was sent before the stop: 5 records, or the 4
             // sent before it fell silent.
             EXPECT_EQ(t.StoredPlu(), how == How::Przerwij ? kAt : kAt - 1);
         }},
        {"all tables sent", [&](StoppedTransfer& t) { t.emu.state.records.clear(); SendAllTables(link, t.sent); }, 15 + kPlu,
         false, [](StoppedTransfer& t, How) { EXPECT_EQ(t.StoredPlu(), 0) << "the run ended with the packaging"; }},
        {"PLU table deletion", [&](StoppedTransfer& t) { DeleteTable(link, t.sent, TableId::Plu); }, kPlu, true,
         [](StoppedTransfer& t, How how) {
             // Rows 1 to 5 emptied and deleted in the register; after the silence
             // the three unanswered rows are emptied too, and nothing more.
             const int emptied = how == How::Przerwij ? kAt : kAt + 3;
             EXPECT_EQ(t.Filled(t.sent, TableId::Plu), kPlu - emptied);
             EXPECT_EQ(t.StoredPlu(), kPlu - kAt);
         }},
        {"packaging deletion", [&](StoppedTransfer& t) { DeleteTable(link, t.sent, TableId::Packaging); }, 15, false,
         [](StoppedTransfer& t, How how) {
             EXPECT_EQ(t.Filled(t.sent, TableId::Packaging), how == How::Przerwij ? 15 - kAt : 15 - kAt - 3);
         }},
    };
    for (const Case& c : cases) {
        for (int mode : {1, 2, 3}) {
            for (How how : {How::Przerwij, How::SilenceThenNie}) {
                const bool noticed = mode > 1 || c.readsInModeOne;
                if (how == How::SilenceThenNie && !noticed) continue;  // nothing is read: nothing to notice
                SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(mode) +
                             (how == How::Przerwij ? ", Przerwij" : ", silence then Nie"));
                SetUp();
                link.Settings().errorMode = mode;
                emu.state.errorMode = mode;
                ui.stopAt = how == How::Przerwij;
                ui.silenceAt = how == How::SilenceThenNie ? &emu : nullptr;

                c.run(*this);

                const int steps = ui.bars[UiBar::Main].steps;
                if (how == How::Przerwij) {
                    EXPECT_EQ(steps, kAt);
                    EXPECT_EQ(ui.Messages(), std::vector<std::string>{});
                } else {
                    // Three records without a reply, the question, then the stop.
                    EXPECT_GE(steps, kAt + 2);
                    EXPECT_LE(steps, kAt + 3);
                    EXPECT_EQ(ui.Count("Kasa nie odpowiada. Kontynuować?"), 1);
                }
                EXPECT_LT(steps, c.fullSteps);
                c.check(*this, how);

                // Nothing is left on the line to become the start of the next reply.
                EXPECT_EQ(port->Queued(), 0U);
                EXPECT_EQ(emu.Pending(), 0U);
                emu.switches.silent = false;
                ui.Clear();
                EXPECT_EQ(ReadRegisterState(link).substr(0, 2), "0" + std::to_string(mode));
                EXPECT_EQ(ui.Messages(), std::vector<std::string>{});
                EXPECT_EQ(port->Queued(), 0U);
                TearDown();
            }
        }
    }
}

}  // namespace
