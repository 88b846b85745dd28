// A FIFO for tests of code that must never wait on one (POSIX only). Should
// the code under test open it for reading and block, the guard opens it for
// writing after a few seconds and closes it again, so the reader gets the end
// of the file and the test ends (failing on Rescued()) instead of hanging.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class FifoGuard {
public:
    // Makes the FIFO at `path`; Made() says whether that worked.
    explicit FifoGuard(std::string path, std::chrono::seconds patience = std::chrono::seconds(5))
        : path_(std::move(path)), made_(mkfifo(path_.c_str(), 0600) == 0) {
        if (made_) watcher_ = std::thread([this, patience] { Watch(patience); });
    }
    ~FifoGuard() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        if (watcher_.joinable()) watcher_.join();
    }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    bool Made() const { return made_; }
    // True when a reader was found waiting on the FIFO and had to be let go.
    bool Rescued() const { return rescued_; }

private:
    void Watch(std::chrono::seconds patience) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, patience, [this] { return done_; })) return;
        // Only a reader that has the FIFO open lets a non-blocking writer in.
        while (!done_) {
            lock.unlock();
            const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                rescued_ = true;
                ::close(fd);
            }
            lock.lock();
            wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; });
        }
    }

    std::string path_;
    bool made_;
    std::atomic<bool> rescued_{false};
    bool done_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread watcher_;
};
