// velmora-replay: plays a trace recorded with `velmora --headless --trace FILE` on the software
// device or through OpenGL, times it, writes chosen frames, and compares the two renderers.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxError.h"
#include "platform/host/System.h"
#include "tools/velmora-replay/GlPlayer.h"
#include "tools/velmora-replay/SoftPlayer.h"
#include "tools/velmora-replay/Trace.h"

namespace {

const char* const kReplayUsage =
    "usage: velmora-replay FILE [options]     plays a trace made by velmora --headless --trace\n"
    "  --renderer soft|gl  the software device (default) or OpenGL (EGL, Mesa's llvmpipe\n"
    "                      where there is no GPU)\n"
    "  --threads N         threads for the renderer: the device's drawing threads, llvmpipe's\n"
    "                      LP_NUM_THREADS (default: the number of cores)\n"
    "  --scale N           the software device draws at N times the recorded size, 1 to 4\n"
    "                      (default 1), as velmora --scale; shots are the full-size frames\n"
    "  --repeat K          play the whole trace K times, for timing (default 1)\n"
    "  --shot N:FILE       write the frame presented after pass N as PNG (repeatable); with\n"
    "                      --compare the software frame and the OpenGL frame side by side\n"
    "  --stats             after the run print one line of frame times and memory\n"
    "  --compare           play on both renderers and print one line:\n"
    "                      frames= threads= soft_ms_p50= soft_ms_p95= gl_ms_p50= gl_ms_p95=\n"
    "                      speedup= soft_cpu_ms= gl_cpu_ms= mean_abs_diff= within16=\n"
    "  --compare-from N    compare the pictures from pass N on (default 1), e.g. after a fade-in\n"
    "  --help              this text\n";

struct Options {
    std::string file;
    std::string renderer = "soft";
    int threads = 0;  // 0: the number of cores
    int scale = 1;    // the software device's internal resolution
    int repeat = 1;
    int compareFrom = 1;
    bool stats = false;
    bool compare = false;
    std::multimap<int, std::string> shots;
};

std::optional<Options> ParseArgs(int argc, char** argv, std::string& error, bool& help) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        long long n = 0;
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--renderer") {
            if (!value(v) || (v != "soft" && v != "gl")) {
                error = "--renderer needs soft or gl";
                return std::nullopt;
            }
            o.renderer = v;
        } else if (a == "--threads") {
            if (!value(v) || !ParseInt(v, 1, 64, n)) {
                error = "--threads needs a number from 1 to 64";
                return std::nullopt;
            }
            o.threads = static_cast<int>(n);
        } else if (a == "--scale") {
            if (!value(v) || !ParseInt(v, 1, kMaxDisplayScale, n)) {
                error = "--scale needs a number from 1 to " + std::to_string(kMaxDisplayScale);
                return std::nullopt;
            }
            o.scale = static_cast<int>(n);
        } else if (a == "--repeat") {
            if (!value(v) || !ParseInt(v, 1, 1000000, n)) {
                error = "--repeat needs a number from 1";
                return std::nullopt;
            }
            o.repeat = static_cast<int>(n);
        } else if (a == "--shot") {
            if (!value(v)) {
                error = "--shot needs N:FILE with a pass number from 1";
                return std::nullopt;
            }
            if (!AddShot(v, o.shots, error)) return std::nullopt;
        } else if (a == "--compare-from") {
            if (!value(v) || !ParseInt(v, 1, 100000000, n)) {
                error = "--compare-from needs a pass number from 1";
                return std::nullopt;
            }
            o.compareFrom = static_cast<int>(n);
        } else if (a == "--stats") {
            o.stats = true;
        } else if (a == "--compare") {
            o.compare = true;
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option '" + a + "'";
            return std::nullopt;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            error = "one trace file only";
            return std::nullopt;
        }
    }
    if (!help && o.file.empty()) {
        error = "no trace file given";
        return std::nullopt;
    }
    if (o.compareFrom != 1 && !o.compare) {
        error = "--compare-from needs --compare";
        return std::nullopt;
    }
    if (o.compare && o.renderer != "soft") {
        error = "--compare plays both renderers; leave out --renderer";
        return std::nullopt;
    }
    // The OpenGL player draws what was recorded, at the recorded size.
    if (o.scale != 1 && (o.compare || o.renderer != "soft")) {
        error = "--scale is for the software device; leave out --compare and --renderer gl";
        return std::nullopt;
    }
    return o;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// The time of frame p (0 to 1) in the sorted list, by the same rank rule as velmora --stats.
