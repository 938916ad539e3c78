// Files with Windows-style names on a Linux file system.
//
// The game names its files the way its data tree was authored: backslashes as separators and any mix of
// upper and lower case. Every path handed to these functions is resolved component by component: '\\'
// becomes '/', and a component that does not exist with its exact spelling is matched without regard to
// case against the (cached, sorted) listing of its folder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// The Linux path of a Windows-style path: existing components in their real spelling, the rest as given
// (with '/' separators), so that a file about to be created lands where the caller expects.
std::string ResolvePath(std::string_view path);

// Opens a file like fopen. Mode "r" (text) drops carriage returns while reading. The write modes "w",
// "wb", "wt" write to a temporary file beside the target that CloseFile renames over it, so a failed or
// interrupted write never loses the old file. Other modes open the file directly.
FILE* OpenFile(const char* path, const char* mode);

// Closes a file from OpenFile. For a replacing write it flushes, syncs and renames the temporary file over
// the target; when anything failed the temporary file is removed, the old file stays and EOF is returned.
int CloseFile(FILE* f);

// Abandons a replacing write: the temporary file is removed and the target is left as it was.
void DiscardFile(FILE* f);

// Writes a whole file through a replacing write. Returns false (old file untouched) on failure.
bool WriteFileAtomic(const char* path, const void* data, size_t size);

// Reads a whole file in binary. Returns false when it cannot be opened or read.
bool ReadWholeFile(const char* path, std::vector<uint8_t>& out);

// The names in a folder, sorted by byte value, without "." and "..". False when the folder is missing.
bool ListDir(const char* path, std::vector<std::string>& names);

enum class Attr { Missing, File, Directory };
Attr GetAttributes(const char* path);

// Last-write time as a Windows file time (100 ns units since 1601-01-01 UTC). False when missing.
bool GetWriteTime(const char* path, uint64_t* fileTime);
// Size in bytes, or -1 when the file cannot be examined.
int64_t GetFileSize(const char* path);

bool RemoveFile(const char* path);
bool MakeDirectory(const char* path);
bool SetWorkingDirectory(const char* path);

// Conversions between the Unix clock and the Windows file time.
uint64_t FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
int64_t UnixSecondsFromFileTime(uint64_t fileTime, uint32_t* nanoseconds = nullptr);

// A file time broken down in local time, as the calendar fields of a Windows SYSTEMTIME.
struct LocalTime {
    int year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
bool FileTimeToLocalTime(uint64_t fileTime, LocalTime* out);

// Forgets every cached folder listing (tests that change folders behind the game's back call this).
void FlushDirectoryCache();

}  // namespace host
