// The rasterizer's worker threads and the batches they draw. A device gathers its primitives into a
// batch; a batch worth the workers' wake-up is handed to them and drawn while the calling thread goes on
// (gathering the next batch, or running the game), one batch at a time; a cheap one is drawn at once on
// the calling thread. The workers first set up the batch's triangles in chunks, then take the target's
// bands of rows one at a time, each band drawing the primitives that reach it in their order: every
// pixel sees the same writes in the same order whatever the number of threads, so the pictures are the
// same. A caller that has to wait for the workers draws with them.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "host/Gfx_local.h"

namespace host {

namespace {

int g_threadSetting = 0;  // one thread per core unless told otherwise

constexpr size_t kChunk = 128;  // triangles set up by a worker at a time
constexpr int kWatchSpins = 2000;  // pauses a worker waits for the next batch before it sleeps (some 50 us)

// Waits, spinning briefly and then yielding, until ready() holds.
template <class Ready>
void Await(const Ready& ready) {
    for (int spins = 0; !ready(); ++spins) {
        if (spins < 256) {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        } else {
            std::this_thread::yield();
        }
    }
}

// One batch being drawn: the set-up chunks and the bands, handed out and counted.
struct Job {
    Batch* batch = nullptr;
    size_t chunks = 0;
    std::atomic<size_t> nextChunk{0}, chunksDone{0};
    std::atomic<int> nextBand{0}, bandsDone{0};

    void Reset(Batch* b) {
        batch = b;
        chunks = (b->raw.size() + kChunk - 1) / kChunk;
        nextChunk.store(0, std::memory_order_relaxed);
        chunksDone.store(0, std::memory_order_relaxed);
        nextBand.store(0, std::memory_order_relaxed);
        bandsDone.store(0, std::memory_order_relaxed);
    }
    bool Done() const { return bandsDone.load(std::memory_order_acquire) == batch->bands; }
};

// The triangles of one chunk set up in their primitives (each depends on its vertices alone).
void SetUpChunk(Batch& b, size_t chunk) {
    const size_t end = std::min((chunk + 1) * kChunk, b.raw.size());
    for (size_t i = chunk * kChunk; i < end; ++i) {
        const RawTriangle& r = b.raw[i];
        Primitive& prim = b.prims[r.prim];
        const Pipeline& p = b.pipelines[prim.pipeline];
        Primitive set;
        if (SetupTriangle(p, r.v[0], r.v[1], r.v[2], r.cull, &set)) {
            set.pipeline = prim.pipeline;
            prim = set;
        } else {
            prim.kind = kPrimNone;
        }
    }
}

// Takes set-up chunks, then bands, until none is left: what every worker and a waiting caller do.
void Work(Job& j) {
    Batch& b = *j.batch;
    for (;;) {
        const size_t chunk = j.nextChunk.fetch_add(1, std::memory_order_relaxed);
        if (chunk >= j.chunks) break;
        SetUpChunk(b, chunk);
        j.chunksDone.fetch_add(1, std::memory_order_release);
    }
    Await([&] { return j.chunksDone.load(std::memory_order_acquire) == j.chunks; });
    for (;;) {
        const int band = j.nextBand.fetch_add(1, std::memory_order_relaxed);
        if (band >= b.bands) break;
        const int y0 = band * kBandRows, y1 = y0 + kBandRows;
        for (uint32_t i : b.bins[static_cast<size_t>(band)]) {
            const Primitive& prim = b.prims[i];
            RasterPrimitive(b.pipelines[prim.pipeline], prim, y0, y1);
        }
        j.bandsDone.fetch_add(1, std::memory_order_release);
    }
}

// The worker threads: each sleeps until a job is posted, works on it and sleeps again.
class WorkerPool {
public:
    ~WorkerPool() { Stop(); }

    int Workers() const { return static_cast<int>(threads_.size()); }

    // Only while no job is posted.
    void Resize(int workers) {
        if (workers == Workers()) return;
        Stop();
        stop_ = false;
        for (int i = 0; i < workers; ++i) threads_.emplace_back([this, gen = generation_] { Loop(gen); });
    }

