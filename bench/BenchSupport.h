// Clocks and meters the benchmarks share: wall time, the calling thread's CPU
// time and the process's peak memory.
#pragma once

#if defined(__unix__)
#include <sys/resource.h>
#endif

#include <chrono>

// Seconds on the steady clock; only differences between two calls mean anything.
inline double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Seconds passed since `since`.
inline double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Milliseconds one call of f takes.
template <class F>
double Ms(F&& f) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

#if defined(__unix__)
// CPU time of the calling thread only: where an emulator serves from another
// thread of the same process, its work is left out.
inline double ThreadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The process's peak resident memory so far, in kilobytes.
inline long PeakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}
#endif
