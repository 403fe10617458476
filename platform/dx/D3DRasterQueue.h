// The device's threads. Draw calls are set up on the caller's thread as always (vertices,
// clipping, triangle set-up); what reaches the pixels is queued instead of drawn, sorted into
// bands of rows. Once a batch holds enough, the workers start drawing it while the caller
// fills the next one; when anyone needs the pixels (a blit, a lock, a flip, a device context,
// the end of the device) the queue is finished: the batch in flight completes, then every
// thread, the caller's too, takes whole bands of the last one. Each band's primitives are drawn
// in the order they were submitted, batch after batch; a row is only ever drawn by one thread
// at a time, and each row's spans are the ones a single thread would draw, in the same order,
// so the frames are the same bits for every number of threads.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/dx/D3DPipeline.h"
#include "platform/dx/DirectDraw.h"

namespace d3d {

// A device clear: the rectangle's colour and depth, already cut to the viewport and target.
struct ClearJob {
    uint16_t* color = nullptr;  // null: colour stays
    int32_t colorPitch = 0;
    uint16_t* depth = nullptr;  // null: depth stays
    int32_t depthPitch = 0;
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    uint16_t pixel = 0, depthValue = 0;
};
void DrawClear(const ClearJob& clear, int32_t from, int32_t to);

// What the queue learns of the machine: the time, and whether other programs keep the cores
// busy, judged by the first worker over windows of its work. The queue's own reads the
// system's clocks (see D3DRasterQueue.cpp); tests give one that answers as they say.
class CoreWatch {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict { kUndecided, kFree, kTaken };
    virtual ~CoreWatch() = default;
    virtual Clock::time_point Now() const { return Clock::now(); }
    // On the measuring worker: a window begins afresh (its first wake, and each time the
    // workers are tried again), the worker having woken at woke.
    virtual void Begin(Clock::time_point woke) = 0;
    // After each of its turns of work, the time it was ready to run meanwhile (spinning or
    // drawing); a verdict each time a window is complete.
    virtual Verdict Add(Clock::duration ready) = 0;
};

class RasterQueue final : public SurfaceWork {
  public:
    // threads >= 2: the caller's thread and threads - 1 workers. Without a watch the queue
    // watches the system's clocks, where each thread has a core of its own; a watch given is
    // asked whatever the cores.
    explicit RasterQueue(int threads, std::unique_ptr<CoreWatch> watch = nullptr);
    ~RasterQueue();
    RasterQueue(const RasterQueue&) = delete;
    RasterQueue& operator=(const RasterQueue&) = delete;

    int Threads() const { return static_cast<int>(workers_.size()) + 1; }

    // Takes a copy of the draw's raster state and points draw at it. Returns false when the
    // draw cannot be queued (it samples a surface it draws into) and must be drawn at once,
    // after the queue has been finished.
    bool BeginDraw(RasterDraw& draw, DirectDrawSurface7& target, DirectDrawSurface7* depth,
                   DirectDrawSurface7* texture);
    // Before a texture's pixels are read on the caller's thread: queued draws into it finish.
    void BeforeSampling(DirectDrawSurface7& texture) {
        if (texture.PendingWork() == this &&
            (texture.PendingUses() & DirectDrawSurface7::kPendingWrite) != 0) {
            Finish();
        }
    }
    void AddTriangle(const TriangleSetup& triangle);
    void AddLine(const LineSetup& line);
    void AddPoint(const PointSetup& point);
    void AddClear(const ClearJob& clear, DirectDrawSurface7* target, DirectDrawSurface7* depth);

    void Finish() override;

    // Whether the caller draws every band itself for now, the cores being taken by other
    // programs (see crowded_); and, for tests, a start of that as if the first worker had
    // just found it.
    bool Crowded() const { return crowded_.load(std::memory_order_acquire); }
    void AssumeCrowded();

  private:
    enum Kind : uint32_t { kTriangle = 0, kLine = 1, kPoint = 2, kClear = 3 };
    static constexpr int kKindShift = 30;