    void Post(Job* job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = job;
            ++generation_;
            latest_.store(generation_, std::memory_order_release);
        }
        wake_.notify_all();
    }

    // No worker starts on the posted job any more; returns when those that had started have left it.
    void Retire() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = nullptr;
        }
        Await([this] { return active_.load(std::memory_order_acquire) == 0; });
    }

private:
    void Loop(uint64_t seen) {
        for (;;) {
            Job* job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || (generation_ != seen && job_); });
                if (stop_) return;
                seen = generation_;
                job = job_;
                active_.fetch_add(1, std::memory_order_relaxed);
            }
            Work(*job);
            active_.fetch_sub(1, std::memory_order_release);
            // The next batch often follows soon (a frame hands several over): watch for it a little while
            // before sleeping, which saves it the wake-up.
            for (int spin = 0; spin < kWatchSpins && latest_.load(std::memory_order_acquire) == seen; ++spin) {
#if defined(__x86_64__) || defined(__i386__)
                __builtin_ia32_pause();
#endif
            }
        }
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (auto& t : threads_) t.join();
        threads_.clear();
    }

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    Job* job_ = nullptr;
    uint64_t generation_ = 0;
    std::atomic<uint64_t> latest_{0};  // generation_, read without the lock
    std::atomic<int> active_{0};
    bool stop_ = false;
};

WorkerPool& Pool() {
    static WorkerPool pool;
    return pool;
}

Job g_job;
bool g_posted = false;  // g_job is posted to the workers and not yet retired
uint64_t g_handedOver = 0;

void EmptyBatch(Batch* b) {
    for (int band = 0; band < b->bands; ++band) b->bins[static_cast<size_t>(band)].clear();
    b->prims.clear();
    b->raw.clear();
    b->pipelines.clear();
    b->cost = 0;
}

}  // namespace

int WantedThreads() {
    if (g_threadSetting > 0) return g_threadSetting;
    static const int cores = [] {
        unsigned n = std::thread::hardware_concurrency();
        return n ? static_cast<int>(std::min(n, 64u)) : 1;
    }();
    return cores;
}

void StartBatch(Batch* b, int rows) {
    b->bands = (std::max(rows, 0) + kBandRows - 1) / kBandRows;
    if (b->bins.size() < static_cast<size_t>(b->bands)) b->bins.resize(static_cast<size_t>(b->bands));
}

uint32_t AddToBatch(Batch* b, const Primitive& prim, int top, int bottom, double cost) {
    const uint32_t index = static_cast<uint32_t>(b->prims.size());
    b->prims.push_back(prim);
    top = std::max(top, 0);
    bottom = std::min(bottom, b->bands * kBandRows);
    if (top < bottom) {
        for (int band = top / kBandRows; band <= (bottom - 1) / kBandRows; ++band)
            b->bins[static_cast<size_t>(band)].push_back(index);
    }
    b->cost += cost;
    return index;
}

void WaitForWorkers() {
    if (!g_posted) return;
    Work(g_job);
    Await([] { return g_job.Done(); });
    Pool().Retire();
    g_posted = false;
    EmptyBatch(g_job.batch);
}

bool WorkersBusy() {
    return g_posted && !g_job.Done();
}

void SubmitBatch(Batch* b, bool wait) {
    WaitForWorkers();
    if (b->prims.empty()) return;
    Pool().Resize(WantedThreads() - 1);
    g_job.Reset(b);
    if (b->cost < kWorkerCost || Pool().Workers() == 0) {
        Work(g_job);
        EmptyBatch(b);
        return;
    }
    g_posted = true;
    ++g_handedOver;
    Pool().Post(&g_job);
    if (wait) WaitForWorkers();
}

uint64_t BatchesHandedToWorkers() {
    return g_handedOver;
}

void SetRasterThreads(int threads) {
    FinishAllDevices();
    g_threadSetting = std::max(threads, 0);
}

int RasterThreads() {
    return WantedThreads();
}

}  // namespace host
