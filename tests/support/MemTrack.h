// Switches the allocation tracker on for one test, so it can count the blocks still registered.
#pragma once

#include <cstring>
#include <string>

#include "core/Memory.h"

namespace kvtest {

class MemTrack {
public:
    explicit MemTrack(int capacity = 200000) {
        saved_ = MemCheck;
        MemCheck = nullptr;
        MemCheck_init(capacity, 1);
    }
    ~MemTrack() {
        MemCheck_exit();
        MemCheck = saved_;
    }
    MemTrack(const MemTrack&) = delete;
    MemTrack& operator=(const MemTrack&) = delete;

    int Live() const { return MemCheck->count; }
    // Live blocks registered under exactly this purpose.
    int Live(const char* purpose) const {
        int n = 0;
        for (int i = 0; i < MemCheck->count; ++i)
            if (std::strcmp(MemCheck->entries[i].purpose, purpose) == 0) ++n;
        return n;
    }
    int Warnings() const { return MemCheck->warnings; }

private:
    MemCheckState* saved_;
};

}  // namespace kvtest
