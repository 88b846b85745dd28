#include "Porty.h"

#include <algorithm>
#include <cstddef>

#ifdef _WIN32
#include "WindowsApi.h"
#include <setupapi.h>
#else
#include <filesystem>
#include <fstream>
#include <system_error>
#endif

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SortAndDropDuplicates(std::vector<SerialPortInfo>& ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        return NaturalLess(a.name, b.name);
    });
    // The first of a name wins; callers list the better-described source first.
    std::vector<SerialPortInfo> unique;
    for (auto& p : ports) {
        const bool seen = std::any_of(unique.begin(), unique.end(), [&](const SerialPortInfo& u) {
            return !NaturalLess(u.name, p.name) && !NaturalLess(p.name, u.name);
        });
        if (!seen) unique.push_back(std::move(p));
    }
    ports = std::move(unique);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && IsDigit(a[ie])) ++ie;
            while (je < b.size() && IsDigit(b[je])) ++je;
            while (i + 1 < ie && a[i] == '0') ++i;  // leading zeros do not count
            while (j + 1 < je && b[j] == '0') ++j;
            if (ie - i != je - j) return ie - i < je - j;
            const int c = a.compare(i, ie - i, b, j, je - j);
            if (c != 0) return c < 0;
            i = ie;
            j = je;
            continue;
        }
        // Letters without regard to case, so "com3" sorts with "COM2".
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        const unsigned char x = static_cast<unsigned char>(lower(a[i]));
        const unsigned char y = static_cast<unsigned char>(lower(b[j]));
        if (x != y) return x < y;
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

#ifdef _WIN32

namespace {

std::string Utf8(const wchar_t* w, std::size_t n) {
    if (n == 0) return {};
    const int len = static_cast<int>(n);
    const int size = WideCharToMultiByte(CP_UTF8, 0, w, len, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, len, out.data(), size, nullptr, nullptr);
    return out;
}

// A registry or device text up to its first zero (stored texts need not end in one).
std::string Utf8Text(const wchar_t* w, std::size_t maxChars) {
    std::size_t n = 0;
    while (n < maxChars && w[n] != L'\0') ++n;
    return Utf8(w, n);
}

bool IsComName(const std::string& name) {
    return name.size() > 3 && (name[0] | 0x20) == 'c' && (name[1] | 0x20) == 'o' &&
           (name[2] | 0x20) == 'm' && IsDigit(name[3]);
}

// The Ports class: {4d36e978-e325-11ce-bfc1-08002be10318}.
const GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

void AddClassPorts(std::vector<SerialPortInfo>& ports) {
    HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t name[256] = {};
        DWORD type = 0, size = static_cast<DWORD>(sizeof name - sizeof(wchar_t));
        const LSTATUS read = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                              reinterpret_cast<BYTE*>(name), &size);
        RegCloseKey(key);
        if (read != ERROR_SUCCESS || type != REG_SZ) continue;
        SerialPortInfo port;
        port.name = Utf8Text(name, size / sizeof(wchar_t));
        if (!IsComName(port.name)) continue;  // the class also holds printer ports

        // "USB Serial Port (COM3)" and the like; the plain device name if there is none.
        wchar_t text[512] = {};
        const DWORD room = static_cast<DWORD>(sizeof text - sizeof(wchar_t));
        BYTE* buffer = reinterpret_cast<BYTE*>(text);
        if (SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr, buffer, room,
                                              nullptr) ||
            SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_DEVICEDESC, nullptr, buffer, room,
                                              nullptr))
            port.description = Utf8Text(text, sizeof text / sizeof(wchar_t) - 1);
        ports.push_back(std::move(port));
    }
    SetupDiDestroyDeviceInfoList(set);
}

// The system's serial port map (also where wine puts the ports it maps).
void AddMappedPorts(std::vector<SerialPortInfo>& ports) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        wchar_t data[256] = {};
        DWORD nameLen = 256, type = 0, size = static_cast<DWORD>(sizeof data - sizeof(wchar_t));
        const LSTATUS r = RegEnumValueW(key, i, valueName, &nameLen, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &size);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        SerialPortInfo port;
        port.name = Utf8Text(data, size / sizeof(wchar_t));
        if (IsComName(port.name)) ports.push_back(std::move(port));
    }
    RegCloseKey(key);
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
    std::vector<SerialPortInfo> ports;
    AddClassPorts(ports);
    AddMappedPorts(ports);
    SortAndDropDuplicates(ports);
    return ports;
}

#else  // POSIX

namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The name of the driver bound to a sysfs device, or empty.
std::string DriverOf(const fs::path& device) {
    std::error_code ec;
    const fs::path driver = fs::read_symlink(device / "driver", ec);
    return ec ? std::string() : driver.filename().string();
}

// The kernel makes ttyS0 ... ttyS31 whether or not a UART is there; those
// without one report type 0 or hang off the placeholder serial8250 device.
bool HasUart(const fs::path& tty) {
    const std::string type = FirstLine(tty / "type");
    if (!type.empty()) return type != "0";
    std::error_code ec;
    if (!fs::exists(tty / "device", ec)) return false;
    return DriverOf(tty / "device") != "serial8250";
}

// The USB device's own manufacturer and product names, found by walking up
// from the port; else the name of the first driver above the kernel's own
// serial layers (serial-base), such as "serial" or "ftdi_sio".
std::string Describe(const fs::path& tty) {
    std::error_code ec;
    const fs::path device = fs::canonical(tty / "device", ec);
    if (ec) return {};
    std::string driver;
    for (fs::path p = device; p.has_relative_path() && p != p.parent_path(); p = p.parent_path()) {
        if (fs::exists(p / "idVendor", ec)) {
            const std::string maker = FirstLine(p / "manufacturer");
            const std::string product = FirstLine(p / "product");
            if (!maker.empty() && !product.empty() && !StartsWith(product, maker.c_str()))
                return maker + " " + product;
            if (!product.empty()) return product;
            if (!maker.empty()) return maker;
            break;
        }
        if (driver.empty() && fs::canonical(p / "subsystem", ec).filename() != "serial-base")
            driver = DriverOf(p);
    }
    return driver;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
    std::vector<SerialPortInfo> ports;
    std::error_code ec;
    for (fs::directory_iterator it("/sys/class/tty", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool usb = StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM");
        const bool bluetooth = StartsWith(name, "rfcomm");
        if (!usb && !bluetooth && !(StartsWith(name, "ttyS") && HasUart(it->path()))) continue;
        std::error_code missing;
        if (!fs::exists("/dev/" + name, missing)) continue;
        SerialPortInfo port;
        port.name = "/dev/" + name;
        port.description = bluetooth ? std::string("Bluetooth") : Describe(it->path());
        ports.push_back(std::move(port));
    }
    SortAndDropDuplicates(ports);
    return ports;
}

#endif
