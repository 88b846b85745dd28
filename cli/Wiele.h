// The same command on several registers at once (--port COM3,COM4,COM5): one
// thread and one session per port, each with its own connection, console Ui
// and table set, so a register that falls silent or goes away stops only its
// own run. The progress lines are drawn as one block, and the results come
// at the end, one per register, in the order the ports were given.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "Opcje.h"
#include "Sesja.h"

namespace cli {

// A text made safe as part of a file name on every system: ASCII letters,
// digits, '-' and '_' stay, anything else becomes '_'; spaces around are
// dropped.
std::string FileNamePart(const std::string& text);
// read on several ports: "sklep.pod" of the register numbered 123456 is
// "sklep-123456.pod" (the number made safe; "bez-numeru" for none). The
// folder stays; the number goes before the file name's extension.
std::string RegisterFileName(const std::string& pattern, const std::string& serial);
// The transmission log of one port of several: "LogFile-COM3.log",
// "LogFile-ttyUSB0.log" (a POSIX device without its "/dev/").
std::string PortLogName(const std::string& port);
// The status of a run on several registers: the most serious of theirs,
// which is the highest (130 > 5 > 4 > 3 > 2 > 1 > 0).
int WorstStatus(const std::vector<int>& statuses);

// The block of progress lines, one per register, rewritten in place with the
// terminal's cursor movements. Called from the registers' threads.
class ProgressBoard {
public:
    // Draws nothing unless `draw`; lines are cut to columns - 1 characters so
    // that none wraps (0 columns: 80).
    ProgressBoard(std::ostream& err, std::size_t rows, bool draw, int columns);
    ~ProgressBoard();
    ProgressBoard(const ProgressBoard&) = delete;
    ProgressBoard& operator=(const ProgressBoard&) = delete;

    // The row's register ("COM3 [ZELTRA ARK MIRRA 123456]") and what it does now.
    void SetTitle(std::size_t row, const std::string& title);
    void SetProgress(std::size_t row, const std::string& text);
    // Takes the block off the screen.
    void Clear();

private:
    void Draw();

    std::ostream& err_;
    std::mutex mutex_;
    std::vector<std::string> titles_, progress_;
    bool draw_;
    std::size_t width_;
    bool drawn_ = false;
};

// One register's work once its session has started up: writes its result to
// `out` (info's block, clock's line, the changes-only send's line); `done` is
// the line that says what was done when `out` stays empty. Failures go to the session's
// err as on one port. Returns the exit status.
using PortWork = std::function<int(Session& s, std::ostream& out, std::string& done)>;

// Runs `work` on every port at once and waits for all. At the end, in port
// order: each register's notes and failure line on err as "COM3 (nr 123456):
// line" (the number once the register identified itself), its result on out
// the same way, or with `blocks` as a heading line and the block under it.
// Returns the worst status.
int RunOnPorts(const std::vector<std::string>& ports, const ToolEnvironment& env, const Options& o,
               std::ostream& out, std::ostream& err, bool blocks, const PortWork& work);

}  // namespace cli
