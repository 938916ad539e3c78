// Turns the fatal exit into an exception so tests can check its message.
#pragma once

#include <stdexcept>
#include <string>

#include "core/Memory.h"
#include "host/Dialog.h"

namespace kvtest {

struct FatalExit : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline void ThrowFatal(const char* message) { throw FatalExit(message); }

// While alive, fatal errors throw FatalExit with the caller's message and show no box.
class FatalCatcher {
public:
    FatalCatcher() {
        SetFatalHook(ThrowFatal);
        host::SetDialogsHeadless(true, true);
        host::SetDialogsQuiet(true);
    }
    ~FatalCatcher() {
        SetFatalHook(nullptr);
        host::SetDialogsQuiet(false);
    }
};

}  // namespace kvtest
