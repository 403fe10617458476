#include "platform/dx/D3DRasterQueue.h"

#include <algorithm>
#include <chrono>

#include "platform/host/System.h"

namespace d3d {

namespace {

// A batch this large is drawn without waiting for a reader, so that a program that never
// looks at its pixels does not queue without bound.
constexpr size_t kMaxQueued = 1 << 16;

// What makes a batch worth handing to idle workers while the caller records on: this many
// primitives, or this many pixels in them (a clear or a few large triangles, as at the start of
// a frame, keep the workers busy while the caller sets up what follows).
constexpr size_t kStartAfter = 256;
constexpr int64_t kStartAfterPixels = 16384;

// A thread that runs out of work waits awake this long before it sleeps: the next batch, or
// the last band of the one in flight, often comes sooner than a sleeping thread can be woken
// (tens of microseconds on the machines we measure on).
constexpr auto kSpin = std::chrono::microseconds(200);
// A wait this long is not a pause within a frame's work: the program waits for the display.
constexpr auto kLongWait = std::chrono::milliseconds(2);

// The measuring worker judges the machine over windows of this much time ready to run: long
// enough for the scheduler's turns to even out (and for the coarse thread clock of Wine, 10 ms
// steps; Windows' own is read in processor cycles, see System.h). The cores are taken when the
// worker gets less than kCrowdedShare of that time on a processor, or when the system takes the
// processor from the process's threads more than kCrowdedSwitches times a second. Measured on two
// cores: alone, 0.96 and more, and 20 to 60 a second; with one other busy program, 0.52 to 0.95,
// and 150 to 4500 a second. The workers are tried again after kCrowdedFor, and after twice as long
// each time a try finds the cores still taken, up to 16 s: each try costs a window of two threads
// on crowded cores (trying every two seconds made a long run on two busy cores about 2 % slower).
constexpr auto kShareWindow = std::chrono::milliseconds(250);
constexpr double kCrowdedShare = 0.85;
constexpr double kCrowdedSwitches = 150;
constexpr auto kCrowdedFor = std::chrono::seconds(2);
constexpr int kMaxBackOff = 3;

// Whether done() came true within kSpin.
template <class Done>
bool SpinUntil(Done done) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (;;) {
        for (int i = 0; i < 64; ++i) {
            if (done()) return true;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        if (std::chrono::steady_clock::now() > until) return done();
    }
}

// The system's clocks: the measuring worker's time ready to run against the processor time it
// got, and the forced switches of the process, over windows of kShareWindow.
class SystemCoreWatch final : public CoreWatch {
  public:
    void Begin(Clock::time_point woke) override {
        Restart(ThreadCpuSeconds(), InvoluntarySwitches(), woke);
    }
    Verdict Add(Clock::duration ready) override {
        ready_ += ready;
        if (ready_ < kShareWindow) return Verdict::kUndecided;
        const double cpu = ThreadCpuSeconds();
        const int64_t switches = InvoluntarySwitches();
        const auto now = Clock::now();
        const double got = (cpu - cpuAtStart_) / std::chrono::duration<double>(ready_).count();
        const double rate = static_cast<double>(switches - switchesAtStart_) /
                            std::chrono::duration<double>(now - start_).count();
        // A clock that does not run (0) says nothing, nor does a count the system does not keep.
        const bool crowded =
            (cpu > 0 && got < kCrowdedShare) || (switches >= 0 && rate > kCrowdedSwitches);
        Restart(cpu, switches, now);
        return crowded ? Verdict::kTaken : Verdict::kFree;
    }

  private:
    void Restart(double cpu, int64_t switches, Clock::time_point at) {
        cpuAtStart_ = cpu;
        switchesAtStart_ = switches;
        start_ = at;
        ready_ = {};
    }

