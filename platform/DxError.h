// Reports from the platform layer: the notice box, the graphics fatal exit, and the names of the
// DirectDraw and Direct3D result codes.
#pragma once

#include <cstdint>

// A result code of the graphics device: 0 is success, any other value is a failure.
using HRESULT = int32_t;

// The result codes the platform layer produces itself.
constexpr HRESULT kDDErrGeneric = static_cast<HRESULT>(0x80004005u);           // DDERR_GENERIC
constexpr HRESULT kDDErrOutOfVideoMemory = static_cast<HRESULT>(0x8876017Cu);  // DDERR_OUTOFVIDEOMEMORY
constexpr HRESULT kDDErrNoExclusiveMode = static_cast<HRESULT>(0x887600E1u);   // DDERR_NOEXCLUSIVEMODE

// Formats the text and shows it in a box titled "dxgl_Notify"; returns when it is closed. Null does nothing.
void dxgl_Notify(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats the text, closes every device, shows the fatal box and ends the program with exit code 1.
// A null format does nothing and returns.
void dxgl_Fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

// 0 for 0; any other code is reported by name (notice box, then dxgl_Fatal) and does not return.
int ReportDDError(HRESULT hr);

// The symbolic name of a DirectDraw or Direct3D result code, or null for a code the table lacks.
const char* FindDDErrorName(HRESULT hr);
// The name, or "Unknown DirectDraw/Direct3D Error".
const char* DDErrorName(HRESULT hr);

// One entry of the name table.
struct DDErrorEntry {
    uint32_t code;
    const char* name;
};
// The whole table, for the tests and the debug print.
const DDErrorEntry* DDErrorTable(int* count);
