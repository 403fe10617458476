// "WATERA" and "WATERB": 32 frames of 64 x 64, 16 per sheet in a 4 x 4 grid read row by row,
// played as a loop on the water tiles. Every frame is a sum of travelling waves whose wave
// numbers fit the cell a whole number of times (each cell tiles) and whose phases advance a
// whole number of turns over the 32 frames (the loop closes with an ordinary step). Bright
// lines where the waves cancel read as sunlight caustics; the water is added over the
// seabed, so its base stays dark.
#include <array>
#include <cmath>

#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"

namespace {

constexpr int kCell = 64;
constexpr int kFrames = 32;
constexpr int kCellsPerRow = 4;
constexpr int kFramesPerSheet = 16;

struct Wave {
    int kx, ky;  // whole waves across the cell
    int turns;   // whole phase turns over the loop (sign sets the direction)
    float amplitude;
    float phase;
};
const std::array<Wave, 6> kWaves{{
    {1, 2, 1, 1.0f, 0.0f},
    {-2, 1, 1, 0.8f, 1.3f},
    {3, 1, -1, 0.6f, 2.1f},
    {1, -3, 2, 0.45f, 0.7f},
    {4, 3, -2, 0.3f, 4.0f},
    {-5, 2, 2, 0.25f, 5.2f},
}};

const Rgb kDeep = FromHex(0x04141E);
const Rgb kSwell = FromHex(0x0C2A36);
const Rgb kCaustic = FromHex(0x2E5458);
constexpr float kCausticSharpness = 6.0f;

Raster PaintFrame(int frame) {
    Raster cell(kCell, kCell);
    float total = 0;
    for (const Wave& w : kWaves) total += w.amplitude;
    for (int y = 0; y < kCell; ++y) {
        for (int x = 0; x < kCell; ++x) {
            float s = 0;
            for (const Wave& w : kWaves) {
                s += w.amplitude * std::sin(2 * kPi * (w.kx * x + w.ky * y) / kCell +
                                            2 * kPi * w.turns * frame / kFrames + w.phase);
            }
            s /= total;
            const float caustic = std::pow(1 - std::abs(s), kCausticSharpness);
            cell.At(x, y) = Mix(kDeep, kSwell, (s + 1) / 2) + kCaustic * caustic;
        }
    }
    return cell;
}

}  // namespace

std::array<Raster, 2> PaintWaterSheets() {
    std::array<Raster, 2> sheets{Raster(kCell * kCellsPerRow, kCell * kCellsPerRow),
                                 Raster(kCell * kCellsPerRow, kCell * kCellsPerRow)};
    for (int frame = 0; frame < kFrames; ++frame) {
        const int index = frame % kFramesPerSheet;
        sheets[frame / kFramesPerSheet].Blit(PaintFrame(frame), (index % kCellsPerRow) * kCell,
                                             (index / kCellsPerRow) * kCell);
    }
    return sheets;
}