    double cpuAtStart_ = 0;
    int64_t switchesAtStart_ = 0;
    Clock::time_point start_;
    Clock::duration ready_{};
};

// Bands per thread: enough that a thread that drew cheap bands takes more of the rest. On a
// large target the bands stay at most kMaxBandRows high, so that there are more of them: a
// 2560×1920 frame on two threads draws about 4 % faster in 40-row bands than in 160-row ones,
// the last band of a batch keeping the other thread waiting for less long.
constexpr int32_t kBandsPerThread = 6;
constexpr int32_t kMinBandRows = 8;
constexpr int32_t kMaxBandRows = 40;

}  // namespace

void DrawClear(const ClearJob& c, int32_t from, int32_t to) {
    const int32_t y1 = std::max(c.y1, from), y2 = std::min(c.y2, to);
    for (int32_t y = y1; y < y2; ++y) {
        if (c.color != nullptr) {
            uint16_t* row = c.color + static_cast<ptrdiff_t>(y) * c.colorPitch;
            std::fill(row + c.x1, row + c.x2, c.pixel);
        }
        if (c.depth != nullptr) {
            uint16_t* row = c.depth + static_cast<ptrdiff_t>(y) * c.depthPitch;
            std::fill(row + c.x1, row + c.x2, c.depthValue);
        }
    }
}

void RasterQueue::Batch::Clear() {
    for (size_t b = 0; b < binsUsed; ++b) bins[b].clear();
    binsUsed = 0;
    bandRows = 0;
    primitives = 0;
    pixels = 0;
    draws.clear();
    triangles.clear();
    lines.clear();
    points.clear();
    clears.clear();
}

RasterQueue::RasterQueue(int threads, std::unique_ptr<CoreWatch> watch) : watch_(std::move(watch)) {
    const int workers = std::max(threads, 1) - 1;
    // More threads than cores: a waiting thread would take the core of the one it waits for.
    spin_ = threads <= ProcessorCount();
    // Threads that share cores by design would always find them taken.
    const bool measures = spin_ || watch_ != nullptr;
    if (watch_ == nullptr) watch_ = std::make_unique<SystemCoreWatch>();
    workers_.reserve(static_cast<size_t>(workers));
    for (int i = 0; i < workers; ++i)
        workers_.emplace_back([this, i, measures] { WorkerLoop(i == 0 && measures); });
}

RasterQueue::~RasterQueue() {
    Finish();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        published_.store(++generation_, std::memory_order_release);
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
}

void RasterQueue::Use(DirectDrawSurface7& surface, uint8_t uses) {
    SurfaceWork* other = surface.PendingWork();
    if (other != nullptr && other != this) surface.Settle();  // another device's work
    if (surface.PendingWork() == nullptr) marked_.push_back(&surface);
    surface.MarkPendingWork(this, uses);
}

void RasterQueue::SetBands(int32_t height) {
    if (recording_->bandRows > 0) return;
    const int32_t bands = Threads() * kBandsPerThread;
    recording_->bandRows = std::clamp((height + bands - 1) / bands, kMinBandRows, kMaxBandRows);
}

uint32_t RasterQueue::KeepDraw(const RasterDraw& draw) {
    RasterDraw& kept = recording_->draws.emplace_back(draw);
    if (draw.span.texels == draw.tinyTexture.data()) kept.span.texels = kept.tinyTexture.data();
    currentDraw_ = static_cast<uint32_t>(recording_->draws.size() - 1);
    hasDraw_ = true;
    return currentDraw_;
}

bool RasterQueue::BeginDraw(RasterDraw& draw, DirectDrawSurface7& target, DirectDrawSurface7* depth,
                            DirectDrawSurface7* texture) {
    if (texture != nullptr) {
        // A draw that samples what it draws into reads pixels another band may be writing.
        if (texture == &target || texture == depth) {
            Finish();
            return false;
        }
        // Sampling a surface that queued draws write, or drawing into one that queued draws
        // sample: the earlier work must be in the pixels first.
        BeforeSampling(*texture);
    }
    auto sampled = [this](DirectDrawSurface7* s) {
        return s != nullptr && s->PendingWork() == this &&
               (s->PendingUses() & DirectDrawSurface7::kPendingRead) != 0;
    };
    if (sampled(&target) || sampled(depth)) Finish();
    if (recording_->primitives >= kMaxQueued) Finish();

    Use(target, DirectDrawSurface7::kPendingWrite);
    if (depth != nullptr) Use(*depth, DirectDrawSurface7::kPendingWrite);
    if (texture != nullptr) Use(*texture, DirectDrawSurface7::kPendingRead);
    SetBands(target.Height());
    draw.queue = this;
    draw.queueDraw = KeepDraw(draw);
    return true;
}

void RasterQueue::Bin(Kind kind, size_t index, int32_t yMin, int32_t yMax) {
    Batch& b = *recording_;
    ++b.primitives;
    if (yMax < yMin || yMax < 0) return;
    const size_t first = static_cast<size_t>(std::max(yMin, 0) / b.bandRows);
    const size_t last = static_cast<size_t>(yMax / b.bandRows);
    if (b.bins.size() <= last) b.bins.resize(last + 1);
    b.binsUsed = std::max(b.binsUsed, last + 1);
    const uint32_t ref = static_cast<uint32_t>(kind) << kKindShift | static_cast<uint32_t>(index);
    for (size_t band = first; band <= last; ++band) b.bins[band].push_back(ref);
}

void RasterQueue::AddTriangle(const TriangleSetup& triangle) {
    TriangleSetup& t = recording_->triangles.emplace_back(triangle);
    t.draw = currentDraw_;
    Bin(kTriangle, recording_->triangles.size() - 1, t.yTop, t.yBottom - 1);
    // Twice the area in 1/256 pixel units, bounded by the viewport's rows.
    const int64_t area2 =
        (t.X[1] - t.X[0]) * (t.Y[2] - t.Y[0]) - (t.X[2] - t.X[0]) * (t.Y[1] - t.Y[0]);
    const RasterDraw& d = recording_->draws[currentDraw_];
    recording_->pixels += std::min<int64_t>((area2 < 0 ? -area2 : area2) >> (2 * kSubPixelBits + 1),
                                            int64_t{t.yBottom - t.yTop} * (d.right - d.left));
    Queued();
}

void RasterQueue::AddLine(const LineSetup& line) {
    const RasterDraw& d = recording_->draws[currentDraw_];
    LineSetup& l = recording_->lines.emplace_back(line);
    l.draw = currentDraw_;
    Bin(kLine, recording_->lines.size() - 1, std::max(l.yMin, d.top),
        std::min(l.yMax, d.bottom - 1));
    Queued();
}

void RasterQueue::AddPoint(const PointSetup& point) {
    PointSetup& p = recording_->points.emplace_back(point);
    p.draw = currentDraw_;
    const RasterDraw& d = recording_->draws[currentDraw_];
    Bin(kPoint, recording_->points.size() - 1, std::max(p.planes.refY, d.top),
        std::min(p.planes.refY + d.pixelSize - 1, d.bottom - 1));
    Queued();
}

void RasterQueue::AddClear(const ClearJob& clear, DirectDrawSurface7* target,
                           DirectDrawSurface7* depth) {
    auto sampled = [this](DirectDrawSurface7* s) {
        return s != nullptr && s->PendingWork() == this &&
               (s->PendingUses() & DirectDrawSurface7::kPendingRead) != 0;
    };
    if (sampled(target) || sampled(depth)) Finish();
    if (target != nullptr) {
        Use(*target, DirectDrawSurface7::kPendingWrite);
        SetBands(target->Height());
    }
    if (depth != nullptr) {
        Use(*depth, DirectDrawSurface7::kPendingWrite);
        SetBands(depth->Height());
    }
    recording_->clears.push_back(clear);
    recording_->pixels += int64_t{clear.x2 - clear.x1} * (clear.y2 - clear.y1);
    Bin(kClear, recording_->clears.size() - 1, clear.y1, clear.y2 - 1);
    Queued();
}

// Hands a batch to the workers once it is worth their wake-up and they are free; the caller
// goes on recording into the other batch.
void RasterQueue::Queued() {
    if (inFlight_ != nullptr) {
        if (busy_.load(std::memory_order_acquire) != 0) return;
        inFlight_->Clear();
        inFlight_ = nullptr;
    }
    if (workers_.empty() || Crowded()) return;
    if (recording_->primitives < kStartAfter && recording_->pixels < kStartAfterPixels) return;
    Batch& full = *recording_;
    const int32_t bandRows = full.bandRows;
    Start(full);
    inFlight_ = &full;
    recording_ = &batches_[recording_ == &batches_[0] ? 1 : 0];
    recording_->bandRows = bandRows;
    // Primitives of the draw under way go on in the new batch.
    if (hasDraw_) KeepDraw(full.draws[currentDraw_]);
}

void RasterQueue::ClearFlags(std::unique_ptr<std::atomic<uint8_t>[]>& flags, size_t& size,
                             size_t count) {
    if (count > size) {
        flags = std::make_unique<std::atomic<uint8_t>[]>(count);
        size = count;
    }
    for (size_t i = 0; i < count; ++i) flags[i].store(0, std::memory_order_relaxed);
}

void RasterQueue::Start(Batch& batch) {
    nextBand_.store(0, std::memory_order_relaxed);
    ClearFlags(bandDone_, bandDoneSize_, batch.binsUsed);
    busy_.store(static_cast<int>(workers_.size()), std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        active_ = &batch;
        ++generation_;
        published_.store(generation_, std::memory_order_release);
    }
    wake_.notify_all();
}

void RasterQueue::WaitForWorkers() {
    auto done = [this] { return busy_.load(std::memory_order_acquire) == 0; };
    if (done() || (Spins() && SpinUntil(done))) return;
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, done);
}

