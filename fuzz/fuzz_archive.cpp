// Archive directories and extraction: the directory read from memory and from a file must agree,
// and every entry extracted through the scratch file must be exactly its bytes in the archive.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "core/Declarations.h"
#include "fuzz/PrivateFolder.h"
#include "platform/dx/DxError.h"
#include "resources/Archive.h"
#include "resources/EntryCheck.h"
#include "resources/ScratchFile.h"
#include "resources/SurfaceFrames.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    AppPath = MakePrivateFolder("velmora-fuzz") + "/";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    Archive archive;
    bool valid = true;
    try {
        archive = ReadArchiveDirectory(file, static_cast<int64_t>(size), "fuzz.kqx");
    } catch (const RuntimeError&) {
        valid = false;
    }

    const std::string path = AppPath + "fuzz.kqx";
    WriteWholeFile(path, file);
    ResetArchiveTables();
    int16_t slot = -1;
    try {
        slot = OpenArchive(path);
    } catch (const RuntimeError&) {
    }
    if (valid != (slot == 0)) __builtin_trap();
    if (!valid) return 0;

    const int entries = std::min<int>(archive.EntryCount, 16);
    for (int i = 0; i < entries; ++i) {
        const ArchiveEntry& e = archive.Entries[static_cast<size_t>(i)];
        const std::string name = TrimmedEntryName(e.Name);
        const int found = FindEntry(archive, name, e.EntryType);
        if (found < 0 || found > i) __builtin_trap();
        if (ExtractEntry(slot, name, e.EntryType) != 1) __builtin_trap();
        const std::vector<uint8_t> extracted = TakeScratchFile(EntrySource(archive, found));
        const std::span<const uint8_t> stored = EntryBytesInMemory(archive, found, file);
        if (!std::equal(extracted.begin(), extracted.end(), stored.begin(), stored.end())) {
            __builtin_trap();
        }
        try {
            if (e.EntryType == EntryTypeFrameTable) {
                std::vector<SurfaceFrame> frames(std::min<size_t>(stored.size() / 20 + 1, 64));
                ReadSurfaceFrames(stored, frames, EntrySource(archive, found));
            }
            CheckEntryBytes(stored, e.EntryType, EntrySource(archive, found));
        } catch (const RuntimeError&) {
        } catch (const DxError&) {
        }
    }
    if (!ScratchFilePath.empty()) __builtin_trap();
    return 0;
}
