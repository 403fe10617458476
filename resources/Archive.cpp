#include "resources/Archive.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/Tables.h"
#include "platform/host/FilePath.h"
#include "resources/ScratchFile.h"

namespace {

// Header plus the longest directory a 16-bit entry count allows.
constexpr int64_t kLongestHead = kArchiveHeaderBytes + kArchiveDirEntryBytes * INT16_MAX;

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::string EntryLabel(int index, const ArchiveDirEntry& e) {
    return "entry " + std::to_string(index) + " " + Quoted(TrimmedEntryName(e.Name)) + " (type " +
           std::to_string(e.EntryType) + ")";
}

}  // namespace

void ResetArchiveTables() {
    ResetTable(Archives, LastArchiveIndex);
}

Archive ReadArchiveDirectory(std::span<const uint8_t> head, int64_t fileLength,
                             const std::string& path) {
    const DataSource source{path, "", 0};
    if (fileLength < static_cast<int64_t>(kArchiveHeaderBytes)) {
        ThrowDataError(rt::InputPastEndOfFile, source,
                       "archive of " + std::to_string(fileLength) +
                           " bytes is shorter than its 10-byte header");
    }
    ByteReader reader(head, source);
    ArchiveHeader header;
    ArchiveHeaderLayout(reader, header);
    if (header.EntryCount < 1) {
        ThrowDataError(rt::InvalidFileFormat, source,
                       "archive declares " + std::to_string(header.EntryCount) +
                           " entries; it needs at least 1");
    }
    const int64_t dataStart =
        kArchiveHeaderBytes + static_cast<int64_t>(kArchiveDirEntryBytes) * header.EntryCount;
    if (fileLength < dataStart) {
        ThrowDataError(rt::InputPastEndOfFile, source,
                       "directory of " + std::to_string(header.EntryCount) + " entries needs " +
                           std::to_string(dataStart) + " bytes, the file has " +
                           std::to_string(fileLength));
    }
    std::vector<ArchiveDirEntry> directory(static_cast<size_t>(header.EntryCount));
    for (ArchiveDirEntry& e : directory) ArchiveDirEntryLayout(reader, e);

    Archive archive;
    archive.EntryCount = header.EntryCount;
    archive.Path = path;
    archive.Entries.resize(directory.size());
    for (size_t i = 0; i < directory.size(); ++i) {
        const ArchiveDirEntry& e = directory[i];
        const int index = static_cast<int>(i);
        // Offsets are 1-based; data may start right after the directory and end at the file's end.
        if (e.Offset < dataStart + 1 || e.Offset > fileLength + 1) {
            ThrowDataError(rt::InvalidFileFormat, source,
                           EntryLabel(index, e) + ": offset " + std::to_string(e.Offset) +
                               " lies outside the data area (" + std::to_string(dataStart + 1) +
                               " to " + std::to_string(fileLength + 1) + ")");
        }
        const int64_t end = i + 1 < directory.size() ? directory[i + 1].Offset : fileLength + 1;
        if (end < e.Offset) {
            ThrowDataError(rt::InvalidFileFormat, source,
                           EntryLabel(index, e) + ": offset " + std::to_string(e.Offset) +
                               " is above the next entry's offset " + std::to_string(end));
        }
        if (end - e.Offset > INT32_MAX) {
            ThrowDataError(rt::InvalidFileFormat, source,
                           EntryLabel(index, e) + ": entry is larger than 32-bit sizes reach");
        }
        ArchiveEntry& out = archive.Entries[i];
        out.EntryType = e.EntryType;
        out.Name = e.Name;
        out.Offset = e.Offset;
        out.Size = static_cast<int32_t>(end - e.Offset);
    }
    return archive;
}

Archive ReadArchiveFile(const std::string& path) {
    std::ifstream in(FilePath(path), std::ios::binary | std::ios::ate);
    if (!in) throw RuntimeError(rt::FileNotFound, path + ": archive not found");
    const int64_t length = static_cast<int64_t>(in.tellg());
    if (length < 0) throw RuntimeError(rt::PathFileAccessError, path + ": archive cannot be read");
    std::vector<uint8_t> head(static_cast<size_t>(std::min(length, kLongestHead)));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(head.data()), std::ssize(head));
    if (!in) throw RuntimeError(rt::PathFileAccessError, path + ": archive cannot be read");
    return ReadArchiveDirectory(head, length, path);
}

int16_t OpenArchive(const std::string& path) {
    Archive archive = ReadArchiveFile(path);
    const int16_t slot = NextTableSlot(Archives, LastArchiveIndex,
                                       [](const Archive& a) { return a.EntryCount != 0; });
    Archives[static_cast<size_t>(slot)] = std::move(archive);
    return slot;
}

std::string TrimmedEntryName(const std::string& stored) {
    const size_t first = stored.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return stored.substr(first, stored.find_last_not_of(' ') - first + 1);
}

