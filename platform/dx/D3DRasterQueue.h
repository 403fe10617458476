// The device's threads. Draw calls are set up on the caller's thread as always (vertices,
// clipping, triangle set-up); what reaches the pixels is queued instead of drawn, sorted into
// bands of rows. When anyone needs the pixels (a blit, a lock, a flip, a device context, the
// end of the device) the queue is finished: every thread takes whole bands, and draws each
// band's primitives in the order they were submitted. A row is only ever drawn by one thread,
// and each row's spans are the ones a single thread would draw, in the same order, so the
// frames are the same bits for every number of threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
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

class RasterQueue final : public SurfaceWork {
  public:
    // threads >= 2: the caller's thread and threads - 1 workers.
    explicit RasterQueue(int threads);
    ~RasterQueue();
    RasterQueue(const RasterQueue&) = delete;
    RasterQueue& operator=(const RasterQueue&) = delete;

    int Threads() const { return static_cast<int>(workers_.size()) + 1; }

    // Takes a copy of the draw's raster state and points draw at it. Returns false when the
    // draw cannot be queued (it samples a surface it draws into) and must be drawn at once,
    // after the queue has been finished.
    bool BeginDraw(RasterDraw& draw, DirectDrawSurface7& target, DirectDrawSurface7* depth,
                   DirectDrawSurface7* texture);
    void AddTriangle(const TriangleSetup& triangle);
    void AddLine(const LineSetup& line);
    void AddPoint(const PointSetup& point);
    void AddClear(const ClearJob& clear, DirectDrawSurface7* target, DirectDrawSurface7* depth);

    bool Empty() const { return bins_.empty(); }
    void Finish() override;

  private:
    enum Kind : uint32_t { kTriangle = 0, kLine = 1, kPoint = 2, kClear = 3 };
    static constexpr int kKindShift = 30;

    void Use(DirectDrawSurface7& surface, uint8_t uses);
    void Bin(Kind kind, size_t index, int32_t yMin, int32_t yMax);
    void SetBands(int32_t height);
    void DrawBands();
    void DrawBand(size_t band);
    void WorkerLoop();

    // The queued work, valid until Finish returns.
    std::deque<RasterDraw> draws_;  // stable addresses: span contexts point into them
    std::vector<TriangleSetup> triangles_;
    std::vector<LineSetup> lines_;
    std::vector<PointSetup> points_;
    std::vector<ClearJob> clears_;
    std::vector<std::vector<uint32_t>> bins_;  // per band: kind << kKindShift | index
    size_t binsUsed_ = 0;
    int32_t bandRows_ = 0;
    std::vector<DirectDrawSurface7*> marked_;

    // Hand-over to the workers.
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    uint64_t generation_ = 0;
    int busy_ = 0;
    bool stop_ = false;
    std::atomic<size_t> nextBand_{0};
};

}  // namespace d3d
