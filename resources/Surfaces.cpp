#include "resources/Surfaces.h"

#include <filesystem>

#include "core/DirectXObjects.h"
#include "core/RuntimeError.h"
#include "core/Tables.h"
#include "platform/dx/Direct3D.h"
#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"
#include "platform/host/FilePath.h"
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
    if (path.empty() || !std::filesystem::is_regular_file(FilePath(path))) {
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

// The description both loaders build; the shared description keeps it (and its pixel format).
DDSURFACEDESC2 Describe(int32_t flags, const DDSCAPS2& caps, int32_t width, int32_t height,
                        int32_t colorKey, const std::string& name,
                        const std::vector<SurfaceFrame>& frames) {
    if (frames.size() > 256) {
        throw RuntimeError(rt::SubscriptOutOfRange, name + ": more than 256 frames");
    }
    DDSURFACEDESC2 desc;
    desc.lFlags = flags;
    desc.ddpfPixelFormat = SurfaceDesc.ddpfPixelFormat;
    if (colorKey >= 0) {
        desc.lFlags |= DDSD_CKSRCBLT;
        desc.ddckCKSrcBlt.low = desc.ddckCKSrcBlt.high = colorKey;
    }
    desc.ddsCaps = caps;
    desc.lWidth = width;
    desc.lHeight = height;
    SurfaceDesc.lFlags = desc.lFlags;
    SurfaceDesc.lWidth = width;
    SurfaceDesc.lHeight = height;
    SurfaceDesc.ddsCaps = desc.ddsCaps;
    SurfaceDesc.ddckCKSrcBlt = desc.ddckCKSrcBlt;
    return desc;
}

// The surface is made before a slot is taken, so a failure leaves the lists as they were.
SurfacePtr CreateSurfaceFor(const std::string& path, int16_t archiveIndex, const std::string& name,
                            DDSURFACEDESC2& desc, std::vector<SurfaceFrame>& frames) {
    return archiveIndex == -1 ? CreateFromFile(path, desc)
                              : CreateFromArchive(archiveIndex, name, desc, frames);
}

}  // namespace

int32_t LoadSurface(const std::string& path, std::vector<SurfaceFrame>& frames, int32_t& width,
                    int32_t& height, int32_t extraCaps, int32_t colorKey, const std::string& name,
                    int16_t archiveIndex) {
    DDSCAPS2 caps;
    caps.lCaps = extraCaps | DDSCAPS_OFFSCREENPLAIN;
    DDSURFACEDESC2 desc =
        Describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, caps, width, height, colorKey, name, frames);
    SurfacePtr surface = CreateSurfaceFor(path, archiveIndex, name, desc, frames);
    const int32_t slot = NextTableSlot(SpriteSurfaceList, LastSpriteSurfaceIndex, SlotInUse);
    FillRecord(SpriteSurfaceList[static_cast<size_t>(slot)], std::move(surface), frames, name);
    if (name == "BGF1") Register(BackgroundSurfaces, 0, slot);
    if (name == "BGF2") Register(BackgroundSurfaces, 1, slot);
    if (name == "FONT") Register(FontSurfaces, 0, slot);
    return slot;
}

namespace {

void RegisterTexture(const std::string& name, int32_t slot) {
    // The fixed names keep their tables three elements long; water frames append after them.
    if (name == "FONT" || name == "BLUR1" || name == "BLUR2") {
        SpecialTextures.resize(3);
        SpecialTextures[name == "FONT" ? 0 : (name == "BLUR1" ? 1 : 2)] = slot;
    } else if (name == "TRAIL" || name == "LENS" || name == "SKY") {
        EffectTextures.resize(3);
        EffectTextures[name == "TRAIL" ? 0 : (name == "LENS" ? 1 : 2)] = slot;
    } else if (name == "WATER") {
        EffectTextures.push_back(slot);
    } else if (name == "BGT1") {
        Register(BackgroundTextures, 0, slot);
    } else if (name == "BGT2") {
        Register(BackgroundTextures, 1, slot);
    }
}

}  // namespace

int32_t LoadTexture(const std::string& path, std::vector<SurfaceFrame>& frames, int32_t& width,
                    int32_t& height, int32_t colorKey, const std::string& name,
                    int16_t archiveIndex) {
    const std::string filePath =
        !path.empty() && std::filesystem::is_regular_file(FilePath(path)) ? path : std::string();

    // The first 16-bit format the device offers; without one the last format stays.
    const auto formats = Device->GetTextureFormatsEnum();
    for (int32_t i = 1; i <= formats->GetCount(); ++i) {
        formats->GetItem(i, SurfaceDesc.ddpfPixelFormat);
        if (SurfaceDesc.ddpfPixelFormat.lRGBBitCount == 16) break;
    }

    if (width == 0) width = 128;
    if (height == 0) height = 128;
    DDSCAPS2 caps;
    if (name == "FONT" || name == "BLUR") {
        caps.lCaps = DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY;
    } else {
        caps.lCaps = DDSCAPS_TEXTURE;
        caps.lCaps2 = DDSCAPS2_TEXTUREMANAGE;
    }
    DDSURFACEDESC2 desc =
        Describe(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE, caps,
                 width, height, colorKey, name, frames);
    SurfacePtr surface = CreateSurfaceFor(filePath, archiveIndex, name, desc, frames);
    const int32_t slot = NextTableSlot(TextureList, LastTextureIndex, SlotInUse);
    FillRecord(TextureList[static_cast<size_t>(slot)], std::move(surface), frames, name);
    RegisterTexture(name, slot);
    return slot;
}
