#include "display/Surfaces.h"

#include <filesystem>

#include "app/Tables.h"
#include "display/Display.h"
#include "errors/RuntimeError.h"
#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"
#include "resources/Archive.h"
#include "resources/ScratchFile.h"

void ResetSurfaceTables() {
    ResetTable(TextureList, LastTextureIndex);
    ResetTable(SpriteSurfaceList, LastSpriteSurfaceIndex);
    SpecialTextures.assign(3, 0);
    EffectTextures.assign(3, 0);
    BackgroundTextures.assign(2, 0);
    BackgroundSurfaces.assign(2, 0);
    FontSurfaces.assign(1, 0);
}

namespace {

bool SlotInUse(const SurfaceRecord& r) {
    return r.Loaded != 0;
}

void Register(std::vector<int32_t>& table, size_t element, int32_t slot) {
    if (table.size() <= element) table.resize(element + 1);
    table[element] = slot;
}

DataSource ArchiveSource(int16_t archiveIndex, const std::string& name, int type) {
    DataSource source;
    if (archiveIndex >= 0 && static_cast<size_t>(archiveIndex) < Archives.size()) {
        source.File = Archives[static_cast<size_t>(archiveIndex)].Path;
    }
    source.Entry = name;
    source.EntryType = type;
    return source;
}

// The image of an archive entry, or an empty surface when the archive has no such image; the
// frame table of the same name, when there is one, replaces the caller's.
SurfacePtr CreateFromArchive(int16_t archiveIndex, const std::string& name, DDSURFACEDESC2& desc,
                             std::vector<SurfaceFrame>& frames) {
    if (ExtractEntry(archiveIndex, name, EntryTypeImage) != 1) {
        return DirectDraw->CreateSurface(desc);
    }
    const DataSource imageSource = ArchiveSource(archiveIndex, name, EntryTypeImage);
    const std::vector<uint8_t> bytes = TakeScratchFile(imageSource);
    SurfacePtr surface;
    try {
        surface = DirectDraw->CreateSurfaceFromMemory(bytes, desc);
    } catch (const DxError& e) {
        if (e.Number() != DDERR_INVALIDPIXELFORMAT) throw;
        ThrowDataError(rt::InvalidFileFormat, imageSource, "the image does not decode");
    }
    if (ExtractEntry(archiveIndex, name, EntryTypeFrameTable) == 1) {
        const DataSource tableSource = ArchiveSource(archiveIndex, name, EntryTypeFrameTable);
        ReadSurfaceFrames(TakeScratchFile(tableSource), frames, tableSource);
    }
    return surface;
}

SurfacePtr CreateFromFile(const std::string& path, DDSURFACEDESC2& desc) {
    if (path.empty() || !std::filesystem::is_regular_file(path)) {
        return DirectDraw->CreateSurface(desc);
    }
    try {
        return DirectDraw->CreateSurfaceFromFile(path, desc);
    } catch (const DxError& e) {
        if (e.Number() != DDERR_INVALIDPIXELFORMAT) throw;
        DataSource source;
        source.File = path;
        ThrowDataError(rt::InvalidFileFormat, source, "the image does not decode");
    }
}

void FillRecord(SurfaceRecord& record, SurfacePtr surface, const std::vector<SurfaceFrame>& frames,
                const std::string& name) {
    record.Surface = std::move(surface);
    record.LastFrame = static_cast<uint8_t>(frames.empty() ? 0 : frames.size() - 1);
    record.Frames = frames;
    record.Name = name;
    record.Loaded = 1;
}

}  // namespace

int32_t LoadSurface(const std::string& path, std::vector<SurfaceFrame>& frames, int32_t& width,
                    int32_t& height, int32_t extraCaps, int32_t colorKey, const std::string& name,
                    int16_t archiveIndex) {
    if (frames.size() > 256) {
        throw RuntimeError(rt::SubscriptOutOfRange, name + ": more than 256 frames");
    }
    DDSURFACEDESC2 desc;
    desc.lFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    if (colorKey >= 0) {
        desc.lFlags |= DDSD_CKSRCBLT;
        desc.ddckCKSrcBlt.low = desc.ddckCKSrcBlt.high = colorKey;
    }
    desc.ddsCaps.lCaps = extraCaps | DDSCAPS_OFFSCREENPLAIN;
    desc.lWidth = width;
    desc.lHeight = height;
    SurfaceDesc.lFlags = desc.lFlags;
    SurfaceDesc.lWidth = width;
    SurfaceDesc.lHeight = height;
    SurfaceDesc.ddsCaps = desc.ddsCaps;
    SurfaceDesc.ddckCKSrcBlt = desc.ddckCKSrcBlt;

    // The surface is made before the slot is taken, so a failure leaves the list as it was.
    SurfacePtr surface = archiveIndex == -1 ? CreateFromFile(path, desc)
                                            : CreateFromArchive(archiveIndex, name, desc, frames);
    const int32_t slot = NextTableSlot(SpriteSurfaceList, LastSpriteSurfaceIndex, SlotInUse);
    FillRecord(SpriteSurfaceList[static_cast<size_t>(slot)], std::move(surface), frames, name);
    if (name == "BGF1") Register(BackgroundSurfaces, 0, slot);
    if (name == "BGF2") Register(BackgroundSurfaces, 1, slot);
    if (name == "FONT") Register(FontSurfaces, 0, slot);
    return slot;
}
