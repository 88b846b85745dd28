// The program's version from its version record.
#include "Wersja.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace {
constexpr VersionNumbers kNoRecord{0, 0, 0, 1};
}

VersionNumbers VersionFromWords(std::uint32_t mostSignificant, std::uint32_t leastSignificant) {
    return {static_cast<int>(mostSignificant >> 16), static_cast<int>(mostSignificant & 0xFFFF),
            static_cast<int>(leastSignificant >> 16), static_cast<int>(leastSignificant & 0xFFFF)};
}

#ifdef _WIN32

std::optional<VersionNumbers> ProgramVersionRecord() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::nullopt;
        if (n < path.size()) break;
        path.resize(path.size() * 2);  // the path was cut: try a larger buffer
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.data(), &handle);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path.data(), 0, size, block.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    return VersionFromWords(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
}

#else

std::optional<VersionNumbers> ProgramVersionRecord() {
#if defined(ZELTRA_VERSION_MAJOR) && defined(ZELTRA_VERSION_MINOR) && \
    defined(ZELTRA_VERSION_RELEASE) && defined(ZELTRA_VERSION_BUILD)
    return VersionNumbers{ZELTRA_VERSION_MAJOR, ZELTRA_VERSION_MINOR, ZELTRA_VERSION_RELEASE,
                          ZELTRA_VERSION_BUILD};
#else
    return std::nullopt;
#endif
}

#endif

VersionNumbers VersionInfo(const std::optional<VersionNumbers>& record) {
    return record.value_or(kNoRecord);
}

VersionNumbers VersionInfo() { return VersionInfo(ProgramVersionRecord()); }

std::string VersionText(const VersionNumbers& v) {
    return " - wersja programu: " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.release) + "." + std::to_string(v.build);
}

std::string ProgramVersionText() { return VersionText(VersionInfo()); }
