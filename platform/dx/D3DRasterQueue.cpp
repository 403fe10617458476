#include "platform/dx/D3DRasterQueue.h"

#include <algorithm>

namespace d3d {

namespace {

// A batch this large is drawn without waiting for a reader, so that a program that never
// looks at its pixels does not queue without bound.
constexpr size_t kMaxQueued = 1 << 16;

// Bands per thread: enough that a thread that drew cheap bands takes more of the rest.
constexpr int32_t kBandsPerThread = 6;
constexpr int32_t kMinBandRows = 8;

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

RasterQueue::RasterQueue(int threads) {
    const int workers = std::max(threads, 1) - 1;
    workers_.reserve(static_cast<size_t>(workers));
    for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

RasterQueue::~RasterQueue() {
    Finish();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
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
    if (bandRows_ > 0) return;
    const int32_t bands = Threads() * kBandsPerThread;
    bandRows_ = std::max(kMinBandRows, (height + bands - 1) / bands);
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
        if (texture->PendingWork() == this &&
            (texture->PendingUses() & DirectDrawSurface7::kPendingWrite) != 0) {
            Finish();
        }
    }
    auto sampled = [this](DirectDrawSurface7* s) {
        return s != nullptr && s->PendingWork() == this &&
               (s->PendingUses() & DirectDrawSurface7::kPendingRead) != 0;
    };
    if (sampled(&target) || sampled(depth)) Finish();
    if (triangles_.size() + lines_.size() + points_.size() >= kMaxQueued) Finish();

    Use(target, DirectDrawSurface7::kPendingWrite);
    if (depth != nullptr) Use(*depth, DirectDrawSurface7::kPendingWrite);
    if (texture != nullptr) Use(*texture, DirectDrawSurface7::kPendingRead);
    SetBands(target.Height());

    draw.queue = this;
    draw.queueDraw = static_cast<uint32_t>(draws_.size());
    RasterDraw& kept = draws_.emplace_back(draw);
    if (draw.span.texels == draw.tinyTexture.data()) kept.span.texels = kept.tinyTexture.data();
    return true;
}

void RasterQueue::Bin(Kind kind, size_t index, int32_t yMin, int32_t yMax) {
    if (yMax < yMin || yMax < 0) return;
    const size_t first = static_cast<size_t>(std::max(yMin, 0) / bandRows_);
    const size_t last = static_cast<size_t>(yMax / bandRows_);
    if (bins_.size() <= last) bins_.resize(last + 1);
    binsUsed_ = std::max(binsUsed_, last + 1);
    const uint32_t ref = static_cast<uint32_t>(kind) << kKindShift | static_cast<uint32_t>(index);
    for (size_t b = first; b <= last; ++b) bins_[b].push_back(ref);
}

void RasterQueue::AddTriangle(const TriangleSetup& triangle) {
    triangles_.push_back(triangle);
    Bin(kTriangle, triangles_.size() - 1, triangle.yTop, triangle.yBottom - 1);
}

void RasterQueue::AddLine(const LineSetup& line) {
    const RasterDraw& d = draws_[line.draw];
    lines_.push_back(line);
    Bin(kLine, lines_.size() - 1, std::max(line.yMin, d.top), std::min(line.yMax, d.bottom - 1));
}

void RasterQueue::AddPoint(const PointSetup& point) {
    points_.push_back(point);
    Bin(kPoint, points_.size() - 1, point.planes.refY, point.planes.refY);
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
    clears_.push_back(clear);
    Bin(kClear, clears_.size() - 1, clear.y1, clear.y2 - 1);
}

void RasterQueue::DrawBand(size_t band) {
    const int32_t from = static_cast<int32_t>(band) * bandRows_;
    const int32_t to = from + bandRows_;
    for (const uint32_t ref : bins_[band]) {
        const uint32_t index = ref & ((1u << kKindShift) - 1);
        switch (static_cast<Kind>(ref >> kKindShift)) {
            case kTriangle: {
                const TriangleSetup& t = triangles_[index];
                WalkTriangle(draws_[t.draw], t, from, to);
                break;
            }
            case kLine: {
                const LineSetup& l = lines_[index];
                WalkLine(draws_[l.draw], l, from, to);
                break;
            }
            case kPoint: {
                const PointSetup& p = points_[index];
                DrawPointPixel(draws_[p.draw], p);
                break;
            }
            case kClear:
                DrawClear(clears_[index], from, to);
                break;
        }
    }
}

void RasterQueue::DrawBands() {
    for (;;) {
        const size_t band = nextBand_.fetch_add(1, std::memory_order_relaxed);
        if (band >= binsUsed_) return;
        DrawBand(band);
    }
}

void RasterQueue::WorkerLoop() {
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_) return;
            seen = generation_;
        }
        DrawBands();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (--busy_ == 0) done_.notify_one();
        }
    }
}

void RasterQueue::Finish() {
    if (binsUsed_ > 0) {
        nextBand_.store(0, std::memory_order_relaxed);
        if (!workers_.empty()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++generation_;
                busy_ = static_cast<int>(workers_.size());
            }
            wake_.notify_all();
        }
        DrawBands();
        if (!workers_.empty()) {
            std::unique_lock<std::mutex> lock(mutex_);
            done_.wait(lock, [&] { return busy_ == 0; });
        }
    }
    for (size_t b = 0; b < binsUsed_; ++b) bins_[b].clear();
    binsUsed_ = 0;
    bandRows_ = 0;
    draws_.clear();
    triangles_.clear();
    lines_.clear();
    points_.clear();
    clears_.clear();
    for (DirectDrawSurface7* s : marked_) s->ClearPendingWork();
    marked_.clear();
}

}  // namespace d3d
