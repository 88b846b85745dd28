// The register emulator under a full PLU download: 19 201 record reads and
// 19 200 uploads of the largest model, first straight through Feed(), then
// as request/reply round trips over the pseudo-terminal. Prints requests per
// second and the time a whole download would take.
//
//   bench_emulator [round trips over the terminal]   (default 2000)
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchSupport.h"
#include "PtyServer.h"

namespace {

constexpr int kPluCount = 19200;

std::string ReadRequest(int index) {
    std::string frame = RequestFrame("0;" + std::to_string(index) + ";7H");
    frame.resize(frame.size() + 2, '\0');
    return frame;
}

std::string UploadRequest(int index) {
    std::string record = "TOWAR " + std::to_string(index);
    record.resize(16, '\xFF');                                   // name
    record += std::string(7, '\xFF');                            // no bar code
    record += std::string("\x99\x09\x00\x00\x00", 5);            // price 9.99
    record += '\x0A';                                            // rate C, whole units
    record += std::string(8, '\0') + std::string("\x12\x00\x00", 3) + std::string(6, '\0');  // stock 12
    return RequestFrame("0;" + std::to_string(index) + "E" + record) + std::string(6, '\0');
}

}  // namespace

int main(int argc, char** argv) {
    const int roundTrips = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    Emulator emu;
    emu.SetModel(3);
    emu.state.errorMode = 2;
    std::size_t replyBytes = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kPluCount; ++i) replyBytes += emu.Feed(UploadRequest(i)).size();
    double upload = Seconds(start);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i <= kPluCount; ++i) replyBytes += emu.Feed(ReadRequest(i)).size();
    double download = Seconds(start);
    std::printf("Feed: %d uploads in %.1f ms (%.0f per second), %zu records kept\n", kPluCount, upload * 1000,
                kPluCount / upload, emu.state.records[7].size());
    std::printf("Feed: %d reads in %.1f ms (%.0f per second), %zu reply bytes in all\n", kPluCount + 1,
                download * 1000, (kPluCount + 1) / download, replyBytes);

    PtyServer server(emu);
    if (!server.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    int fd = open(server.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return 1;
    char buffer[1024];
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < roundTrips; ++i) {
        std::string request = ReadRequest(i % kPluCount);
        if (write(fd, request.data(), request.size()) < 0) return 1;
        // The data reply and the status reply: two closing backslashes.
        int ends = 0;
        while (ends < 2) {
            pollfd pfd{fd, POLLIN, 0};
            if (poll(&pfd, 1, 2000) <= 0) {
                std::fprintf(stderr, "no reply to request %d\n", i);
                return 1;
            }
            ssize_t n = read(fd, buffer, sizeof buffer);
            for (ssize_t k = 0; k < n; ++k) ends += buffer[k] == '\\';
        }
    }
    double pty = Seconds(start);
    close(fd);
    std::printf("Terminal: %d read round trips in %.1f ms (%.0f per second); a full PLU download would take %.1f s\n",
                roundTrips, pty * 1000, roundTrips / pty, (kPluCount + 1) * pty / roundTrips);
    return 0;
}
