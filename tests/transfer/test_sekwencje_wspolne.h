// Shared pieces of the command sequence tests: a scripted port and a recording
// user interface installed for each test, a fresh table set, byte helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Cp1250.h"
#include "Pomoc.h"
#include "RecordingUi.h"
#include "ScriptedPort.h"
#include "Sekwencje.h"
#include "Tabele.h"

namespace seqtest {

inline const std::string ESC = "\x1b";
inline const std::string BS = "\\";

// "34 12 00" -> the three bytes.
inline std::string Bytes(const std::string& hexWithSpaces) {
    std::istringstream in(hexWithSpaces);
    std::string out;
    for (std::string pair; in >> pair;) out.push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
    return out;
}

// Bytes -> "34 12 00".
inline std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// The hexadecimal text the register sends for record bytes: "5012" for 50 12.
inline std::string HexText(const std::string& bytes) {
    std::string h = Hex(bytes);
    std::string out;
    for (char c : h)
        if (c != ' ') out += c;
    return out;
}

// The request frame of a payload, with its check worked out here.
inline std::string Frame(const std::string& payload) {
    unsigned check = 0xFF;
    for (unsigned char b : payload) check ^= b;
    static const char* digits = "0123456789ABCDEF";
    return ESC + "P" + payload + digits[check >> 4] + digits[check & 15] + ESC + BS;
}

// A data reply: ESC 'P', two characters, the data, two closing characters, ESC '\'.
inline std::string Reply(const std::string& data) { return ESC + "P00" + data + "xx" + ESC + BS; }

// A status reply with the number n.
inline std::string Status(int n) { return ESC + "P00" + std::to_string(n) + "#ab" + ESC + BS; }

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
        ResetLink();
        auto p = std::make_unique<ScriptedPort>();
        port = p.get();
        UsePort(std::move(p));
        port->open = true;
        Link().pollLimit = 2000;  // a silent register costs little
        Link().errorMode = 0;
        ui = LabelUi();
        InstallUi(&ui);
        set = TableSet();
        set.ApplyModel(1, PluRule::Configured);
    }
    void TearDown() override {
        InstallUi(nullptr);
        ResetLink();
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

    ScriptedPort* port = nullptr;
    LabelUi ui;
    TableSet set;
};

}  // namespace seqtest