double Percentile(std::vector<double> ms, double p) {
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[static_cast<size_t>(p * static_cast<double>(ms.size() - 1) + 0.5)];
}

struct Timing {
    std::vector<double> frameMs;
    double seconds = 0, cpuSeconds = 0;
    std::optional<double> rssAt1000;  // none when fewer than 1000 frames were played
    double rssEnd = 0;
};

using PlayerFactory = std::function<std::unique_ptr<replay::Player>()>;

bool WriteShot(const std::string& path, const std::vector<uint16_t>& pixels, int w, int h) {
    if (WritePng565(path, pixels.data(), w, h, w)) return true;
    std::cerr << "velmora-replay: cannot write " << path << std::endl;
    return false;
}

// Plays the trace repeat times on fresh players; frame times run from flip to flip (the first
// frame of each round from the round's start), shots come from the first round.
Timing TimedRuns(const replay::Trace& trace, const PlayerFactory& make, int repeat,
                 const std::multimap<int, std::string>& shots, bool& shotFailed) {
    Timing t;
    int frames = 0;
    const double cpu0 = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < repeat; ++round) {
        std::unique_ptr<replay::Player> player = make();
        auto last = std::chrono::steady_clock::now();
        replay::Play(trace, *player, replay::PlayOptions{}, [&](int pass) {
            const auto now = std::chrono::steady_clock::now();
            t.frameMs.push_back(std::chrono::duration<double, std::milli>(now - last).count());
            ++frames;
            if (frames == 1000) t.rssAt1000 = ResidentMemoryMb();
            if (round == 0) {
                const auto [first, last] = shots.equal_range(pass);
                for (auto it = first; it != last; ++it) {
                    std::vector<uint16_t> pixels;
                    int w = 0, h = 0;
                    player->PresentedFrame(pixels, w, h);
                    shotFailed |= !WriteShot(it->second, pixels, w, h);
                }
            }
            last = std::chrono::steady_clock::now();  // shots are not part of a frame's time
        });
    }
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.cpuSeconds = CpuSeconds() - cpu0;
    t.rssEnd = ResidentMemoryMb();
    return t;
}