void RasterQueue::DrawBand(const Batch& batch, size_t band) {
    const int32_t from = static_cast<int32_t>(band) * batch.bandRows;
    const int32_t to = from + batch.bandRows;
    for (const uint32_t ref : batch.bins[band]) {
        const uint32_t index = ref & ((1u << kKindShift) - 1);
        switch (static_cast<Kind>(ref >> kKindShift)) {
            case kTriangle: {
                const TriangleSetup& t = batch.triangles[index];
                WalkTriangle(batch.draws[t.draw], t, from, to);
                break;
            }
            case kLine: {
                const LineSetup& l = batch.lines[index];
                WalkLine(batch.draws[l.draw], l, from, to);
                break;
            }
            case kPoint: {
                const PointSetup& p = batch.points[index];
                DrawPointPixel(batch.draws[p.draw], p, from, to);
                break;
            }
            case kClear:
                DrawClear(batch.clears[index], from, to);
                break;
        }
    }
}

void RasterQueue::DrawBands(Batch& batch) {
    for (;;) {
        const size_t band = nextBand_.fetch_add(1, std::memory_order_relaxed);
        if (band >= batch.binsUsed) return;
        DrawBand(batch, band);
        bandDone_[band].store(1, std::memory_order_release);
        Batch* const last = follow_.load(std::memory_order_acquire);
        if (last != nullptr && band < last->binsUsed &&
            followTaken_[band].exchange(1, std::memory_order_acq_rel) == 0) {
            DrawBand(*last, band);
        }
    }
}

