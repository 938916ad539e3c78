// What the rasterizer benchmark and its software-OpenGL peer share: the workloads' random numbers and the
// clock their frames are timed by, so that both draw the same frames and time them alike.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace rasterbench {

constexpr int kW = 800, kH = 600;

// xorshift32 seeded with 0x12345678; FRand in [0, 1).
inline uint32_t g_rng = 0x12345678;
inline uint32_t R() {
    g_rng ^= g_rng << 13;
    g_rng ^= g_rng >> 17;
    g_rng ^= g_rng << 5;
    return g_rng;
}
inline double FRand() { return R() / 4294967296.0; }

// The clock frames are timed by: wall time, or with "--cpu" the calling thread's processor time (on
// one thread, a figure that a busy shared machine disturbs less).
inline bool g_cpuTime = false;
inline double NowMs() {
    if (g_cpuTime) {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace rasterbench
