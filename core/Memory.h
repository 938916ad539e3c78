// Tracked allocation, the debug print and the fatal exit.
//
// Every record the game takes from the heap goes through qzAlloc (or the same three steps inline) and is
// given back through qzFree; the tracker MemCheck can report the live blocks by purpose. The fatal exit
// is the one road by which every "Error(<Function>): <text>" message is shown.
#pragma once

#include <cstddef>
#include <cstdint>

// Tracker state; one exists from MemCheck_init to MemCheck_exit.
struct MemCheckEntry {
    void* block;
    int32_t size;   // bytes
    char* purpose;  // the tracker's own copy of the caller's text
};
struct MemCheckState {
    int32_t enabled;   // non-zero when the tracker records
    int32_t capacity;  // entries the table can hold
    int32_t count;     // entries in use
    int32_t totalSize; // bytes of all registered blocks
    int32_t warnings;  // misuses and overflows seen
    MemCheckEntry* entries;  // null when the tracker is off
};
extern MemCheckState* MemCheck;

void MemCheck_init(int capacity, int enabled);
void MemCheck_exit();
void MemCheck_alloc(void* block, int size, const char* purpose);
void MemCheck_realloc(void* newBlock, void* oldBlock, int newSize, const char* purpose);
void MemCheck_free(void* block);
void MemCheck_PurposeDump();
void MemCheck_SortPurposes();
int MemCheck_ComparePurpose(const void* a, const void* b);

// A heap block of size bytes registered under purpose; fatal when the heap is exhausted.
void* qzAlloc(int size, const char* purpose);
// Unregisters and frees a block (null is ignored by free).
void qzFree(void* block);
// Copies a text into a tracked block.
char* qzStrDup(const char* text, const char* purpose);

// Shared buffer for the fatal allocation message of the inline allocations.
extern char FatalMessageBuffer[256];

// Shows the fatal box and ends the program with exit code 1. Never returns.
[[noreturn]] void FatalError(const char* text);
// printf-style FatalError (the message is cut at 255 characters); a null format returns at once.
void FatalErrorF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The debug print: discarded unless a sink is installed (tests read the tracker's reports this way).
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
using DebugSink = void (*)(const char* text);
void SetDebugPrintSink(DebugSink sink);

// Tests replace the process exit of the fatal path: the hook gets the message (the caller's text) and is
// expected to throw. Without a hook the process exits with code 1.
using FatalHook = void (*)(const char* message);
void SetFatalHook(FatalHook hook);
// The last step of every fatal road (this one and the graphics fatal exit): runs the hook with the
// message, then ends the process with exit code 1.
[[noreturn]] void RunFatalExit(const char* message);
// The program's device shutdown, installed at start-up by the layer that opens the devices, so that the
// fatal path closes them without this layer knowing them. Null (the default) closes nothing.
using CloseDevicesHook = void (*)();
void SetCloseDevicesHook(CloseDevicesHook hook);
// Closes the devices through the installed hook (once, even when a fatal error is raised while closing),
// shows the box with its lead line and the message in double quotes, and ends the program.
[[noreturn]] void EndWithFatalBox(const char* lead, const char* message);
