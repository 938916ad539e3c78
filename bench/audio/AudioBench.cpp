// The mixer's cost: one second of output with many buffers playing, at their own rate and resampled,
// on the null device driven by the virtual clock.
#include <benchmark/benchmark.h>

#include <vector>

#include "host/Audio.h"
#include "host/Clock.h"
#include "host/Window.h"

namespace {

void MixOneSecond(benchmark::State& state) {
    const int buffers = static_cast<int>(state.range(0));
    const bool resample = state.range(1) != 0;
    host::SetHeadless(true);
    host::OpenAudio(2, 22050, 16);
    std::vector<host::AudioBuffer*> list;
    for (int i = 0; i < buffers; ++i) {
        host::AudioBuffer* b = host::CreateAudioBuffer(1 + i % 2, 22050, 16, 88200, false);
        void* p;
        void* p2;
        int n, n2;
        host::LockAudioBuffer(b, 0, 88200, &p, &n, &p2, &n2);
        auto* s = static_cast<int16_t*>(p);
        for (int k = 0; k < n / 2; ++k) s[k] = static_cast<int16_t>((k * 37 + i * 101) % 4000 - 2000);
        host::SetAudioVolume(b, -300 * (i % 5));
        host::SetAudioPan(b, (i % 7 - 3) * 1000);
        if (resample) host::SetAudioFrequency(b, 11025 + i * 300);
        host::PlayAudioBuffer(b, true);
        list.push_back(b);
    }
    for (auto _ : state) {
        for (int f = 0; f < 50; ++f) host::AdvanceVirtualClock();  // one second of 2-centisecond frames
        host::UpdateAudio();
    }
    state.counters["frames/s"] = benchmark::Counter(22050.0 * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
    host::CloseAudio();
}
BENCHMARK(MixOneSecond)->Args({24, 0})->Args({24, 1})->Args({88, 1})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
