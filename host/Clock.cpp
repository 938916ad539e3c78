#include "host/Clock.h"

#include <chrono>
#include <thread>

namespace host {
namespace {
bool g_virtual = false;
double g_virtualNow = 0.0;
double g_virtualStep = 2.0;
const auto g_start = std::chrono::steady_clock::now();
}  // namespace

double NowCentiseconds() {
    if (g_virtual) return g_virtualNow;
    auto d = std::chrono::steady_clock::now() - g_start;
    return std::chrono::duration<double, std::centi>(d).count();
}

void UseVirtualClock(double stepCentiseconds) {
    g_virtual = true;
    g_virtualNow = 0.0;
    g_virtualStep = stepCentiseconds;
}

void UseRealClock() { g_virtual = false; }
bool IsVirtualClock() { return g_virtual; }

void AdvanceVirtualClock() {
    if (g_virtual) g_virtualNow += g_virtualStep;
}

void AdvanceVirtualClockBy(double centiseconds) {
    if (g_virtual && centiseconds > 0) g_virtualNow += centiseconds;
}

void Yield(int milliseconds) {
    if (!g_virtual && milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace host
