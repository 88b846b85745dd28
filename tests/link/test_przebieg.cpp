// A transfer's count of records without a reply: the boxes shown, the one
// question after three silent records in a row, "Nie" stopping and "Tak"
// going on without boxes, the summary at the end; and the count and time
// left beside the progress bar.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "ByteText.h"
#include "Pomoc.h"
#include "Przebieg.h"
#include "RecordingUi.h"
#include "ScriptedPort.h"

namespace {

const std::string kNoReply = "Brak odpowiedzi z kasy";
const std::string kQuestion = "Kasa nie odpowiada. Kontynuować?";

class TransferTest : public ::testing::Test {
protected:
    Connection link;
    void SetUp() override {
        link.Reset();
        port = InstallScriptedPort(link);
        link.Settings().pollLimit = 100;  // room for a reply, a quick time-out without one
        InstallUi(&ui);
    }
    void TearDown() override {
        InstallUi(nullptr);
        link.Reset();
    }

    // Runs records 1, 2, ... as a sequence does: a stop asked between
    // records, then `replies` exchanges for the record, each answered when its
    // record's letter in `pattern` is '.' and silent when it is 'x'. Gives
    // the records begun.
    int RunRecords(const std::string& pattern, int replies) {
        int begun = 0;
        for (std::size_t r = 1; r <= pattern.size(); ++r) {
            if (TransferStopRequested(link)) break;
            ++begun;
            TransferRecord(link, static_cast<long long>(r));
            for (int k = 0; k < replies; ++k) {
                port->answers.push_back(pattern[r - 1] == 'x' ? std::string() : bytetext::DataReply("0"));
                link.WriteRequest(5);
                link.ReadReplyOrWarn();
            }
        }
        return begun;
    }
    int Summaries() const {
        int n = 0;
        for (const auto& s : ui.shown) n += s.text.rfind("Kasa nie odpowiedziała", 0) == 0;
        return n;
    }

    ScriptedPort* port = nullptr;
    RecordingUi ui;
};

TEST_F(TransferTest, SilentRecordsAskOnceAndSumUp) {
    struct Case {
        const char* name;
        TransferKind kind;
        int replies;           // a record's replies: 1, or 2 with the status reply of modes 2 and 3
        std::string pattern;   // per record: '.' answered, 'x' silent
        std::deque<bool> answers;
        int boxes, questions, begun;
        std::string summary;   // empty: none
    };
    const Case cases[] = {
        {"three silent records in a row, Nie stops before the fourth", TransferKind::Download, 1, "xxxxxx", {false},
         3, 1, 3, "Kasa nie odpowiedziała dla 3 rekordów (nr 1, 2, 3). Te wiersze pozostały bez zmian."},
        {"Tak goes on, the rest counted without a box", TransferKind::Upload, 1, "xxxxxxx", {true}, 3, 1, 7,
         "Kasa nie odpowiedziała dla 7 rekordów (nr 1, 2, 3, 4, 5, …). Te rekordy mogły nie zostać zapisane w kasie."},
        {"two missing replies of a record count one record", TransferKind::Deletion, 2, "xxxx", {true}, 5, 1, 4,
         "Kasa nie odpowiedziała dla 4 rekordów (nr 1, 2, 3, 4). Te rekordy mogły nie zostać usunięte z kasy."},
        {"a reply between silent records breaks the row", TransferKind::Download, 1, "xx.xx.x", {}, 5, 0, 7,
         "Kasa nie odpowiedziała dla 5 rekordów (nr 1, 2, 4, 5, 7). Te wiersze pozostały bez zmian."},
        {"a status reply that comes breaks the row too", TransferKind::Download, 2, "xx.x", {}, 6, 0, 4,
         "Kasa nie odpowiedziała dla 3 rekordów (nr 1, 2, 4). Te wiersze pozostały bez zmian."},
        {"one record without a reply is named", TransferKind::FiscalMemory, 1, "..x..", {}, 1, 0, 5,
         "Kasa nie odpowiedziała dla 1 rekordu (nr 3). Te rekordy nie zostały odczytane."},
        {"every reply came: nothing to say", TransferKind::Download, 2, ".....", {}, 0, 0, 5, ""},
        {"a single frame: its box is enough", TransferKind::Upload, 1, "x", {}, 1, 0, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui = RecordingUi();
        ui.answers = c.answers;
        int begun = 0;
        {
            TransferScope transfer(link, c.kind, "PLU");
            EXPECT_FALSE(TransferStopRequested(link)) << "a new transfer starts afresh";
            begun = RunRecords(c.pattern, c.replies);
        }
        EXPECT_EQ(begun, c.begun);
        EXPECT_EQ(ui.Count(kNoReply), c.boxes);
        EXPECT_EQ(ui.Count(kQuestion), c.questions);
        EXPECT_EQ(Summaries(), c.summary.empty() ? 0 : 1);
        if (!c.summary.empty()) {
            EXPECT_EQ(ui.Count(c.summary), 1) << ui.Messages().back();
        }
        EXPECT_FALSE(TransferStopRequested(link)) << "the stop ends with its transfer";
        EXPECT_EQ(port->Pending(), "") << "every reply read";
    }
}

TEST(RecordsLeft, CountAndTimeLeft) {
    struct Case {
        long long done, all;
        double elapsed;
        const char* text;
    };
    const Case cases[] = {
        {0, 15, 0.0, "0 z 15"},              // no estimate before the first record
        {5, 15, 10.0, "5 z 15, pozostało ok. 0:20"},
        {1, 19201, 0.125, "1 z 19201, pozostało ok. 40:00"},
        {1, 19201, 4.0, "1 z 19201, pozostało ok. 21:20:00"},
        {19201, 19201, 2400.0, "19201 z 19201"},  // done: nothing left to estimate
        {20, 15, 1.0, "15 z 15"},
    };
    for (const Case& c : cases) EXPECT_EQ(RecordsLeftText(c.done, c.all, c.elapsed), c.text);
}

}  // namespace
