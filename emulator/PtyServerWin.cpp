// The emulator behind a serial line on Windows, for the window tests under
// wine. Windows has no pseudo-terminals: the test script joins two COM ports
// into one line (wine maps each to one end of a linked pair of Unix
// terminals); the program under test opens the port named by
// ZELTRA_TEST_PORT, the emulator serves the one named by
// ZELTRA_TEST_REGISTER_PORT. Without both, Start() fails and the tests that
// need a register say so.
#ifdef _WIN32

#include "PtyServer.h"

#include "WindowsApi.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace {

constexpr int kPollMs = 20;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::wstring DevicePath(const std::string& name) {
    return L"\\\\.\\" + std::wstring(name.begin(), name.end());
}

// The register's end: raw bytes both ways, no flow control (a request may
// hold any byte, XOFF's included), reads that wait at most kPollMs.
HANDLE OpenRegisterEnd(const std::string& name) {
    HANDLE h = CreateFileW(DevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = kPollMs;
    t.WriteTotalTimeoutConstant = 2000;
    if (!SetCommState(h, &dcb) || !SetCommTimeouts(h, &t)) {
        CloseHandle(h);
        return nullptr;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return h;
}

}  // namespace

PtyServer::PtyServer(Emulator emulator) : emulator_(std::move(emulator)) {}

PtyServer::~PtyServer() { Stop(); }

bool PtyServer::Start() {
    if (Running()) return true;
    const std::string program = Env("ZELTRA_TEST_PORT"), reg = Env("ZELTRA_TEST_REGISTER_PORT");
    if (program.empty() || reg.empty()) return false;
    HANDLE h = OpenRegisterEnd(reg);
    if (!h) return false;
    handle_ = h;
    slavePath_ = program;
    stop_ = false;
    thread_ = std::thread(&PtyServer::Serve, this);
    return true;
}

void PtyServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

void PtyServer::Serve() {
    HANDLE h = static_cast<HANDLE>(handle_);
    char buffer[4096];
    while (!stop_) {
        DWORD n = 0;
        if (!ReadFile(h, buffer, sizeof buffer, &n, nullptr)) {
            Pause(kPollMs * 1000);
            continue;
        }
        if (n == 0) continue;
        std::vector<OutputChunk> plan;
        int lateMs = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::string reply = emulator_.Feed(std::string(buffer, n));
            plan = PlanOutput(reply, emulator_.switches);
            const EmulatorSwitches& s = emulator_.switches;
            if (emulator_.requests.size() >= static_cast<std::size_t>(std::max(s.lateFrom, 1))) lateMs = s.lateMs;
        }
        if (!plan.empty() && lateMs > 0) Pause(lateMs * 1000);
        Send(plan);
    }
}

void PtyServer::Send(const std::vector<OutputChunk>& plan) {
    HANDLE h = static_cast<HANDLE>(handle_);
    for (const OutputChunk& chunk : plan) {
        DWORD written = 0;
        if (stop_ || !WriteFile(h, chunk.bytes.data(), static_cast<DWORD>(chunk.bytes.size()), &written, nullptr))
            return;
        Pause(chunk.delayAfterUs);
    }
}

void PtyServer::Pause(int microseconds) {
    using namespace std::chrono;
    const auto until = steady_clock::now() + std::chrono::microseconds(microseconds);
    while (!stop_) {
        auto left = until - steady_clock::now();
        if (left <= steady_clock::duration::zero()) return;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(left, milliseconds(kPollMs)));
    }
}

#endif  // _WIN32
