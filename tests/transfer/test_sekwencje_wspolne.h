// Shared pieces of the command sequence tests: a scripted port and a recording
// user interface installed for each test, a fresh table set, byte helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ByteText.h"
#include "Cp1250.h"
#include "Pomoc.h"
#include "RecordingUi.h"
#include "ScriptedPort.h"
#include "Sekwencje.h"
#include "Tabele.h"

namespace seqtest {

using bytetext::BS;
using bytetext::Bytes;
using bytetext::ESC;
using bytetext::Frame;  // the request frame of a payload, with its check worked out here
using bytetext::Hex;
using bytetext::HexDigits;  // the hexadecimal text the register sends for record bytes: "5012" for 50 12

// A data reply: ESC 'P', two characters, the data, two closing characters, ESC '\'.
inline std::string Reply(const std::string& data) { return ESC + "P00" + data + "xx" + ESC + BS; }

// A status reply with the number n.
inline std::string Status(int n) { return bytetext::StatusReply(std::to_string(n)); }

inline std::string W(const char* utf8) { return Utf8ToCp1250(utf8); }

// Keeps every label text, in order, besides what RecordingUi keeps.
class LabelUi : public RecordingUi {
public:
    std::vector<std::string> labelHistory;
    void SetLabel(UiLabel l, const std::string& text) override {
        RecordingUi::SetLabel(l, text);
        if (l == UiLabel::Progress) labelHistory.push_back(text);
    }
};

class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        link.Reset();
        port = InstallScriptedPort(link);
        port->open = true;
        link.Settings().pollLimit = 2000;  // a silent register costs little
        link.Settings().errorMode = 0;
        ui = LabelUi();
        InstallUi(&ui);
        set = TableSet();
        set.ApplyModel(1, PluRule::Configured);
    }
    void TearDown() override {
        InstallUi(nullptr);
        link.Reset();
    }
    // Every write, as hexadecimal text.
    std::vector<std::string> Writes() const {
        std::vector<std::string> out;
        for (const auto& w : port->writes) out.push_back(Hex(w));
        return out;
    }
    void Row(TableId t, int row, const std::vector<std::string>& cells) {
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) set.SetCell(t, c, row, cells[c]);
    }
    std::vector<std::string> Cells(TableId t, int row) const {
        std::vector<std::string> out;
        for (int c = 0; c < set.Columns(t); ++c) out.push_back(set.Cell(t, c, row));
        return out;
    }

    Connection link;
    ScriptedPort* port = nullptr;
    LabelUi ui;
    TableSet set;
};

}  // namespace seqtest
