// zeltra-kasa's transfers through its command function, the real serial code
// and the emulator on a pseudo-terminal: a full model-3 set read into a .pod
// and sent to a fresh register (wall time), then a shorter read and send with
// the emulator pacing its output at 9600 baud, for the tool's share of one
// core. The progress line is drawn (into a discarded stream) as on a terminal.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "ConfigText.h"
#include "Emulator.h"
#include "Polecenia.h"
#include "PtyServer.h"
#include "TempFiles.h"

namespace {

// A PLU record as the register keeps it: name, no bar code, price, rate
// byte, stock.
std::string PluRecord(int n) {
    std::string name = "TOWAR " + std::to_string(n);
    name.resize(16, '\xFF');
    std::string record = name + std::string(7, '\xFF') + PackedDigits(100 + n % 9000, 5);
    record += static_cast<char>(n % 7 + (n % 2 ? 8 : 0));
    record += std::string(8, '\0') + PackedDigits(n % 1000, 3) + std::string(6, '\0');
    return record;
}

void FullShop(Emulator& e) {
    e.SetModel(3);
    e.LoadDemoData();
    for (int i = 0; i < e.state.pluCapacity; ++i) e.state.records[7][i] = PluRecord(i + 1);
}

struct Run {
    int status;
    double seconds;
    double cpu;
    std::string err;
};

Run Tool(const std::vector<std::string>& args, const ToolEnvironment& env) {
    std::ostringstream out, err;
    const double start = Now();
    const double cpuStart = ThreadCpuSeconds();
    const int status = RunTool(args, out, err, env);
    return {status, Now() - start, ThreadCpuSeconds() - cpuStart, err.str()};
}

// The last line the progress left (or the failure's line), for the record.
std::string LastLine(const std::string& err) {
    const std::size_t r = err.find_last_of("\r\n", err.find_last_not_of("\r\n "));
    std::string line = err.substr(r == std::string::npos ? 0 : r + 1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return line;
}

void WaitForRequest(PtyServer& s, const std::string& prefix) {
    for (int i = 0; i < 1000; ++i) {
        const bool seen = s.WithEmulator([&](Emulator& e) {
            return !e.requests.empty() && e.requests.back().rfind(prefix, 0) == 0;
        });
        if (seen) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

int main() {
    const std::filesystem::path dir = testfiles::MakeTempDir("bench-cli-");
    if (dir.empty()) return 1;
    ToolEnvironment env;
    env.workDir = dir.string();
    env.stderrIsTerminal = true;  // draw the progress line, as a technician sees it
    auto config = [&](const PtyServer& s, int mode, const char* maxPlu) {
        testfiles::Spit(dir / "config.cfg", ConfigText(s.SlavePath(), "2", "9600", std::to_string(mode), maxPlu, "0"));
    };

    // A full model-3 register, answering at once.
    PtyServer full;
    full.WithEmulator(FullShop);
    PtyServer fresh;
    fresh.WithEmulator([](Emulator& e) { e.SetModel(3); });
    if (!full.Start() || !fresh.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    config(full, 1, "0");
    const Run read = Tool({"read", "shop.pod"}, env);
    std::printf("read all, model 3 (19 201 PLU exchanges and the other tables), mode 1: %.2f s wall "
                "(target <= 10 s), CPU %.2f s, status %d; %s\n",
                read.seconds, read.cpu, read.status, LastLine(read.err).c_str());

    config(fresh, 1, "0");
    const Run send = Tool({"send", "shop.pod"}, env);
    WaitForRequest(fresh, "0Z");
    const int stored = fresh.WithEmulator([](Emulator& e) { return static_cast<int>(e.state.records[7].size()); });
    std::printf("send all, model 3 (19 200 PLU frames, the other tables, header and rates), mode 1: %.2f s wall "
                "(target <= 5 s), CPU %.2f s, status %d, %d PLU stored by the register\n",
                send.seconds, send.cpu, send.status, stored);

    config(fresh, 2, "0");
    const Run send2 = Tool({"send", "shop.pod"}, env);
    std::printf("send all, model 3, mode 2 (a status reply per frame): %.2f s wall, CPU %.2f s, status %d\n",
                send2.seconds, send2.cpu, send2.status);
    full.Stop();
    fresh.Stop();

    // At 9600 baud, as a real line: a hundred PLU read, then sent with a
    // status reply per record. The start-up (a second's purge) is part of it.
    PtyServer paced;
    paced.WithEmulator([](Emulator& e) {
        FullShop(e);
        e.switches.baud = 9600;
    });
    if (!paced.Start()) return 1;
    config(paced, 1, "100");
    const Run slowRead = Tool({"read", "plu", "plu.pod"}, env);
    std::printf("read 101 PLU at 9600 baud, mode 1: %.2f s wall, CPU %.3f s = %.1f %% of one core (target <= 5 %%), "
                "status %d\n",
                slowRead.seconds, slowRead.cpu, 100 * slowRead.cpu / slowRead.seconds, slowRead.status);
    config(paced, 2, "100");
    const Run slowSend = Tool({"send", "plu.pod", "plu"}, env);
    std::printf("send 100 PLU at 9600 baud, mode 2: %.2f s wall, CPU %.3f s = %.1f %% of one core (target <= 5 %%), "
                "status %d\n",
                slowSend.seconds, slowSend.cpu, 100 * slowSend.cpu / slowSend.seconds, slowSend.status);
    std::printf("peak memory %ld kB\n", PeakKb());

    paced.Stop();
    std::filesystem::remove_all(dir);
    return 0;
}
