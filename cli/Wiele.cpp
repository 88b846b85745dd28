#include "Wiele.h"

#include <algorithm>
#include <memory>
#include <sstream>
#include <thread>

#include "Cp1250.h"

namespace cli {

std::string FileNamePart(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    std::string part = text.substr(first, text.find_last_not_of(' ') - first + 1);
    for (char& c : part) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_';
        if (!safe) c = '_';
    }
    return part;
}

std::string RegisterFileName(const std::string& pattern, const std::string& serial) {
    std::string number = FileNamePart(serial);
    if (number.empty()) number = "bez-numeru";
    const std::size_t slash = pattern.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = pattern.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) dot = pattern.size();
    return pattern.substr(0, dot) + "-" + number + pattern.substr(dot);
}

std::string PortLogName(const std::string& port) {
    std::string name = port;
    for (const char* prefix : {"/dev/", "\\\\.\\"})
        if (name.rfind(prefix, 0) == 0) name = name.substr(std::string(prefix).size());
    return "LogFile-" + FileNamePart(name) + ".log";
}

int WorstStatus(const std::vector<int>& statuses) {
    int worst = kExitDone;
    for (int s : statuses) worst = std::max(worst, s);
    return worst;
}

// ---- the progress block -------------------------------------------------------------

namespace {

// The text cut to `width` characters (UTF-8).
std::string Fit(const std::string& text, std::size_t width) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars++ == width) return text.substr(0, i);
    }
    return text;
}

}  // namespace

ProgressBoard::ProgressBoard(std::ostream& err, std::size_t rows, bool draw, int columns)
    : err_(err), titles_(rows), progress_(rows), draw_(draw && rows > 0),
      width_(static_cast<std::size_t>(columns > 1 ? columns - 1 : 79)) {}

ProgressBoard::~ProgressBoard() { Clear(); }

void ProgressBoard::SetTitle(std::size_t row, const std::string& title) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row >= titles_.size()) return;
    titles_[row] = title;
    Draw();
}

void ProgressBoard::SetProgress(std::size_t row, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row >= progress_.size()) return;
    progress_[row] = text;
    Draw();
}

void ProgressBoard::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!drawn_) return;
    // Up to the block's first line, and everything from there on erased.
    err_ << "\x1b[" << titles_.size() << "A\r\x1b[J";
    err_.flush();
    drawn_ = false;
}

void ProgressBoard::Draw() {
    if (!draw_) return;
    if (drawn_) err_ << "\x1b[" << titles_.size() << 'A';
    for (std::size_t r = 0; r < titles_.size(); ++r) {
        const std::string line = progress_[r].empty() ? titles_[r] : titles_[r] + " " + progress_[r];
        err_ << '\r' << Fit(line, width_) << "\x1b[K\n";
    }
    err_.flush();
    drawn_ = true;
}

// ---- the run ------------------------------------------------------------------------

namespace {

struct PortRun {
    std::ostringstream out, err;
    int status = kExitDone;
    std::string who;   // "COM3 (nr 123456)", or the port alone
    std::string done;  // the work's line of what was done
};

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The line a register's run ends with: its failure, or what was done.
std::string ResultLine(const PortRun& r) {
    if (r.status != kExitDone) {
        const auto lines = LinesOf(r.err.str());
        return lines.empty() ? std::string() : lines.back();
    }
    // What the command said itself (clock's time, the changes sent) before
    // the work's own line.
    const auto lines = LinesOf(r.out.str());
    return lines.empty() ? r.done : lines.front();
}

void Serve(PortRun& r, std::size_t row, const std::string& port, const ToolEnvironment& env, const Options& o,
           ProgressBoard& board, const PortWork& work) {
    SessionPlace place;
    place.port = port;
    // Every connection writes a log of its own; relative to the working
    // folder, as the one LogFile.log of a single register.
    place.logFile = InWorkDir(env, PortLogName(port));
    // Never drawn on the session's own stream: that holds its result lines.
    place.showProgress = [&board, row](const std::string& text) { board.SetProgress(row, text); };
    Session s(env, o, r.err, place);
    r.who = port;
    r.status = s.Connect();
    if (s.id.onLine) {
        const std::string serial = Cp1250ToUtf8(s.id.serial);
        r.who = port + " (nr " + serial + ")";
        board.SetTitle(row, port + " [" + Cp1250ToUtf8(s.id.shownModel) + " " + serial + "]");
    }
    if (r.status == kExitDone) r.status = work(s, r.out, r.done);
    board.SetProgress(row, ResultLine(r));
}

}  // namespace

int RunOnPorts(const std::vector<std::string>& ports, const ToolEnvironment& env, const Options& o,
               std::ostream& out, std::ostream& err, bool blocks, const PortWork& work) {
    const bool draw = (env.stderrIsTerminal && env.terminalMovesCursor) || o.progress;
    std::vector<std::unique_ptr<PortRun>> runs;
    for (std::size_t i = 0; i < ports.size(); ++i) runs.push_back(std::make_unique<PortRun>());
    {
        ProgressBoard board(err, ports.size(), draw, env.terminalColumns);
        for (std::size_t i = 0; i < ports.size(); ++i) board.SetTitle(i, ports[i]);
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < ports.size(); ++i)
            threads.emplace_back(Serve, std::ref(*runs[i]), i, std::cref(ports[i]), std::cref(env), std::cref(o),
                                 std::ref(board), std::cref(work));
        for (std::thread& t : threads) t.join();
    }

    std::vector<int> statuses;
    bool firstBlock = true;
    for (const auto& r : runs) {
        statuses.push_back(r->status);
        for (const std::string& line : LinesOf(r->err.str())) err << r->who << ": " << line << '\n';
        err.flush();
        if (r->status != kExitDone) continue;
        if (blocks) {
            if (!firstBlock) out << '\n';
            firstBlock = false;
            out << r->who << ":\n" << r->out.str();
        } else {
            out << r->who << ": " << ResultLine(*r) << '\n';
        }
        out.flush();
    }
    return WorstStatus(statuses);
}

}  // namespace cli
