// Finding the register over scripted ports: which port and speed answered,
// busy and missing ports, noise and status replies around the answer, a
// search stopped half-way, and every port opened for a try closed again.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Pomoc.h"
#include "RecordingUi.h"
#include "ScriptedPort.h"
#include "Wykrywanie.h"

namespace {

const std::string kIdentify = std::string("\x1bP0^91\x1b\\");
// Model text, version, the serial number as sent (563412 shows as 123456).
const std::string kMirra = std::string("\x1bP1#ZELTRA ARK MIRRA/V1.07/563412AB\x1b\\");
const std::string kStatus = std::string("\x1bP2#0#CC\x1b\\");

// How a port named in a test behaves.
struct Line {
    bool opens = true;
    bool inUse = false;
    int answersAt = 0;     // the speed the register is set to; 0: nobody there
    std::string answer;    // what it sends to "0^" at that speed
};

// What happened to the ports opened for the tries.
struct Record {
    int opens = 0;
    int closes = 0;
    std::vector<std::string> written;      // per try
    std::vector<std::size_t> leftUnread;   // bytes still on the line at each close
};

class FakePort : public ScriptedPort {
public:
    FakePort(const std::map<std::string, Line>& lines, Record& record) : lines_(lines), record_(record) {}
    bool Open(const std::string& name, int baud) override {
        const auto it = lines_.find(name);
        const Line line = it == lines_.end() ? Line{false, false, 0, {}} : it->second;
        inUse_ = line.inUse;
        if (!line.opens || line.inUse) return false;
        ++record_.opens;
        ScriptedPort::Open(name, baud);
        if (line.answersAt == baud) answers.push_back(line.answer);
        return true;
    }
    void Close() override {
        if (open) {
            ++record_.closes;
            record_.written.push_back(Written());
            record_.leftUnread.push_back(Pending().size());
        }
        ScriptedPort::Close();
    }
    bool InUse() const override { return inUse_; }

private:
    const std::map<std::string, Line>& lines_;
    Record& record_;
    bool inUse_ = false;
};

// Asks to stop once the window's events have been handled `after` times.
class StoppingUi : public RecordingUi {
public:
    int after = -1;
    bool StopRequested() override { return after >= 0 && processEvents >= after; }
};

TEST(Detection, OverScriptedPorts) {
    Connection link;
    struct Case {
        const char* name;
        std::map<std::string, Line> lines;
        std::vector<std::string> ports;
        int stopAfterEvents;
        std::vector<ProbeOutcome> outcomes;
        int foundBaud;  // of the port that answered
        int tries;      // ports opened
    };
    using P = ProbeOutcome;
    const Line silent{};
    const Line busy{true, true, 0, {}};
    const Case cases[] = {
        {"register at 19200 among the rest",
         {{"COM1", silent}, {"COM2", busy}, {"COM4", Line{true, false, 19200, kMirra}}},
         {"COM1", "COM2", "COM3", "COM4"}, -1,
         {P::Silent, P::Busy, P::CannotOpen, P::Answered}, 19200, 3 + 2},
        {"noise first, a status reply after", {{"COM1", Line{true, false, 9600, "\x13xx" + kMirra + kStatus}}},
         {"COM1"}, -1, {P::Answered}, 9600, 1},
        {"a status reply alone is no register", {{"COM1", Line{true, false, 9600, kStatus}}},
         {"COM1"}, -1, {P::Silent}, 0, 3},
        {"a frame cut short is no register",
         {{"COM1", Line{true, false, 38400, kMirra.substr(0, kMirra.size() - 1)}}},
         {"COM1"}, -1, {P::Silent}, 0, 3},
        {"stopped during the first port", {{"COM1", silent}, {"COM2", Line{true, false, 9600, kMirra}}},
         {"COM1", "COM2"}, 5, {P::NotTried, P::NotTried}, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.Reset();
        Record record;
        StoppingUi ui;
        ui.after = c.stopAfterEvents;
        DetectionOptions options;
        options.makePort = [&] { return std::make_unique<FakePort>(c.lines, record); };

        const std::vector<PortProbe> found = DetectRegister(link, c.ports, ui, options);

        ASSERT_EQ(found.size(), c.ports.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].port, c.ports[i]);
            EXPECT_EQ(found[i].outcome, c.outcomes[i]) << c.ports[i];
            if (found[i].outcome == P::Answered) {
                EXPECT_EQ(found[i].baud, c.foundBaud);
                EXPECT_EQ(found[i].id.shownModel, "ZELTRA ARK MIRRA");
                EXPECT_EQ(found[i].id.serial, "123456");
                EXPECT_EQ(found[i].id.version, "V1.07");
            }
        }
        // Every port opened for a try was closed, each after one "0^", with
        // nothing of the register's left to turn up later.
        EXPECT_EQ(record.opens, c.tries);
        EXPECT_EQ(record.closes, c.tries);
        for (const std::string& w : record.written) EXPECT_EQ(w, kIdentify);
        for (std::size_t left : record.leftUnread) EXPECT_EQ(left, 0u);
        // The bar went round the whole search, or as far as it came, and hid.
        const RecordingUi::Bar& bar = ui.bars[UiBar::Main];
        EXPECT_EQ(bar.maximum, static_cast<int>(3 * c.ports.size()));
        if (c.stopAfterEvents < 0) {
            EXPECT_EQ(bar.value, bar.maximum);
        }
        EXPECT_FALSE(bar.visible);
        EXPECT_TRUE(ui.shown.empty());  // no "Brak odpowiedzi z kasy" boxes
    }
}

TEST(Detection, LinesAboutEachPort) {
    PortProbe found{"COM3", ProbeOutcome::Answered, 19200, {}};
    found.id.shownModel = "ZELTRA ARK MAXI 20k";
    found.id.serial = "123456";
    found.id.version = "V1.0";
    EXPECT_EQ(ProbeText(found), "COM3, 19200 Bd: ZELTRA ARK MAXI 20k, nr fabryczny 123456, wersja V1.0");
    EXPECT_EQ(ProbeText({"COM4", ProbeOutcome::Busy, 0, {}}), "COM4: port zajęty przez inny program");
    EXPECT_EQ(ProbeText({"COM5", ProbeOutcome::CannotOpen, 0, {}}), "COM5: nie można otworzyć portu");
}

}  // namespace
