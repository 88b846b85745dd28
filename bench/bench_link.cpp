// The link against the emulator on a pseudo-terminal, through the real serial
// code: identification round trips per second, and the CPU time the program's
// thread uses while it waits out one time-out (Timeout=2) on a silent register.

#include <cstdio>
#include <memory>

#include "BenchSupport.h"
#include "Identyfikacja.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "NativeSerialPort.h"
#include "RecordingUi.h"

int main() {
    Connection link;
    RecordingUi ui;
    InstallUi(&ui);

    PtyServer server;
    if (!server.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    server.WithEmulator([](Emulator& e) { e.SetModel(3); });
    link.UsePort(std::make_unique<NativeSerialPort>());
    link.Settings().pollLimit = 200000;  // Timeout=2
    if (!link.OpenPort(server.SlavePath())) {
        std::fprintf(stderr, "cannot open %s\n", server.SlavePath().c_str());
        return 1;
    }

    // Round trips: "0^" out, the identification reply in and parsed.
    const int rounds = 3000;
    int good = 0;
    double start = Now();
    double cpuStart = ThreadCpuSeconds();
    for (int i = 0; i < rounds; ++i) good += Identify(link, 1).model == 3;
    double seconds = Now() - start;
    double cpu = ThreadCpuSeconds() - cpuStart;
    std::printf("identification round trips: %d in %.3f s = %.0f per second (target >= 2000), "
                "%d parsed right, CPU %.3f s\n",
                rounds, seconds, rounds / seconds, good, cpu);

    // One time-out of Timeout=2 against a silent register.
    server.WithEmulator([](Emulator& e) { e.switches.silent = true; });
    start = Now();
    cpuStart = ThreadCpuSeconds();
    bool answered = link.ReadReply();
    seconds = Now() - start;
    cpu = ThreadCpuSeconds() - cpuStart;
    std::printf("time-out wait (Timeout=2, 200000 polls): %.3f s wall, %.3f s CPU (target < 0.1 s)%s\n",
                seconds, cpu, answered ? " - unexpected answer" : "");

    link.ClosePort();
    server.Stop();
    return 0;
}
