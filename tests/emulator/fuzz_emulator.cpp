// Any bytes the program might write: the emulator must not crash, must keep
// its input buffer bounded, and every backslash it sends must close a frame.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Emulator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    Emulator emu;
    emu.state.errorMode = data[0] & 3;
    emu.state.fiscal = data[0] & 4;
    if (data[0] & 8) emu.LoadDemoData();
    emu.switches.dropEvery = (data[0] >> 4) & 3;
    std::size_t at = 1;
    while (at < size) {
        // Each write is as long as its first byte says.
        std::size_t n = std::min<std::size_t>(size - at, 1 + data[at] % 64);
        std::string out = emu.Feed(data + at, n);
        at += n;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (out[i] == '\\' && (i == 0 || out[i - 1] != '\x1b')) std::abort();
        }
        if (emu.Pending() > Emulator::kMaxRequest + 1) std::abort();
    }
    return 0;
}
