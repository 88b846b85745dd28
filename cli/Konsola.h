// The command-line tool's face: the Ui the core talks to, shown on a console.
//
// Nothing is ever asked on the terminal: questions are answered by rule, and
// messages are collected so that the command can end with one line. Progress
// of long transfers goes to stderr on one line rewritten with '\r'.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "SerialPort.h"
#include "Ui.h"

// How much the register has said so far: every byte read off the line.
struct LineActivity {
    std::uint64_t bytesIn = 0;
};

// A port that counts the bytes it hands out, so the Ui can tell a register
// that fell silent from one that missed a single reply.
class CountingPort final : public SerialPort {
public:
    CountingPort(std::unique_ptr<SerialPort> inner, LineActivity& activity)
        : inner_(std::move(inner)), activity_(activity) {}

    bool Open(const std::string& name, int baud) override { return inner_->Open(name, baud); }
    bool IsOpen() const override { return inner_->IsOpen(); }
    void Close() override { inner_->Close(); }
    int Poll() override { return inner_->Poll(); }
    bool ReadByte(std::uint8_t& byte) override {
        const bool got = inner_->ReadByte(byte);
        if (got) ++activity_.bytesIn;
        return got;
    }
    bool Write(const std::uint8_t* data, std::size_t n, int timeoutMs) override {
        return inner_->Write(data, n, timeoutMs);
    }
    bool Drain(int timeoutMs) override { return inner_->Drain(timeoutMs); }
    void Purge() override { inner_->Purge(); }
    void SleepMs(int ms) override { inner_->SleepMs(ms); }
    bool Lost() const override { return inner_->Lost(); }

private:
    std::unique_ptr<SerialPort> inner_;
    LineActivity& activity_;
};

// The progress line: "label: done/all (p%), elapsed, time left". Times as
// m:ss (h:mm:ss from an hour on); no estimate before the first record.
std::string ProgressText(const std::string& label, int done, int all, double elapsedSeconds);
// The same for one line among several registers': "label done z all,
// zostało ok. m:ss".
std::string ShortProgressText(const std::string& label, int done, int all, double elapsedSeconds);

// Characters, not bytes, of a UTF-8 text: what a terminal's cursor moves by.
std::size_t DisplayWidth(const std::string& utf8);

// Polish plural of a count: 1 rekord, 2 rekordy, 5 rekordów, 22 rekordy.
std::string CountWithNoun(long long n, const char* one, const char* few, const char* many);

class ConsoleUi final : public Ui {
public:
    struct Options {
        bool progress = false;                          // draw the progress line
        const std::atomic<bool>* interrupt = nullptr;   // set by Ctrl+C
        const LineActivity* activity = nullptr;         // bytes from the register
        int silenceLimit = 3;                           // missing replies in a row that stop a transfer
        std::function<double()> clock;                  // seconds; none: the steady clock
        // Where the progress line goes instead of the stream, in its short
        // form ("" when it is taken away): one register of several, whose
        // line is drawn with the others'.
        std::function<void(const std::string&)> show;
    };

    ConsoleUi(std::ostream& err, Options options);

    void Message(const std::string& text, const std::string& caption, UiIcon icon) override;
    bool Question(const std::string& text, const std::string& caption, UiIcon icon) override;
    std::optional<std::string> Input(const std::string& prompt, const std::string& caption,
                                     const std::string& initial) override;

    void ProgressShow(UiBar bar, int maximum) override;
    void ProgressSetMaximum(UiBar bar, int maximum) override;
    void ProgressSetValue(UiBar bar, int value) override;
    void ProgressStep(UiBar bar, int by) override;
    void ProgressHide(UiBar bar) override;
    void ShowLabel(UiLabel label, bool visible) override {}
    void SetLabel(UiLabel label, const std::string& text) override;
    void ProcessEvents() override {}
    bool StopRequested() override;

    // The label of the work that follows, used while the core's own
    // all-tables label is empty.
    void SetTask(const std::string& label);
    // A line on stderr that is not the final one (a skipped step).
    void Note(const std::string& line);

    bool Interrupted() const;
    // Stopped after silenceLimit missing replies with nothing heard between.
    bool Silenced() const { return silenced_; }
    int MissingReplies() const { return missing_; }
    // Records (or single commands) left without a reply.
    int RecordsWithoutReply() const { return recordsWithoutReply_; }
    // Every other message the core showed, as one line each, in order.
    const std::vector<std::string>& Problems() const { return problems_; }
    // Forget the missing replies counted so far (the start-up's).
    void ResetMissing();

private:
    double Now() const;
    void Draw(bool force);
    void ClearLine();

    std::ostream& err_;
    Options options_;

    bool silenced_ = false;
    int missing_ = 0;
    int missingInRow_ = 0;
    int recordsWithoutReply_ = 0;
    std::uint64_t bytesAtLastMissing_ = 0;
    int valueAtLastMissing_ = -1;
    std::vector<std::string> problems_;

    std::string task_;
    std::string coreLabel_;
    bool barVisible_ = false;
    int maximum_ = 0;
    int value_ = 0;
    double started_ = 0;
    double lastDraw_ = -1;
    std::size_t drawnWidth_ = 0;  // characters of the line on screen
};
