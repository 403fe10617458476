// The resource archive (Data.kqx): a 10-byte header, a directory of 12-byte entries, then the
// entries' bytes back to back. OpenArchive reads and checks a directory into the archive table;
// ExtractEntry copies one entry into the scratch file for the loaders. WriteArchive is the one
// writer the content tools use.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "resources/BinaryIo.h"

constexpr uint8_t EntryTypeText = 1;
constexpr uint8_t EntryTypeImage = 2;
constexpr uint8_t EntryTypeFrameTable = 4;
constexpr uint8_t EntryTypeGeometry = 5;
constexpr uint8_t EntryTypeModel = 6;

constexpr size_t kEntryNameLength = 7;
constexpr size_t kArchiveHeaderBytes = 10;
constexpr size_t kArchiveDirEntryBytes = 12;

struct ArchiveHeader {
    std::string Tag = "KQX1";  // 4 characters, not interpreted
    int32_t Reserved = 0;
    int16_t EntryCount = 0;
};

struct ArchiveDirEntry {
    std::string Name;  // 7 characters, space-padded
    uint8_t EntryType = 0;
    int32_t Offset = 0;  // 1-based position of the first data byte
};

template <typename Io, typename Header>
void ArchiveHeaderLayout(Io& io, Header& h) {
    io.FixedString(h.Tag, 4, "Tag");
    io.Field(h.Reserved, "Reserved");
    io.Field(h.EntryCount, "EntryCount");
}

template <typename Io, typename Entry>
void ArchiveDirEntryLayout(Io& io, Entry& e) {
    io.FixedString(e.Name, kEntryNameLength, "Name");
    io.Field(e.EntryType, "EntryType");
    io.Field(e.Offset, "Offset");
}

struct ArchiveEntry {
    uint8_t EntryType = 0;
    std::string Name;  // as stored, padding included
    int32_t Offset = 0;
    int32_t Size = 0;  // from the next entry's offset, or the file's end for the last one
};

struct Archive {
    int16_t EntryCount = 0;
    std::string Path;
    std::vector<ArchiveEntry> Entries;
};

inline std::vector<Archive> Archives{Archive{}};
inline int16_t LastArchiveIndex = 0;

void ResetArchiveTables();

// Opens the archive at path into the next slot of Archives and returns the slot. Fails with
// error 53 when the file is missing, 62 when it is shorter than its header or directory, 321
// when the directory is malformed; a failed open leaves the table as it was.
int16_t OpenArchive(const std::string& path);

// Copies the first entry of that name and type into the scratch file and returns 1, or returns
// 0 and touches no file when there is none.
int32_t ExtractEntry(int16_t archiveIndex, const std::string& name, uint8_t entryType);

// Parses and checks the header and directory of an archive of fileLength bytes whose first bytes
// are head (head may be the whole file). Every entry's range is checked to lie inside the file.
Archive ReadArchiveDirectory(std::span<const uint8_t> head, int64_t fileLength,
                             const std::string& path);
// Reads and checks the directory of the archive file at path, without touching the table.
Archive ReadArchiveFile(const std::string& path);

// The stored name with its leading and trailing spaces removed, as names are matched.
std::string TrimmedEntryName(const std::string& stored);
// Index of the first entry whose trimmed name is exactly name and whose type matches; -1 if none.
int FindEntry(const Archive& archive, const std::string& name, uint8_t entryType);
// Where errors about entry i of the archive point.
DataSource EntrySource(const Archive& archive, int index);
// The bytes of entry i, read from the archive file, checked against the file's length now.
std::vector<uint8_t> ReadEntryBytes(const Archive& archive, int index);
// The bytes of entry i within the archive's bytes held in memory, checked the same way.
std::span<const uint8_t> EntryBytesInMemory(const Archive& archive, int index,
                                            std::span<const uint8_t> file);

// One entry for WriteArchive.
struct ArchiveItem {
    std::string Name;  // 1 to 7 characters, no leading or trailing space
    uint8_t EntryType = 0;
    std::vector<uint8_t> Bytes;
};

// An archive file holding the items in the given order. Bad names, no items, or more data than
// 32-bit offsets reach are error 5 with the reason.
std::vector<uint8_t> WriteArchive(const std::vector<ArchiveItem>& items);
