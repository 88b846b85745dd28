// A Ui for tests: keeps every text shown and answers questions from a script.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "Ui.h"

class RecordingUi : public Ui {
public:
    struct Shown {
        std::string kind;  // "message", "question", "input"
        std::string text;
        std::string caption;
        UiIcon icon;
    };
    struct Bar {
        bool visible = false;
        int maximum = 0;
        int value = 0;
        int shows = 0;
        int steps = 0;
    };

    std::vector<Shown> shown;
    std::deque<bool> answers;        // Question answers in order; "No" when empty
    std::deque<std::string> inputs;  // Input answers; cancelled when empty
    std::map<UiBar, Bar> bars;
    std::map<UiLabel, std::string> labels;
    std::map<UiLabel, bool> labelVisible;
    int processEvents = 0;
    std::vector<int> pluCursor;  // every PluCursor() row, in order

    void Message(const std::string& text, const std::string& caption, UiIcon icon) override {
        shown.push_back({"message", text, caption, icon});
    }
    bool Question(const std::string& text, const std::string& caption, UiIcon icon) override {
        shown.push_back({"question", text, caption, icon});
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> Input(const std::string& prompt, const std::string& caption,
                                     const std::string&) override {
        shown.push_back({"input", prompt, caption, UiIcon::None});
        if (inputs.empty()) return std::nullopt;
        std::string s = inputs.front();
        inputs.pop_front();
        return s;
    }
    void ProgressShow(UiBar b, int maximum) override {
        Bar& bar = bars[b];
        bar.visible = true;
        bar.maximum = maximum;
        bar.value = 0;
        ++bar.shows;
    }
    void ProgressSetMaximum(UiBar b, int maximum) override { bars[b].maximum = maximum; }
    void ProgressSetValue(UiBar b, int value) override { bars[b].value = value; }
    void ProgressStep(UiBar b, int by) override {
        Bar& bar = bars[b];
        ++bar.steps;
        bar.value += by;
        if (bar.value > bar.maximum) bar.value = bar.maximum;
    }
    void ProgressHide(UiBar b) override { bars[b].visible = false; }
    void ShowLabel(UiLabel l, bool visible) override { labelVisible[l] = visible; }
    void SetLabel(UiLabel l, const std::string& text) override { labels[l] = text; }
    void ProcessEvents() override { ++processEvents; }
    void PluCursor(int row) override { pluCursor.push_back(row); }

    // Texts of the message boxes, in order.
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& s : shown)
            if (s.kind == "message") out.push_back(s.text);
        return out;
    }
    int Count(const std::string& text) const {
        int n = 0;
        for (const auto& s : shown) n += s.text == text;
        return n;
    }
    void Clear() { shown.clear(); }
};