int FindEntry(const Archive& archive, const std::string& name, uint8_t entryType) {
    for (size_t i = 0; i < archive.Entries.size(); ++i) {
        const ArchiveEntry& e = archive.Entries[i];
        if (e.EntryType == entryType && TrimmedEntryName(e.Name) == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

DataSource EntrySource(const Archive& archive, int index) {
    const ArchiveEntry& e = At(archive.Entries, index);
    return DataSource{archive.Path, TrimmedEntryName(e.Name), e.EntryType};
}

namespace {

// The entry's byte range as a 0-based start, checked against a file of fileLength bytes.
int64_t CheckedEntryStart(const Archive& archive, int index, int64_t fileLength) {
    const ArchiveEntry& e = At(archive.Entries, index);
    const DataSource source = EntrySource(archive, index);
    if (e.Offset < 1 || e.Size < 0) {
        ThrowDataError(rt::InvalidFileFormat, source,
                       "offset " + std::to_string(e.Offset) + " and size " +
                           std::to_string(e.Size) + " do not form a range");
    }
    const int64_t start = static_cast<int64_t>(e.Offset) - 1;
    if (start + e.Size > fileLength) {
        ThrowDataError(rt::InputPastEndOfFile, source,
                       "entry is truncated: its " + std::to_string(e.Size) + " bytes from offset " +
                           std::to_string(e.Offset) + " run past the end of the " +
                           std::to_string(fileLength) + "-byte archive");
    }
    return start;
}

}  // namespace

std::vector<uint8_t> ReadEntryBytes(const Archive& archive, int index) {
    // The archive may have gone or changed since its directory was read: say which.
    std::error_code ec;
    const auto status = std::filesystem::status(FilePath(archive.Path), ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        throw RuntimeError(rt::FileNotFound, archive.Path + ": archive not found");
    }
    std::ifstream in(FilePath(archive.Path), std::ios::binary | std::ios::ate);
    const int64_t length = in ? static_cast<int64_t>(in.tellg()) : -1;
    if (!in || length < 0 || status.type() != std::filesystem::file_type::regular) {
        throw RuntimeError(rt::PathFileAccessError, archive.Path + ": archive cannot be read");
    }
    const int64_t start = CheckedEntryStart(archive, index, length);
    std::vector<uint8_t> bytes(static_cast<size_t>(archive.Entries[index].Size));
    in.seekg(start);
    in.read(reinterpret_cast<char*>(bytes.data()), std::ssize(bytes));
    if (!in) {
        ThrowDataError(rt::InputPastEndOfFile, EntrySource(archive, index),
                       "entry could not be read whole");
    }
    return bytes;
}

std::span<const uint8_t> EntryBytesInMemory(const Archive& archive, int index,
                                            std::span<const uint8_t> file) {
    const int64_t start = CheckedEntryStart(archive, index, std::ssize(file));
    return file.subspan(static_cast<size_t>(start),
                        static_cast<size_t>(archive.Entries[index].Size));
}

int32_t ExtractEntry(int16_t archiveIndex, const std::string& name, uint8_t entryType) {
    const Archive& archive = At(Archives, archiveIndex);
    const int index = FindEntry(archive, name, entryType);
    if (index < 0) return 0;
    WriteScratchFile(ReadEntryBytes(archive, index));
    return 1;
}

std::vector<uint8_t> WriteArchive(const std::vector<ArchiveItem>& items) {
    if (items.empty() || items.size() > static_cast<size_t>(INT16_MAX)) {
        throw RuntimeError(rt::InvalidCall, "an archive holds 1 to 32767 entries, not " +
                                                std::to_string(items.size()));
    }
    ArchiveHeader header;
    header.EntryCount = static_cast<int16_t>(items.size());
    ByteWriter writer;
    ArchiveHeaderLayout(writer, header);

    int64_t offset = kArchiveHeaderBytes + kArchiveDirEntryBytes * items.size() + 1;
    for (const ArchiveItem& item : items) {
        if (item.Name.empty() || item.Name.size() > kEntryNameLength ||
            TrimmedEntryName(item.Name) != item.Name) {
            throw RuntimeError(rt::InvalidCall,
                               "entry name " + Quoted(item.Name) +
                                   " must be 1 to 7 characters without leading or trailing spaces");
        }
        if (offset > INT32_MAX) {
            throw RuntimeError(rt::InvalidCall, "entries past " + Quoted(item.Name) +
                                                    " lie beyond the reach of 32-bit offsets");
        }
        const ArchiveDirEntry e{item.Name, item.EntryType, static_cast<int32_t>(offset)};
        ArchiveDirEntryLayout(writer, e);
        offset += static_cast<int64_t>(item.Bytes.size());
    }
    std::vector<uint8_t> bytes = writer.Take();
    for (const ArchiveItem& item : items)
        bytes.insert(bytes.end(), item.Bytes.begin(), item.Bytes.end());
    return bytes;
}