// Forwards every call to two players; after each Flip compares their frames.
class TeePlayer : public replay::Player {
  public:
    TeePlayer(replay::Player& a, replay::Player& b) : a_(a), b_(b) {}
#define BOTH(call) \
    a_.call;       \
    b_.call
    void CooperativeLevel(int32_t f) override {
        BOTH(CooperativeLevel(f));
    }
    void DisplayMode(int32_t w, int32_t h, int32_t bpp) override {
        BOTH(DisplayMode(w, h, bpp));
    }
    void CreateSurface(uint32_t id, const DDSURFACEDESC2& d) override {
        BOTH(CreateSurface(id, d));
    }
    void BackBuffer(uint32_t p, uint32_t b) override {
        BOTH(BackBuffer(p, b));
    }
    void AttachDepth(uint32_t t, uint32_t d) override {
        BOTH(AttachDepth(t, d));
    }
    void SurfacePixels(uint32_t id, int32_t x, int32_t y, int32_t w, int32_t h,
                       const uint16_t* p) override {
        BOTH(SurfacePixels(id, x, y, w, h, p));
    }
    void ReleaseSurface(uint32_t id) override {
        BOTH(ReleaseSurface(id));
    }
    void SetColorKey(uint32_t id, int32_t f, const DDCOLORKEY& k) override {
        BOTH(SetColorKey(id, f, k));
    }
    void Blt(uint32_t d, const RECT* dr, uint32_t s, const RECT* sr, int32_t f) override {
        BOTH(Blt(d, dr, s, sr, f));
    }
    void BltFast(uint32_t d, int32_t x, int32_t y, uint32_t s, const RECT& r, int32_t f) override {
        BOTH(BltFast(d, x, y, s, r, f));
    }
    void ColorFill(uint32_t d, const RECT* r, int32_t c) override {
        BOTH(ColorFill(d, r, c));
    }
    void StretchBlt(uint32_t d, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t s, int32_t sx,
                    int32_t sy, int32_t sw, int32_t sh) override {
        BOTH(StretchBlt(d, x, y, w, h, s, sx, sy, sw, sh));
    }
    void Flip(uint32_t p, uint32_t o) override {
        BOTH(Flip(p, o));
    }
    void PresentedFrame(std::vector<uint16_t>& pixels, int& w, int& h) override {
        a_.PresentedFrame(pixels, w, h);
    }
    void CreateDevice(uint32_t id, uint32_t t) override {
        BOTH(CreateDevice(id, t));
    }
    void SetRenderTarget(uint32_t d, uint32_t t, int32_t f) override {
        BOTH(SetRenderTarget(d, t, f));
    }
    void BeginScene(uint32_t d) override {
        BOTH(BeginScene(d));
    }
    void EndScene(uint32_t d) override {
        BOTH(EndScene(d));
    }
    void Clear(uint32_t d, int32_t n, const D3DRECT* r, int32_t f, int32_t c, float z) override {
        BOTH(Clear(d, n, r, f, c, z));
    }
    void RenderState(uint32_t d, int32_t s, int32_t v) override {
        BOTH(RenderState(d, s, v));
    }
    void StageState(uint32_t d, int32_t s, int32_t t, int32_t v) override {
        BOTH(StageState(d, s, t, v));
    }
    void SetTexture(uint32_t d, int32_t s, uint32_t t) override {
        BOTH(SetTexture(d, s, t));
    }
    void SetTransform(uint32_t d, int32_t t, const D3DMATRIX& m, bool mul) override {
        BOTH(SetTransform(d, t, m, mul));
    }
    void SetMaterial(uint32_t d, const D3DMATERIAL7& m) override {
        BOTH(SetMaterial(d, m));
    }
    void SetLight(uint32_t d, int32_t i, const D3DLIGHT7& l) override {
        BOTH(SetLight(d, i, l));
    }
    void LightEnable(uint32_t d, int32_t i, bool e) override {
        BOTH(LightEnable(d, i, e));
    }
    void SetViewport(uint32_t d, const D3DVIEWPORT7& v) override {
        BOTH(SetViewport(d, v));
    }
    void Draw(uint32_t d, const replay::DrawCall& c) override {
        BOTH(Draw(d, c));
    }
    void DrawVB(uint32_t d, const replay::DrawVBCall& c) override {
        BOTH(DrawVB(d, c));
    }
    void CreateVertexBuffer(uint32_t id, const D3DVERTEXBUFFERDESC& d) override {
        BOTH(CreateVertexBuffer(id, d));
    }
    void LockVertexBuffer(uint32_t id, int32_t f) override {
        BOTH(LockVertexBuffer(id, f));
    }
    void UnlockVertexBuffer(uint32_t id, const uint8_t* d, uint32_t n) override {
        BOTH(UnlockVertexBuffer(id, d, n));
    }
    void OptimizeVertexBuffer(uint32_t id) override {
        BOTH(OptimizeVertexBuffer(id));
    }
    void ProcessVertices(const replay::ProcessCall& c) override {
        BOTH(ProcessVertices(c));
    }
#undef BOTH

  private:
    replay::Player& a_;
    replay::Player& b_;
};

struct CompareResult {
    size_t frames = 0;
    double softP50 = 0, softP95 = 0, glP50 = 0, glP95 = 0, softCpuMs = 0, glCpuMs = 0;
    double meanAbsDiff = 0, within16 = 0;
};

// Expands a 565 pixel to 8-bit channels.
void Channels(uint16_t p, int c[3]) {
    const uint32_t rgb = RgbFrom565(p);
    c[0] = static_cast<int>(rgb >> 16);
    c[1] = static_cast<int>((rgb >> 8) & 0xFF);
    c[2] = static_cast<int>(rgb & 0xFF);
}