    // Work queued together and drawn together.
    struct Batch {
        std::deque<RasterDraw> draws;  // stable addresses: span contexts point into them
        std::vector<TriangleSetup> triangles;
        std::vector<LineSetup> lines;
        std::vector<PointSetup> points;
        std::vector<ClearJob> clears;
        std::vector<std::vector<uint32_t>> bins;  // per band: kind << kKindShift | index
        size_t binsUsed = 0;
        int32_t bandRows = 0;
        size_t primitives = 0;
        int64_t pixels = 0;  // roughly: what its triangles and clears cover
        void Clear();
    };

    void Use(DirectDrawSurface7& surface, uint8_t uses);
    uint32_t KeepDraw(const RasterDraw& draw);
    void Bin(Kind kind, size_t index, int32_t yMin, int32_t yMax);
    void SetBands(int32_t height);
    void Queued();
    void Start(Batch& batch);
    // Whether a thread out of work waits awake before it sleeps.
    bool Spins() const { return spin_ && !paced_.load(std::memory_order_relaxed); }
    void WaitForWorkers();
    void DrawBands(Batch& batch);
    void DrawBand(const Batch& batch, size_t band);
    static void ClearFlags(std::unique_ptr<std::atomic<uint8_t>[]>& flags, size_t& size,
                           size_t count);
    void DrawFollowing(const Batch& inFlight, Batch& last);
    void WorkerLoop(bool measures);
    // Where the measuring worker's windows stand.
    struct Share {
        uint32_t trial = ~0u;  // none yet: the first wake starts a window
        bool retry = false;    // the first window after the workers were tried again
    };
    void Measure(Share& share, std::chrono::steady_clock::duration ready);
    void TryWorkersAgain();

    Batch batches_[2];
    Batch* recording_ = &batches_[0];
    Batch* inFlight_ = nullptr;  // drawn by the workers alone while the caller records
    uint32_t currentDraw_ = 0;   // the draw the next primitives belong to, in recording_
    bool hasDraw_ = false;
    std::vector<DirectDrawSurface7*> marked_;

    std::unique_ptr<CoreWatch> watch_;
    // Hand-over to the workers.
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    uint64_t generation_ = 0;
    std::atomic<uint64_t> published_{0};  // generation_, for threads waiting awake
    bool spin_ = false;                   // whether waiting threads wait awake first
    std::atomic<uint64_t> finishes_{0};   // calls of Finish, for the workers' waits
    std::atomic<bool> paced_{false};      // the frames wait for a display (see WorkerLoop)
    // Other programs keep the cores busy: a worker that shares its core gets far less processor
    // time than it is ready to run, and threads that wait for each other then lose more than
    // the second core gives (two threads ran 14 % slower than one, for 27 % more processor
    // time, with one other busy program on two cores). The first worker measures its share and
    // the forced context switches (see Measure); while the cores are taken, the caller draws
    // every band itself, and now and then the workers are tried again (trial_ counts the
    // tries, so the measurement starts afresh).
    std::atomic<bool> crowded_{false};
    std::atomic<std::chrono::steady_clock::time_point> crowdedSince_{};
    std::atomic<uint32_t> trial_{0};
    std::atomic<int> backOff_{0};  // the cores stay taken for kCrowdedFor << backOff_
    Batch* active_ = nullptr;      // what the workers draw, under mutex_
    std::atomic<int> busy_{0};
    bool stop_ = false;
    std::atomic<size_t> nextBand_{0};
    // The batch being drawn, band by band: which bands are done.
    std::unique_ptr<std::atomic<uint8_t>[]> bandDone_;
    size_t bandDoneSize_ = 0;
    // When the queue is finished with a batch in flight, the last batch follows it band by band:
    // a thread that completes a band of the one draws the same band of the other at once, so no
    // thread waits for the slowest band of the batch in flight before the last batch can start.
    std::atomic<Batch*> follow_{nullptr};
    std::unique_ptr<std::atomic<uint8_t>[]> followTaken_;
    size_t followTakenSize_ = 0;
};

}  // namespace d3d
