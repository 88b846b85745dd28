// The emulator on a pseudo-terminal: the program opens SlavePath() as its
// serial port, and a background thread answers whatever it writes. On
// Windows (the window tests under wine) the same on one end of a pair of
// joined COM ports (PtyServerWin.cpp).
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Emulator.h"

class PtyServer {
public:
    explicit PtyServer(Emulator emulator = Emulator());
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal and starts serving; false when it cannot.
    bool Start();
    // Stops the thread and closes the terminal; safe to call twice.
    void Stop();
    bool Running() const { return thread_.joinable(); }
    const std::string& SlavePath() const { return slavePath_; }

    // Runs f on the emulator while the serving thread keeps off it.
    template <class F>
    decltype(auto) WithEmulator(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(emulator_);
    }

private:
    void Serve();
    void Send(const std::vector<OutputChunk>& plan);
    void Pause(int microseconds);

    Emulator emulator_;
    std::mutex mutex_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int master_ = -1;
    int slave_ = -1;
    void* handle_ = nullptr;  // Windows: the register's end of the COM port pair
    std::string slavePath_;
};