CompareResult Compare(const replay::Trace& trace, int threads, int repeat, int compareFrom,
                      const std::multimap<int, std::string>& shots, bool& shotFailed) {
    CompareResult r;
    auto context = std::make_shared<replay::GlContext>(threads);
    // Timings: each renderer alone, with the program's own states.
    const std::multimap<int, std::string> none;
    const Timing soft = TimedRuns(
        trace, [] { return std::make_unique<replay::SoftPlayer>(); }, repeat, none, shotFailed);
    const Timing gl = TimedRuns(
        trace, [context] { return std::make_unique<replay::GlPlayer>(*context, true); }, repeat,
        none, shotFailed);
    r.frames = soft.frameMs.size();
    r.softP50 = Percentile(soft.frameMs, 0.5);
    r.softP95 = Percentile(soft.frameMs, 0.95);
    r.glP50 = Percentile(gl.frameMs, 0.5);
    r.glP95 = Percentile(gl.frameMs, 0.95);
    r.softCpuMs = soft.cpuSeconds * 1000.0 / std::max<double>(1.0, soft.frameMs.size());
    r.glCpuMs = gl.cpuSeconds * 1000.0 / std::max<double>(1.0, gl.frameMs.size());

    // Pictures: both at once, every frame, without dithering (llvmpipe has none).
    replay::SoftPlayer softPlayer;
    replay::GlPlayer glPlayer(*context, false);
    TeePlayer both(softPlayer, glPlayer);
    replay::PlayOptions options;
    options.ditherOff = true;
    uint64_t pixels = 0, close = 0, closeBefore = 0;
    double diffSum = 0;
    std::vector<uint16_t> a, b;
    replay::Play(trace, both, options, [&](int pass) {
        int wa = 0, ha = 0, wb = 0, hb = 0;
        softPlayer.PresentedFrame(a, wa, ha);
        glPlayer.PresentedFrame(b, wb, hb);
        if (wa != wb || ha != hb) throw std::runtime_error("the renderers' frames differ in size");
        for (size_t i = 0; pass >= compareFrom && i < a.size(); ++i) {
            int ca[3], cb[3];
            Channels(a[i], ca);
            Channels(b[i], cb);
            int worst = 0;
            for (int k = 0; k < 3; ++k) {
                const int d = std::abs(ca[k] - cb[k]);
                diffSum += d;
                worst = std::max(worst, d);
            }
            close += worst <= 16;
        }
        if (pass >= compareFrom) {
            pixels += a.size();
            // A per-pass account for finding where the renderers part.
            if (std::getenv("VELMORA_REPLAY_FRAME_DIFF")) {
                // gl_fnv: a hash of the GL frame, to check that a change to the GL side
                // leaves its pictures as they were.
                uint64_t hash = 14695981039346656037ull;
                for (const uint16_t px : b) hash = (hash ^ px) * 1099511628211ull;
                std::fprintf(
                    stderr, "pass %d within16 %.4f gl_fnv %016llx\n", pass,
                    static_cast<double>(close - closeBefore) / static_cast<double>(a.size()),
                    static_cast<unsigned long long>(hash));
            }
            closeBefore = close;
        }
        const auto [first, last] = shots.equal_range(pass);
        for (auto it = first; it != last; ++it) {
            // Side by side: the software device on the left, OpenGL on the right.
            std::vector<uint16_t> pair(static_cast<size_t>(wa) * 2 * ha);
            for (int y = 0; y < ha; ++y) {
                std::copy_n(&a[static_cast<size_t>(y) * wa], wa,
                            &pair[static_cast<size_t>(y) * 2 * wa]);
                std::copy_n(&b[static_cast<size_t>(y) * wa], wa,
                            &pair[static_cast<size_t>(y) * 2 * wa + wa]);
            }
            shotFailed |= !WriteShot(it->second, pair, wa * 2, ha);
        }
    });
    r.meanAbsDiff = pixels ? diffSum / (3.0 * static_cast<double>(pixels)) : 0;
    r.within16 = pixels ? static_cast<double>(close) / static_cast<double>(pixels) : 0;
    return r;
}

