// The commands of zeltra-kasa: the arguments parsed, the register reached the
// way the window's start-up reaches it, the work done through the core, and
// one exit status for scripts.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

// Exit statuses, as the help lists them.
enum ExitStatus : int {
    kExitDone = 0,
    kExitRegister = 1,     // no reply, or the register refused (its message)
    kExitUsage = 2,        // wrong command, table, number or option
    kExitPort = 3,         // the port cannot be opened
    kExitFile = 4,         // a file cannot be read or written
    kExitModel = 5,        // the data file is for another model (without --force)
    kExitInterrupted = 130,
};

struct ToolEnvironment {
    // config.cfg is read here, and relative file names are taken from here;
    // empty: the current folder.
    std::string workDir;
    // Set by Ctrl+C; the running transfer stops between two records.
    const std::atomic<bool>* interrupt = nullptr;
    // Progress is drawn on a terminal (or with --postep).
    bool stderrIsTerminal = false;
    // The terminal's width in characters (0: unknown, 80 is taken), and
    // whether it moves its cursor up on the escape sequence for it: the
    // progress lines of several registers are one block redrawn in place.
    int terminalColumns = 0;
    bool terminalMovesCursor = true;
};

// Runs one command line (without the program's name). Data go to `out`,
// progress and the one line that explains a failure to `err`.
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const ToolEnvironment& env = {});

// The help text (UTF-8, ends with a line break).
std::string HelpText();
