// "FONT": 85 characters in two sizes on a 128 x 128 image, white on black (black is the
// colour key). Text draws every glyph as a fixed 10 x 12 (or 5 x 8) cell and moves the pen a
// fixed 11 (or 6) pixels plus the glyph's HotSpotX, so glyphs sit at the left of their cells
// and HotSpotX narrows the advance to the ink's width: proportional spacing. Glyphs that reach
// below the baseline are drawn higher in their cell and lowered by HotSpotY. Letters, digits
// and signs come from a DejaVu font (Debian's fonts-dejavu-core); the four arrows the key help
// names with "^", "_", "{" and "}" are drawn here.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "resources/BinaryIo.h"
#include "stb_truetype.h"
#include "tools/assetgen/ContentBuilders.h"
#include "tools/assetgen/MeshMath.h"

namespace {

// Map position p (1 to 85) is frame p - 1 in the large set and 85 + p - 1 in the small one.
constexpr char kCharacterMap[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234567890.:,;-()|!?'%$*{}^_+/\\ @";
constexpr int kMapLength = sizeof(kCharacterMap) - 1;
static_assert(kMapLength == 85);
constexpr int kFrameCount = 171;
constexpr int kImageSize = 128;

struct GlyphSet {
    const char* fontFile;
    float pixelHeight;  // the font's em in pixels
    int cellWidth, cellHeight;
    int columns, pitchX;  // cells per row and their spacing (large cells keep a black column apart)
    int top;              // first row of the set in the image
    int advance;          // the pen step text uses before HotSpotX
    int letterGap;        // pixels of space after a glyph's ink
    int arrowSize;        // width and height of the drawn arrows
    int lineBreakHotSpot;  // HotSpotX of "@", see below
    // Coverage below inkLow is dropped and above inkHigh is full: the large set keeps its soft
    // edges, the small one is sharpened, since at 5 pixels grey edges only blur.
    float inkLow, inkHigh;
};

constexpr char kFontFolder[] = "/usr/share/fonts/truetype/dejavu/";

// "@" breaks the line and is never drawn; its HotSpotX applies to the next line's first
// glyph. Large text is drawn in 3D, where the line restarts one advance too far right, and
// small text is blitted, where it restarts 4 pixels too far right; these undo that.
const GlyphSet kLarge{.fontFile = "DejaVuSans-Bold.ttf",
                      .pixelHeight = 12.0f,
                      .cellWidth = 10,
                      .cellHeight = 12,
                      .columns = 11,
                      .pitchX = 11,
                      .top = 0,
                      .advance = 11,
                      .letterGap = 1,
                      .arrowSize = 9,
                      .lineBreakHotSpot = -11,
                      .inkLow = 0.0f,
                      .inkHigh = 0.87f};
const GlyphSet kSmall{.fontFile = "DejaVuSansCondensed.ttf",
                      .pixelHeight = 8.0f,
                      .cellWidth = 5,
                      .cellHeight = 8,
                      .columns = 25,
                      .pitchX = 5,
                      .top = 96,
                      .advance = 6,
                      .letterGap = 1,
                      .arrowSize = 5,
                      .lineBreakHotSpot = -4,
                      .inkLow = 0.05f,
                      .inkHigh = 0.55f};

struct Cell {
    int left, top;
};

Cell CellOf(const GlyphSet& set, int index) {
    return {(index % set.columns) * set.pitchX, set.top + (index / set.columns) * set.cellHeight};
}

// The arrows as pixel art, pointing up; the other three are this turned. Drawn crisp: a blurred
// arrow of five pixels no longer reads as one.
constexpr const char* kArrowLarge[] = {
    "....#....", "...###...", "..#####..", ".#######.", "#########",
    "...###...", "...###...", "...###...", "...###...",
};
constexpr const char* kArrowSmall[] = {"..#..", ".###.", "#####", "..#..", "..#.."};

struct Glyph {
    int inkWidth = 0;
    int descent = 0;  // pixels below the baseline
};

// Draws an arrow standing on the baseline at the left of the cell.
Glyph DrawArrow(Raster& image, const GlyphSet& set, Cell cell, char which) {
    const int n = set.arrowSize;
    const char* const* rows = n == 9 ? kArrowLarge : kArrowSmall;
    const int baseline = cell.top + set.cellHeight;
    for (int py = 0; py < n; ++py) {
        for (int px = 0; px < n; ++px) {
            // Where this pixel lies on the upward arrow.
            int u = px, v = py;
            if (which == '_') v = n - 1 - py;
            if (which == '{') std::swap(u, v);
            if (which == '}') {
                u = py;
                v = n - 1 - px;
            }
            const float c = rows[v][u] == '#' ? 1.0f : 0.0f;
            image.At(cell.left + px, baseline - n + py) = Rgb{c, c, c};
        }
    }
    return {n, 0};
}

class TrueTypeFont {
  public:
    explicit TrueTypeFont(const std::string& path) : bytes_(ReadWholeFile(path)) {
        if (!stbtt_InitFont(&info_, bytes_.data(), stbtt_GetFontOffsetForIndex(bytes_.data(), 0))) {
            throw std::runtime_error(path + " is not a TrueType font");
        }
    }

    // Draws the character at the left of the cell, squeezed to fit it, baseline at the cell's
    // bottom or, for a glyph with a descender, raised by the descender's depth.
    Glyph Draw(Raster& image, const GlyphSet& set, Cell cell, char c) {
        const float scale = stbtt_ScaleForMappingEmToPixels(&info_, set.pixelHeight);
        float sx = scale, sy = scale;
        int x0, y0, x1, y1;
        stbtt_GetCodepointBitmapBox(&info_, c, sx, sy, &x0, &y0, &x1, &y1);
        if (x1 - x0 > set.cellWidth) {
            sx *= static_cast<float>(set.cellWidth) / (x1 - x0 + 0.5f);
            stbtt_GetCodepointBitmapBox(&info_, c, sx, sy, &x0, &y0, &x1, &y1);
        }
        if (y1 - y0 > set.cellHeight) {
            sy *= static_cast<float>(set.cellHeight) / (y1 - y0 + 0.5f);
            stbtt_GetCodepointBitmapBox(&info_, c, sx, sy, &x0, &y0, &x1, &y1);
        }
        const int w = x1 - x0, h = y1 - y0;
        if (w <= 0 || h <= 0) return {};
        std::vector<unsigned char> coverage(static_cast<size_t>(w) * h);
        stbtt_MakeCodepointBitmap(&info_, coverage.data(), w, h, w, sx, sy, c);
        Glyph glyph{w, std::max(0, y1)};
        const int baseline = cell.top + set.cellHeight - glyph.descent;
        for (int py = 0; py < h; ++py) {
            for (int px = 0; px < w; ++px) {
                const int y = baseline + y0 + py;
                if (y < cell.top || y >= cell.top + set.cellHeight || px >= set.cellWidth) continue;
                const float v = SmoothStep(set.inkLow, set.inkHigh, coverage[py * w + px] / 255.0f);
                image.At(cell.left + px, y) = Rgb{v, v, v};
            }
        }
        return glyph;
    }

    int SpaceWidth(const GlyphSet& set) const {
        int advance, bearing;
        stbtt_GetCodepointHMetrics(&info_, ' ', &advance, &bearing);
        return static_cast<int>(
            std::lround(advance * stbtt_ScaleForMappingEmToPixels(&info_, set.pixelHeight)));
    }

  private:
    std::vector<uint8_t> bytes_;
    stbtt_fontinfo info_{};
};

void DrawSet(FontAtlas& atlas, const GlyphSet& set, int firstFrame) {
    TrueTypeFont font(std::string(kFontFolder) + set.fontFile);
    for (int i = 0; i < kMapLength; ++i) {
        const char c = kCharacterMap[i];
        const Cell cell = CellOf(set, i);
        Glyph glyph;
        int width = 0;
        if (c == '^' || c == '_' || c == '{' || c == '}') {
            glyph = DrawArrow(atlas.image, set, cell, c);
            width = glyph.inkWidth + set.letterGap;
        } else if (c == ' ') {
            width = font.SpaceWidth(set);
        } else {
            glyph = font.Draw(atlas.image, set, cell, c);
            width = glyph.inkWidth + set.letterGap;
        }
        SurfaceFrame& frame = atlas.frames[firstFrame + i];
        frame.Left = cell.left;
        frame.Top = cell.top;
        frame.Right = cell.left + set.cellWidth;
        frame.Bottom = cell.top + set.cellHeight;
        frame.HotSpotX =
            static_cast<int16_t>(c == '@' ? set.lineBreakHotSpot : width - set.advance);
        frame.HotSpotY = static_cast<int16_t>(glyph.descent);
    }
}

}  // namespace

FontAtlas BuildFontAtlas() {
    FontAtlas atlas{Raster(kImageSize, kImageSize), std::vector<SurfaceFrame>(kFrameCount)};
    DrawSet(atlas, kLarge, 0);
    DrawSet(atlas, kSmall, kMapLength);
    // The last frame is not used by any text: an empty small cell after the set.
    const Cell spare = CellOf(kSmall, kMapLength);
    atlas.frames[kFrameCount - 1] = {
        spare.left, spare.top, spare.left + kSmall.cellWidth, spare.top + kSmall.cellHeight, 0, 0};
    return atlas;
}
