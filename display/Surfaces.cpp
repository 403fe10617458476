#include "display/Surfaces.h"

#include <filesystem>

#include "display/Display.h"
#include "errors/RuntimeError.h"

void ResetSurfaceTables() {
    TextureList.assign(1, SurfaceRecord{});
    SpriteSurfaceList.assign(1, SurfaceRecord{});
    LastTextureIndex = 0;
    LastSpriteSurfaceIndex = 0;
    SpecialTextures.assign(3, 0);
    EffectTextures.assign(3, 0);
    BackgroundTextures.assign(2, 0);
    BackgroundSurfaces.assign(2, 0);
    FontSurfaces.assign(1, 0);
}

namespace {

// The slot rule every table shares: element 0 is reused until it holds something, then the
// table grows by one slot per addition.
template <typename Record>
int32_t NextSlot(std::vector<Record>& list, int32_t& last) {
    if (last > 0 || list[0].Loaded != 0) {
        last += 1;
        list.resize(static_cast<size_t>(last) + 1);
    } else {
        list.assign(1, Record{});
    }
    return last;
}

void Register(std::vector<int32_t>& table, size_t element, int32_t slot) {
    if (table.size() <= element) table.resize(element + 1);
    table[element] = slot;
}

}  // namespace

int32_t LoadSurface(const std::string& path, std::vector<SurfaceFrame>& frames, int32_t& width,
                    int32_t& height, int32_t extraCaps, int32_t colorKey, const std::string& name,
                    int16_t archiveIndex) {
    const int32_t slot = NextSlot(SpriteSurfaceList, LastSpriteSurfaceIndex);
    DDSURFACEDESC2 desc;
    desc.lFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    if (colorKey >= 0) {
        desc.lFlags |= DDSD_CKSRCBLT;
        desc.ddckCKSrcBlt.low = desc.ddckCKSrcBlt.high = colorKey;
    }
    desc.ddsCaps.lCaps = extraCaps | DDSCAPS_OFFSCREENPLAIN;
    desc.lWidth = width;
    desc.lHeight = height;
    SurfaceDesc = desc;

    SurfacePtr surface;
    if (archiveIndex == -1) {
        const bool hasFile = !path.empty() && std::filesystem::is_regular_file(path);
        surface = hasFile ? DirectDraw->CreateSurfaceFromFile(path, desc)
                          : DirectDraw->CreateSurface(desc);
    } else {
        // Archive entries arrive with the resource loader.
        throw RuntimeError(rt::FileNotFound, "archive surfaces are not available: " + name);
    }

    SurfaceRecord& record = SpriteSurfaceList[static_cast<size_t>(slot)];
    record.Surface = surface;
    record.LastFrame = static_cast<uint8_t>(frames.empty() ? 0 : frames.size() - 1);
    record.Frames = frames;
    record.Name = name;
    record.Loaded = 1;
    if (name == "BGF1") Register(BackgroundSurfaces, 0, slot);
    if (name == "BGF2") Register(BackgroundSurfaces, 1, slot);
    if (name == "FONT") Register(FontSurfaces, 0, slot);
    return slot;
}
