#include "display/Text.h"

#include <cmath>
#include <cstring>

#include "core/RuntimeError.h"
#include "core/WholeNumbers.h"
#include "display/Display.h"
#include "platform/dx/D3DConstants.h"
#include "platform/dx/Direct3D.h"
#include "resources/Surfaces.h"

const char* const CharacterMap =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz1234567890.:,;-()|!?'%$*{}^_+/\\ @";

int CharacterPosition(char c) {
    if (c == '\0') return 0;
    const char* p = std::strchr(CharacterMap, c);
    return p == nullptr ? 0 : static_cast<int>(p - CharacterMap) + 1;
}

void DrawText(int32_t destination, const std::string& text, float startX, float startY,
              uint8_t mode, uint8_t size) {
    const bool pixels = mode == 1 || mode == 2;
    const float s = static_cast<float>(size * 0.005);
    float advance, lineHeight, quadWidth = 0, quadHeight = 0;
    int base;
    if (size != 0) {
        base = 0;
        advance = pixels ? 11 : 11 * s;
        lineHeight = pixels ? 16 : 16 * s;
        if (!pixels) {
            quadWidth = 10 * s;
            quadHeight = 12 * s;
        }
    } else {
        base = 85;
        advance = 6;
        lineHeight = 12;
    }
    const float hotSpotScale = pixels ? 1.0f : s;

    // Metrics come from the texture's frames, blits from the surface's: both hold the same
    // table. Only the ones the mode needs must exist.
    const std::vector<SurfaceFrame>& metrics = At(TextureList, At(SpecialTextures, 0)).Frames;
    const SurfaceRecord* font = nullptr;
    DirectDrawSurface7* target = nullptr;
    if (pixels) {
        font = &At(SpriteSurfaceList, At(FontSurfaces, 0));
        target = mode == 1 ? At(SpriteSurfaceList, destination).Surface.get() : BackBuffer.get();
    }

    float x = startX - advance + (pixels ? 2 : 2 * s);
    float y = startY;
    int previous = -1;
    for (char c : text) {
        const int p = CharacterPosition(c);
        x += advance;
        const int frame = base + p - 1;
        if (previous >= 0) x += At(metrics, previous).HotSpotX * hotSpotScale;
        if (c == '@') {
            x = startX + 2 * s;
            y = pixels ? y + lineHeight : y - lineHeight;
        } else if (p != 0 && p != 84 && p != 85) {
            const SurfaceFrame& glyph = At(metrics, frame);
            if (pixels) {
                const float top = y + 2 + glyph.HotSpotY;
                const SurfaceFrame& source = At(font->Frames, frame);
                target->BltFast(RoundToLong(x), RoundToLong(top), font->Surface.get(),
                                RECT{source.Left, source.Top, source.Right, source.Bottom},
                                DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
            } else if (mode == 0) {
                const float top = y - glyph.HotSpotY * s;
                const float u0 = glyph.Left / 128.0f, u1 = glyph.Right / 128.0f;
                const float v0 = glyph.Top / 128.0f, v1 = glyph.Bottom / 128.0f;
                const float xs[4] = {x, x + quadWidth, x + quadWidth, x};
                const float ys[4] = {top, top, top - quadHeight, top - quadHeight};
                const float us[4] = {u0, u1, u1, u0};
                const float vs[4] = {v0, v0, v1, v1};
                for (int i = 0; i < 4; ++i) {
                    GlyphQuad[static_cast<size_t>(i)].x = xs[i];
                    GlyphQuad[static_cast<size_t>(i)].y = ys[i];
                    GlyphQuad[static_cast<size_t>(i)].tu = us[i];
                    GlyphQuad[static_cast<size_t>(i)].tv = vs[i];
                }
                Device->DrawPrimitive(D3DPT_TRIANGLEFAN, 338, GlyphQuad.data(), 4, 1);
            }
        }
        // A character outside the map leaves no previous glyph.
        previous = p != 0 ? frame : -1;
    }
}
