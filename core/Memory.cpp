#include "core/Memory.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/Dialog.h"

MemCheckState* MemCheck = nullptr;
char FatalMessageBuffer[256];

namespace {
DebugSink g_debugSink = nullptr;
FatalHook g_fatalHook = nullptr;
CloseDevicesHook g_closeDevices = nullptr;
bool g_inFatal = false;

// The private-space report counts each table entry as 12 bytes (a pointer, a size and a purpose, 4 bytes
// each), so that its figures are the same on every machine.
constexpr int kEntryBytes = 12;
}  // namespace

void SetDebugPrintSink(DebugSink sink) { g_debugSink = sink; }
void SetFatalHook(FatalHook hook) { g_fatalHook = hook; }
void SetCloseDevicesHook(CloseDevicesHook hook) { g_closeDevices = hook; }

void DebugPrintf(const char* format, ...) {
    if (!g_debugSink || !format) return;
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    g_debugSink(buf);
}

void EndWithFatalBox(const char* lead, const char* message) {
    // A fatal error raised while closing the devices of an earlier one must not close them again.
    if (!g_inFatal && g_closeDevices) {
        g_inFatal = true;
        g_closeDevices();
        g_inFatal = false;
    }
    char box[512];
    snprintf(box, sizeof box, "%s\n\"%s\"", lead, message ? message : "");
    host::ShowMessageBox(box, "Karvonel", host::DialogKind::Error);
    RunFatalExit(message);
}

void FatalError(const char* text) {
    EndWithFatalBox(
        "Karvonel has been terminated prematurely. Please consult the game manual. The engine reported:", text);
}

void RunFatalExit(const char* message) {
    if (g_fatalHook) g_fatalHook(message ? message : "");
    fflush(stdout);
    fflush(stderr);
    std::_Exit(1);
}

