// zeltra-kasa: the register's service commands from a terminal or a script.
#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "Polecenia.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#include <io.h>
#include <cstdio>
#else
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

std::atomic<bool> interrupted{false};

#ifdef _WIN32

// Ctrl+C and Ctrl+Break stop the transfer between records; a second press
// gets the system's default handling and ends the program at once.
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    return interrupted.exchange(true) ? FALSE : TRUE;
}

std::string Utf8(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(n - 1));
    return text;
}

// The arguments as the user typed them, whatever the system's code page:
// from the wide command line, as UTF-8.
std::vector<std::string> Arguments(int, char**) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; argv && i < argc; ++i) args.push_back(Utf8(argv[i]));
    if (argv) LocalFree(argv);
    return args;
}

void Prepare() {
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

// The console takes the escape sequences that move the cursor (Windows 10
// on); an older one cannot redraw the block of several registers' lines.
bool TerminalMovesCursor() {
    const HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(h, &mode)) return false;
    return SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

#else

void OnSignal(int) { interrupted.store(true); }

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void Prepare() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Once caught, the next signal has its default effect: a second Ctrl+C
    // ends a program that does not stop soon enough. System calls restart,
    // so a frame is never cut in the middle.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

int TerminalColumns() {
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

bool TerminalMovesCursor() { return true; }

#endif

}  // namespace

int main(int argc, char** argv) {
    Prepare();
    ToolEnvironment env;
    env.interrupt = &interrupted;
    env.stderrIsTerminal = StderrIsTerminal();
    if (env.stderrIsTerminal) {
        env.terminalColumns = TerminalColumns();
        env.terminalMovesCursor = TerminalMovesCursor();
    }
    const int status = RunTool(Arguments(argc, argv), std::cout, std::cerr, env);
    std::cout.flush();
    return status;
}