void PrintStats(const Timing& t, int threads, const std::string& renderer) {
    const size_t frames = t.frameMs.size();
    char pass1000[32] = "n/a";  // 0.0 would pass for a measurement
    if (t.rssAt1000) std::snprintf(pass1000, sizeof pass1000, "%.1f", *t.rssAt1000);
    // The replay runs no animation records; the key stays so that the line reads like velmora's.
    std::printf(
        "frames=%zu seconds=%.3f fps=%.1f frame_ms_p50=%.3f frame_ms_p95=%.3f frame_ms_p99=%.3f "
        "peak_rss_mb=%.1f rss_mb_pass1000=%s rss_mb_end=%.1f animations_max=0 threads=%d "
        "renderer=%s cpu_ms=%.3f\n",
        frames, t.seconds, t.seconds > 0 ? static_cast<double>(frames) / t.seconds : 0.0,
        Percentile(t.frameMs, 0.50), Percentile(t.frameMs, 0.95), Percentile(t.frameMs, 0.99),
        PeakResidentMemoryMb(), pass1000, t.rssEnd, threads, renderer.c_str(),
        frames ? t.cpuSeconds * 1000.0 / static_cast<double>(frames) : 0.0);
}

int Run(int argc, char** argv) {
    std::string error;
    bool help = false;
    const auto options = ParseArgs(argc, argv, error, help);
    if (help) {
        std::cout << kReplayUsage;
        return 0;
    }
    if (!options) {
        std::cerr << "velmora-replay: " << error << " (see --help)" << std::endl;
        return 2;
    }
    const Options& o = *options;
    if (o.threads > 0) SetDeviceThreads(o.threads);
    const int threads = DeviceThreads();
    try {
        const replay::Trace trace = replay::LoadTrace(o.file);
        if (!trace.complete) {
            std::cerr << "velmora-replay: warning: " << o.file
                      << " has no end record (the recording was cut short); playing what is there"
                      << std::endl;
        }
        // A frame the trace does not hold is refused before anything is played or written.
        if (!o.shots.empty() && o.shots.rbegin()->first > static_cast<int64_t>(trace.flips)) {
            std::cerr << "velmora-replay: --shot " << o.shots.rbegin()->first << " is after "
                      << o.file << "'s last pass (" << trace.flips << ")" << std::endl;
            return 1;
        }
        // Nothing compared would read as a total disagreement.
        if (o.compare && o.compareFrom > static_cast<int64_t>(trace.flips)) {
            std::cerr << "velmora-replay: --compare-from " << o.compareFrom << " is after "
                      << o.file << "'s last pass (" << trace.flips << ")" << std::endl;
            return 1;
        }
        bool shotFailed = false;
        if (o.compare) {
            const CompareResult c =
                Compare(trace, threads, o.repeat, o.compareFrom, o.shots, shotFailed);
            std::printf(
                "frames=%zu threads=%d soft_ms_p50=%.3f soft_ms_p95=%.3f gl_ms_p50=%.3f "
                "gl_ms_p95=%.3f speedup=%.2f soft_cpu_ms=%.3f gl_cpu_ms=%.3f mean_abs_diff=%.3f "
                "within16=%.4f\n",
                c.frames, threads, c.softP50, c.softP95, c.glP50, c.glP95,
                c.softP50 > 0 ? c.glP50 / c.softP50 : 0.0, c.softCpuMs, c.glCpuMs, c.meanAbsDiff,
                c.within16);
            return shotFailed ? 1 : 0;
        }
        PlayerFactory make;
        if (o.renderer == "gl") {
            auto context = std::make_shared<replay::GlContext>(threads);
            make = [context] { return std::make_unique<replay::GlPlayer>(*context, true); };
        } else {
            make = [scale = o.scale] { return std::make_unique<replay::SoftPlayer>(scale); };
        }
        const Timing t = TimedRuns(trace, make, o.repeat, o.shots, shotFailed);
        if (o.stats) PrintStats(t, threads, o.renderer);
        return shotFailed ? 1 : 0;
    } catch (const replay::TraceError& e) {
        // Every trace error names the file (and the record) itself.
        std::cerr << "velmora-replay: " << e.what() << std::endl;
        return 1;
    } catch (const DxError& e) {
        std::cerr << "velmora-replay: the device refused a call: " << e.what() << std::endl;
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "velmora-replay: " << e.what() << std::endl;
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return StatusAfterStandardOutput("velmora-replay", Run(argc, argv));
}