void FatalErrorF(const char* format, ...) {
    if (!format) return;
    char msg[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(msg, sizeof msg, format, ap);
    va_end(ap);
    FatalError(msg);
}

void MemCheck_init(int capacity, int enabled) {
    MemCheck = static_cast<MemCheckState*>(calloc(1, sizeof(MemCheckState)));
    if (!MemCheck) FatalError("Error(MemCheck_init): failed to allocate");
    MemCheck->enabled = enabled;
    MemCheck->capacity = capacity;
    if (enabled) {
        MemCheck->entries =
            static_cast<MemCheckEntry*>(calloc(capacity > 0 ? capacity : 1, sizeof(MemCheckEntry)));
        if (!MemCheck->entries) FatalError("Error(MemCheck_init): failed to allocate EntryList");
        DebugPrintf("MemCheck: initialised & enabled with %d table entries\n", capacity);
    }
}

void MemCheck_exit() {
    if (!MemCheck) return;
    for (int i = 0; i < MemCheck->count; ++i) free(MemCheck->entries[i].purpose);
    DebugPrintf("MemCheck: exiting; %d warnings\n", MemCheck->warnings);
    free(MemCheck->entries);
    free(MemCheck);
    MemCheck = nullptr;
}

void MemCheck_alloc(void* block, int size, const char* purpose) {
    if (!MemCheck || !MemCheck->enabled) return;
    if (MemCheck->count >= MemCheck->capacity) {
        DebugPrintf("MemCheck: WARNING - entry table overflow\n");
        MemCheck->warnings++;
        return;
    }
    MemCheckEntry& e = MemCheck->entries[MemCheck->count];
    const char* p = purpose ? purpose : "";
    size_t len = strnlen(p, 255);
    e.purpose = static_cast<char*>(malloc(len + 1));
    if (!e.purpose) FatalError("Error(MemCheck_alloc): failed to allocate entry");
    memcpy(e.purpose, p, len);
    e.purpose[len] = 0;
    e.block = block;
    e.size = size;
    MemCheck->totalSize += size;
    MemCheck->count++;
}

void MemCheck_realloc(void* newBlock, void* oldBlock, int newSize, const char* purpose) {
    if (!MemCheck || !MemCheck->enabled) return;
    if (!oldBlock) {
        MemCheck_alloc(newBlock, newSize, purpose);
        return;
    }
    for (int i = 0; i < MemCheck->count; ++i) {
        MemCheckEntry& e = MemCheck->entries[i];
        if (e.block == oldBlock) {
            MemCheck->totalSize += newSize - e.size;
            e.block = newBlock;
            e.size = newSize;
            return;
        }
    }
    DebugPrintf("MemCheck: WARNING - realloc (%s) called on a nonexisting entry (%p %p)\n",
                purpose ? purpose : "", newBlock, oldBlock);
    MemCheck->warnings++;
}

void MemCheck_free(void* block) {
    if (!MemCheck || !MemCheck->enabled) return;
    for (int i = 0; i < MemCheck->count; ++i) {
        MemCheckEntry& e = MemCheck->entries[i];
        if (e.block == block) {
            MemCheck->totalSize -= e.size;
            free(e.purpose);
            e = MemCheck->entries[MemCheck->count - 1];
            MemCheck->count--;
            return;
        }
    }
    DebugPrintf("MemCheck: WARNING - free called on a nonexisting entry\n");
    MemCheck->warnings++;
}

int MemCheck_ComparePurpose(const void* a, const void* b) {
    const signed char* x = reinterpret_cast<const signed char*>(static_cast<const MemCheckEntry*>(a)->purpose);
    const signed char* y = reinterpret_cast<const signed char*>(static_cast<const MemCheckEntry*>(b)->purpose);
    for (;; ++x, ++y) {
        if (*x < *y) return -1;
        if (*x > *y) return 1;
        if (*x == 0) return 0;
    }
}

void MemCheck_SortPurposes() {
    if (!MemCheck || !MemCheck->entries || MemCheck->count < 2) return;
    qsort(MemCheck->entries, MemCheck->count, sizeof(MemCheckEntry), MemCheck_ComparePurpose);
}

void MemCheck_PurposeDump() {
    if (!MemCheck) return;
    if (!MemCheck->enabled) {
        DebugPrintf("MemCheck: (skipping purpose dump as disabled)\n");
        return;
    }
    int privateSpace = (MemCheck->capacity + 2) * kEntryBytes;
    for (int i = 0; i < MemCheck->count; ++i) privateSpace += static_cast<int>(strlen(MemCheck->entries[i].purpose));
    DebugPrintf("\nMemCheck: PURPOSE DUMP\n");
    DebugPrintf("MemCheck:     total entries: %d\n", MemCheck->count);
    DebugPrintf("MemCheck:     total size:    %d bytes (%d K)\n", MemCheck->totalSize, MemCheck->totalSize / 1024);
    DebugPrintf("MemCheck:     private space: %d bytes (%d K)\n", privateSpace, privateSpace / 1024);
    MemCheck_SortPurposes();
    const char* current = "__no purpose__";
    int blocks = 0, bytes = 0, sum = 0;
    auto close = [&]() {
        if (blocks > 0) {
            DebugPrintf("MemCheck:     %8d blocks, total %8d bytes for '%s'\n", blocks, bytes, current);
            sum += bytes;
        }
    };
    for (int i = 0; i < MemCheck->count; ++i) {
        const MemCheckEntry& e = MemCheck->entries[i];
        if (strcmp(e.purpose, current) != 0) {
            close();
            current = e.purpose;
            blocks = 1;
            bytes = e.size;
        } else {
            blocks++;
            bytes += e.size;
        }
    }
    close();
    if (sum != MemCheck->totalSize) {
        DebugPrintf("MemCheck: WARNING: purpose dump complete, but total size corrupt\n");
        MemCheck->warnings++;
    } else {
        DebugPrintf("MemCheck: purpose dump complete; total size verified\n");
    }
}

void* qzAlloc(int size, const char* purpose) {
    if (size < 1) DebugPrintf("WARNING: qzAlloc %d bytes for '%s'\n", size, purpose ? purpose : "");
    // A size below 1 still gets a valid (empty) block: malloc(0) may answer null, which is not a failure.
    void* block = malloc(size > 0 ? static_cast<size_t>(size) : 1);
    if (!block) {
        snprintf(FatalMessageBuffer, sizeof FatalMessageBuffer, "Error: No %d bytes for '%s'", size,
                 purpose ? purpose : "");
        FatalError(FatalMessageBuffer);
    }
    MemCheck_alloc(block, size, purpose);
    return block;
}

void qzFree(void* block) {
    MemCheck_free(block);
    free(block);
}

char* qzStrDup(const char* text, const char* purpose) {
    const char* t = text ? text : "";
    size_t n = strlen(t);
    char* copy = static_cast<char*>(qzAlloc(static_cast<int>(n + 1), purpose));
    memcpy(copy, t, n + 1);
    return copy;
}