// Draws the bands of the last batch whose band of the batch in flight is done and that no
// thread has taken. A band still in flight is left to the thread drawing it.
void RasterQueue::DrawFollowing(const Batch& inFlight, Batch& last) {
    for (size_t band = 0; band < last.binsUsed; ++band) {
        if (followTaken_[band].load(std::memory_order_relaxed) != 0) continue;
        if (band < inFlight.binsUsed && bandDone_[band].load(std::memory_order_acquire) == 0) {
            continue;
        }
        if (followTaken_[band].exchange(1, std::memory_order_acq_rel) == 0) DrawBand(last, band);
    }
}

void RasterQueue::AssumeCrowded() {
    crowdedSince_.store(watch_->Now(), std::memory_order_relaxed);
    crowded_.store(true, std::memory_order_release);
}

void RasterQueue::TryWorkersAgain() {
    const auto since = crowdedSince_.load(std::memory_order_relaxed);
    const int backOff = backOff_.load(std::memory_order_relaxed);
    if (watch_->Now() - since < kCrowdedFor * (1 << backOff)) return;
    trial_.fetch_add(1, std::memory_order_relaxed);
    crowded_.store(false, std::memory_order_relaxed);
}

void RasterQueue::Measure(Share& share, std::chrono::steady_clock::duration ready) {
    const CoreWatch::Verdict verdict = watch_->Add(ready);
    if (verdict == CoreWatch::Verdict::kUndecided) return;
    if (verdict == CoreWatch::Verdict::kTaken) {
        const int backOff = backOff_.load(std::memory_order_relaxed);
        backOff_.store(share.retry ? std::min(backOff + 1, kMaxBackOff) : 0,
                       std::memory_order_relaxed);
        AssumeCrowded();
    }
    share.retry = false;
}

