// Whole-file reads and writes for config.cfg and the .pod data files, the same
// on POSIX systems and on Windows.
//
// Paths are UTF-8 everywhere; on Windows they are turned into wide strings and
// opened with the wide calls, so a folder such as "C:\Sklep Żabka" works
// whatever the system's code page.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

enum class FileRead { Ok, Missing, Unreadable };

// Reads a regular file whole into out. Missing: nothing by that name (or a
// folder on its path is missing). Unreadable: a folder, FIFO, device or
// socket, a file that cannot be opened or read, or one larger than maxSize;
// no more than maxSize + 1 bytes are ever read, and a FIFO never blocks.
// out is empty unless the result is Ok.
FileRead ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& out);

// Replaces the file with data, or creates it: the data go to a new file beside
// it (path.tmp, path.tmp1, ...), reach the disk, and the new file is renamed
// over the old one in one step, so a reader sees the old file or the new one,
// never a part. The old file's permissions are kept (on Windows its hidden and
// system attributes) and a symbolic link is followed, so the link stays. False
// when anything fails: the old file is then untouched and no new file is left
// behind. Refused outright: an empty path, a folder or anything else that is
// not a regular file, and on Windows a file marked read-only.
bool ReplaceWholeFile(const std::string& path, const std::string& data);

// fopen with a UTF-8 path.
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);

#ifdef _WIN32
// UTF-8 to UTF-16 and back, for the wide calls; bytes that are not UTF-8
// become U+FFFD.
std::wstring WidePath(const std::string& utf8);
std::string Utf8Path(const std::wstring& wide);
#endif
