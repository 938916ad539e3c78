// Collects the debug print while alive.
#pragma once

#include <string>

#include "core/Memory.h"

namespace kvtest {

class DebugCapture {
public:
    DebugCapture() {
        text().clear();
        SetDebugPrintSink([](const char* t) { text() += t; });
    }
    ~DebugCapture() { SetDebugPrintSink(nullptr); }
    static std::string& text() {
        static std::string s;
        return s;
    }
};

}  // namespace kvtest