void RasterQueue::WorkerLoop(bool measures) {
    uint64_t seen = 0;
    uint64_t finishesBefore = 0;
    Share share;
    for (;;) {
        Batch* batch = nullptr;
        const bool afterFinish = finishes_.load(std::memory_order_relaxed) != finishesBefore;
        const auto began = std::chrono::steady_clock::now();
        if (Spins()) {
            SpinUntil([&] { return published_.load(std::memory_order_acquire) != seen; });
        }
        const auto sleeps = std::chrono::steady_clock::now();
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_) return;
            seen = generation_;
            batch = active_;
        }
        const auto woke = std::chrono::steady_clock::now();
        if (measures && share.trial != trial_.load(std::memory_order_relaxed)) {
            const uint32_t trial = trial_.load(std::memory_order_relaxed);
            share = Share{trial, trial != 0};
            watch_->Begin(woke);
        }
        // After a finished queue the next work is the next frame: a long wait for it means the
        // frames are paced (a window), where a frame's pauses are not worth a spinning core.
        if (afterFinish) {
            paced_.store(std::chrono::steady_clock::now() - began > kLongWait,
                         std::memory_order_relaxed);
        }
        finishesBefore = finishes_.load(std::memory_order_relaxed);
        DrawBands(*batch);
        if (Batch* const last = follow_.load(std::memory_order_acquire)) {
            DrawFollowing(*batch, *last);
        }
        if (busy_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            std::lock_guard<std::mutex> lock(mutex_);
            done_.notify_one();
        }
        // Ready to run: spinning and drawing, not asleep.
        if (measures) Measure(share, (sleeps - began) + (std::chrono::steady_clock::now() - woke));
    }
}

void RasterQueue::Finish() {
    finishes_.fetch_add(1, std::memory_order_relaxed);
    if (Crowded()) TryWorkersAgain();
    bool followed = false;
    if (inFlight_ != nullptr) {
        // The caller takes the bands of the batch in flight that no worker has begun, rather
        // than wait idle for them. While workers still draw it, the last batch follows it band
        // by band: whoever completes a band of the one draws the same band of the other.
        Batch& last = *recording_;
        followed = last.binsUsed > 0 && busy_.load(std::memory_order_acquire) != 0;
        if (followed) {
            ClearFlags(followTaken_, followTakenSize_, last.binsUsed);
            follow_.store(&last, std::memory_order_release);
        }
        DrawBands(*inFlight_);
        if (followed) DrawFollowing(*inFlight_, last);
        WaitForWorkers();
        if (followed) {
            // Bands of workers that looked for the last batch before it was there.
            DrawFollowing(*inFlight_, last);
            follow_.store(nullptr, std::memory_order_relaxed);
        }
        inFlight_->Clear();
        inFlight_ = nullptr;
    }
    if (!followed && recording_->binsUsed > 0) {
        if (Crowded()) {
            for (size_t band = 0; band < recording_->binsUsed; ++band) DrawBand(*recording_, band);
        } else {
            Start(*recording_);
            DrawBands(*recording_);
            WaitForWorkers();
        }
    }
    recording_->Clear();
    hasDraw_ = false;
    for (DirectDrawSurface7* s : marked_) s->ClearPendingWork();
    marked_.clear();
}

}  // namespace d3d
