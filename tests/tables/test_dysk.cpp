// Whole-file reads and replacements, on POSIX and on Windows (run under wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "WindowsApi.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "Dysk.h"
#include "Profile.h"

namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& p) {
    const auto s = p.u8string();
    return std::string(s.begin(), s.end());
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// The names in a folder, sorted.
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(Utf8(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder under the system's temporary folder, removed at the end.
struct TempDir {
    fs::path path;
    TempDir() {
        const auto seed = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int i = 0; path.empty() && i < 1000; ++i) {
            fs::path p = fs::temp_directory_path() / ("dysk" + std::to_string(seed % 1000000007 + i));
            if (fs::create_directory(p)) path = p;
        }
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// Bytes that a text conversion, a lost zero or a short read would change.
constexpr char kHead[] = "[KASA]\r\nTyp_kasy=1\r\n\0\x1b\xff\x80\xa5\xb9\n\r";
const std::string kData = std::string(kHead, sizeof kHead - 1) + std::string(70000, 'x') + "koniec";

}  // namespace

TEST(Dysk, ReadWholeFile) {
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    const fs::path& d = dir.path;
    Spit(d / "dane.pod", kData);
    Spit(d / "pusty.pod", "");
    Spit(d / "dziesiec.pod", "0123456789");
    fs::create_directory(d / "folder");
#ifdef _WIN32
    const std::string device = "NUL";
#else
    const std::string device = "/dev/null";
#endif

    struct Case {
        const char* name;
        std::string path;
        std::size_t maxSize;
        FileRead result;
        std::string content;
    };
    const Case cases[] = {
        {"regular file, byte for byte", Utf8(d / "dane.pod"), kMaxProfileSize, FileRead::Ok, kData},
        {"empty file", Utf8(d / "pusty.pod"), 100, FileRead::Ok, ""},
        {"exactly the limit", Utf8(d / "dziesiec.pod"), 10, FileRead::Ok, "0123456789"},
        {"one byte over the limit", Utf8(d / "dziesiec.pod"), 9, FileRead::Unreadable, ""},
        {"limit of nothing", Utf8(d / "dziesiec.pod"), 0, FileRead::Unreadable, ""},
        {"missing file", Utf8(d / "brak.pod"), 100, FileRead::Missing, ""},
        {"missing folder", Utf8(d / "brak" / "dane.pod"), 100, FileRead::Missing, ""},
        {"empty path", "", 100, FileRead::Missing, ""},
        {"folder", Utf8(d / "folder"), 100, FileRead::Unreadable, ""},
        {"device", device, 100, FileRead::Unreadable, ""},
    };
    for (const Case& c : cases) {
        std::string out = "left over";
        EXPECT_EQ(ReadWholeFile(c.path, c.maxSize, out), c.result) << c.name;
        EXPECT_TRUE(out == c.content) << c.name << ": " << out.size() << " bytes";
    }
}

#ifndef _WIN32
// A FIFO is refused at once, with or without a writer; a reader that waited
// for one would hang the program.
TEST(Dysk, ReadWholeFileDoesNotWaitOnAFifo) {
    TempDir dir;
    const fs::path fifo = dir.path / "kolejka";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    // Frees a reader stuck in open() so that a fault fails the test instead
    // of hanging it.
    std::thread rescue([&] {
        std::unique_lock<std::mutex> lock(m);
        if (cv.wait_for(lock, std::chrono::seconds(3), [&] { return done; })) return;
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    std::string out;
    const FileRead result = ReadWholeFile(fifo.string(), 100, out);
    const auto took = std::chrono::steady_clock::now() - start;
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_one();
    rescue.join();
    EXPECT_EQ(result, FileRead::Unreadable);
    EXPECT_LT(took, std::chrono::seconds(2));
}
#endif

TEST(Dysk, ReplaceWholeFile) {
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    const fs::path& d = dir.path;
    // Every file a case puts in place holds this.
    const std::string old = "[KASA]\r\nTyp_kasy=3\r\n" + std::string(100000, 'o');
#ifdef _WIN32
    HANDLE held = INVALID_HANDLE_VALUE;  // another program's handle on the target
#endif

    struct Case {
        const char* name;
        std::function<fs::path()> setUp;  // the target, with whatever lies around it
        bool ok;
    };
    const Case cases[] = {
        {"new file", [&] { return d / "nowy.pod"; }, true},
        {"replaces a longer file exactly",
         [&] {
             Spit(d / "stary.pod", old);
             return d / "stary.pod";
         },
         true},
        {"a temporary name already taken",
         [&] {
             Spit(d / "zajety.pod", old);
             Spit(d / "zajety.pod.tmp", "cudzy");
             return d / "zajety.pod";
         },
         true},
        {"missing folder", [&] { return d / "brak" / "dane.pod"; }, false},
        {"folder as target",
         [&] {
             fs::create_directory(d / "folder");
             return d / "folder";
         },
         false},
#ifdef _WIN32
        {"read-only file",
         [&] {
             Spit(d / "tylko.pod", old);
             fs::permissions(d / "tylko.pod", fs::perms::owner_write | fs::perms::group_write |
                                                  fs::perms::others_write,
                             fs::perm_options::remove);
             return d / "tylko.pod";
         },
         false},
        {"file held open by another program",
         [&] {
             Spit(d / "otwarty.pod", old);
             held = CreateFileW((d / "otwarty.pod").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
             return d / "otwarty.pod";
         },
         false},
#else
        {"FIFO as target",
         [&] {
             mkfifo((d / "kolejka").c_str(), 0600);
             return d / "kolejka";
         },
         false},
#endif
    };
    for (const Case& c : cases) {
        fs::remove_all(d);
        fs::create_directory(d);
        const fs::path target = c.setUp();
        const std::vector<std::string> before = Names(d);
        const bool wasFile = fs::is_regular_file(target);

        EXPECT_EQ(ReplaceWholeFile(Utf8(target), kData), c.ok) << c.name;
#ifdef _WIN32
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
#endif
        if (c.ok) {
            EXPECT_TRUE(Slurp(target) == kData) << c.name;
            std::vector<std::string> after = before;
            if (!wasFile) after.push_back(Utf8(target.filename()));
            std::sort(after.begin(), after.end());
            EXPECT_EQ(Names(d), after) << c.name << ": no temporary file left";
        } else {
            EXPECT_EQ(Names(d), before) << c.name << ": nothing added or removed";
            if (wasFile) {
                EXPECT_TRUE(Slurp(target) == old) << c.name << ": old file changed";
            }
        }
        if (fs::exists(d / "zajety.pod.tmp")) {
            EXPECT_EQ(Slurp(d / "zajety.pod.tmp"), "cudzy");
        }
        std::error_code ec;  // a read-only file could not be removed on Windows
        if (wasFile) fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, ec);
    }
}

#ifndef _WIN32
TEST(Dysk, ReplaceWholeFileKeepsLinkAndPermissions) {
    TempDir dir;
    const fs::path real = dir.path / "prawdziwy.pod";
    const fs::path link = dir.path / "skrot.pod";
    Spit(real, "stary");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    fs::create_symlink(real.filename(), link);

    ASSERT_TRUE(ReplaceWholeFile(link.string(), kData));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(Slurp(real) == kData);
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Names(dir.path), (std::vector<std::string>{"prawdziwy.pod", "skrot.pod"}));
}
#endif

// A folder with Polish letters in its name: on Windows this works only if the
// paths reach the system as UTF-16.
TEST(Dysk, PolishFolderName) {
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    const fs::path folder = dir.path / fs::path(u8"Sklep Żabka");
    ASSERT_TRUE(fs::create_directory(folder));
    const std::string file = Utf8(folder / "dane.pod");

    ASSERT_TRUE(ReplaceWholeFile(file, kData));
    EXPECT_EQ(Names(folder), std::vector<std::string>{"dane.pod"});
    std::string out;
    EXPECT_EQ(ReadWholeFile(file, kMaxProfileSize, out), FileRead::Ok);
    EXPECT_TRUE(out == kData);

    std::FILE* f = OpenFileUtf8(Utf8(folder / "LogFile.log"), "ab");
    ASSERT_NE(f, nullptr);
    std::fputs("Wyslano:\r", f);
    std::fclose(f);
    EXPECT_EQ(Slurp(folder / "LogFile.log"), "Wyslano:\r");

    Profile p;
    p.Load(file);
    EXPECT_FALSE(p.Unreadable());
    EXPECT_EQ(p.Get("KASA", "Typ_kasy", ""), "1");
}

// The cap a caller gives: a file over it is unreadable and Save leaves it alone.
TEST(Dysk, ProfileSizeCap) {
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    const fs::path file = dir.path / "config.cfg";
    const std::string text = "[PORTRS]\r\nNrPortu=COM3\r\n";
    Spit(file, text);

    Profile p;
    p.Load(Utf8(file), text.size());
    EXPECT_FALSE(p.Unreadable());
    EXPECT_EQ(p.Get("PORTRS", "NrPortu", ""), "COM3");

    p.Load(Utf8(file), text.size() - 1);
    EXPECT_TRUE(p.Unreadable());
    EXPECT_EQ(p.Get("PORTRS", "NrPortu", "brak"), "brak");
    p.Set("PORTRS", "NrPortu", "COM4");
    EXPECT_FALSE(p.Save(Utf8(file)));
    EXPECT_EQ(Slurp(file), text);
}
