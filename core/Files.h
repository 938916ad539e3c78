// File utilities, the centisecond timer and the joystick accumulators.
#pragma once

#include <cstdint>
#include <cstdio>

// A Windows file time: low word, then high word (100 ns units since 1601).
struct FileTime {
    uint32_t low;
    uint32_t high;
};

// Next entry of a disk folder, skipping names that begin with '.'. cursor starts at 0 and becomes -1
// when the folder has no more entries (a missing folder lists nothing). Returns the copied name's length
// with its terminator, or 0 when nothing was returned.
int FindFiles(const char* folder, int* cursor, char* nameOut, int nameSize = 256);

void StripNewlines(char* text);
void ReplaceChars(char* text, char a, char b);
int FileExists(const char* path);
int IsDirectory(const char* path);
// 0 on success, -1 when the time cannot be taken, -2 when the file cannot be opened.
int GetFileWriteTime(const char* path, FileTime* out);
int GetFileDate(const char* path, int* year, int* month, int* dayOfWeek, int* day, int* hour, int* minute,
                int* second, int* milliseconds);
// 1 when a is later than b, else 0.
int CompareFileTimes(const FileTime* a, const FileTime* b);
int GetFileLength(const char* path);
// Splits at the last backslash: name gets what follows, path is cut there (empty without a separator).
void SplitPath(char* path, char* nameOut);
void WriteU32(FILE* f, uint32_t value);
uint32_t ReadU32(FILE* f);
// Current time in hundredths of a second.
double TimerNow();
// Accumulates the joystick axes scaled by the joystick_step settings and hands out the four
// accumulators and the raw hat value.
void GetJoystickAxes(int32_t* x, int32_t* y, int32_t* throttle, int32_t* rudder, int32_t* hat);
int PassThroughInt(int value);
void DebugPrintVec3(int a, int b, int c);

// The raw joystick sample the accumulators read (filled by the input devices).
struct JoystickSample {
    int32_t x, y, z, rz;  // axes, -10000..10000
    int32_t hat;          // hundredths of a degree, or -1 when centred
};
extern JoystickSample JoystickAxesSample;
// The four accumulators (x, y, throttle, rudder); zero at start-up and never reset.
extern int32_t JoystickAccumulators[4];
