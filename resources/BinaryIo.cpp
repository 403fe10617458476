#include "resources/BinaryIo.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/host/FilePath.h"

std::string DescribeSource(const DataSource& source) {
    if (source.Entry.empty()) return source.File;
    return source.File + ": entry \"" + source.Entry + "\" (type " +
           std::to_string(source.EntryType) + ")";
}

void ThrowDataError(int number, const DataSource& source, const std::string& what) {
    throw RuntimeError(number, DescribeSource(source) + ": " + what);
}

const uint8_t* ByteReader::Take(size_t n, const char* name) {
    if (n > Remaining()) {
        ThrowDataError(rt::InputPastEndOfFile, source_,
                       std::string("record ends inside ") + name + " at byte " +
                           std::to_string(pos_) + " (" + std::to_string(n) + " bytes needed, " +
                           std::to_string(Remaining()) + " left)");
    }
    const uint8_t* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
}

namespace {
uint32_t LittleEndian(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}
}  // namespace

void ByteReader::Field(uint8_t& v, const char* name) {
    v = *Take(1, name);
}
void ByteReader::Field(int16_t& v, const char* name) {
    v = static_cast<int16_t>(LittleEndian(Take(2, name), 2));
}
void ByteReader::Field(uint16_t& v, const char* name) {
    v = static_cast<uint16_t>(LittleEndian(Take(2, name), 2));
}
void ByteReader::Field(int32_t& v, const char* name) {
    v = static_cast<int32_t>(LittleEndian(Take(4, name), 4));
}
void ByteReader::Field(uint32_t& v, const char* name) {
    v = LittleEndian(Take(4, name), 4);
}
void ByteReader::Field(float& v, const char* name) {
    v = __builtin_bit_cast(float, LittleEndian(Take(4, name), 4));
}
void ByteReader::Field(D3DVECTOR& v, const char* name) {
    Field(v.x, name);
    Field(v.y, name);
    Field(v.z, name);
}
void ByteReader::Field(D3DCOLORVALUE& v, const char* name) {
    Field(v.r, name);
    Field(v.g, name);
    Field(v.b, name);
    Field(v.a, name);
}

void ByteReader::FixedString(std::string& s, size_t length, const char* name) {
    const uint8_t* p = Take(length, name);
    s.assign(reinterpret_cast<const char*>(p), length);
}

void ByteReader::CountedString(std::string& s, const char* name) {
    uint16_t length = 0;
    Field(length, name);
    FixedString(s, length, name);
}

size_t ByteReader::ListCount(const char* name, size_t minElementBytes) {
    ListHeader h;
    Field(h.Dimensions, name);
    Field(h.Count, name);
    Field(h.LowerBound, name);
    const std::string list = std::string("list ") + name;
    if (h.Dimensions != 1) {
        ThrowDataError(rt::InvalidFileFormat, source_,
                       list + " has " + std::to_string(h.Dimensions) + " dimensions, not 1");
    }
    if (h.LowerBound != 0) {
        ThrowDataError(rt::InvalidFileFormat, source_,
                       list + " starts at index " + std::to_string(h.LowerBound) + ", not 0");
    }
    if (h.Count < 0) {
        ThrowDataError(rt::InvalidFileFormat, source_,
                       list + " has a negative element count " + std::to_string(h.Count));
    }
    const size_t count = static_cast<size_t>(h.Count);
    if (minElementBytes > 0 && count > Remaining() / minElementBytes) {
        ThrowDataError(rt::InputPastEndOfFile, source_,
                       list + " declares " + std::to_string(count) + " elements of at least " +
                           std::to_string(minElementBytes) + " bytes, but only " +
                           std::to_string(Remaining()) + " bytes are left");
    }
    return count;
}

void ByteWriter::Put(uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void ByteWriter::Field(float v, const char*) {
    Put(__builtin_bit_cast(uint32_t, v), 4);
}
void ByteWriter::Field(const D3DVECTOR& v, const char* name) {
    Field(v.x, name);
    Field(v.y, name);
    Field(v.z, name);
}
void ByteWriter::Field(const D3DCOLORVALUE& v, const char* name) {
    Field(v.r, name);
    Field(v.g, name);
    Field(v.b, name);
    Field(v.a, name);
}

void ByteWriter::FixedString(const std::string& s, size_t length, const char*) {
    for (size_t i = 0; i < length; ++i) {
        bytes_.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : uint8_t{' '});
    }
}

void ByteWriter::CountedString(const std::string& s, const char* name) {
    if (s.size() > UINT16_MAX) {
        throw RuntimeError(rt::Overflow, std::string(name) + ": string longer than 65535");
    }
    Field(static_cast<uint16_t>(s.size()), name);
    bytes_.insert(bytes_.end(), s.begin(), s.end());
}

void ByteWriter::WriteListHeader(size_t count, const char* name) {
    if (count > static_cast<size_t>(INT32_MAX)) {
        throw RuntimeError(rt::Overflow, std::string("list ") + name + " is too long to store");
    }
    const ListHeader h{1, static_cast<int32_t>(count), 0};
    Field(h.Dimensions, name);
    Field(h.Count, name);
    Field(h.LowerBound, name);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(FilePath(path), std::ios::binary);
    if (!in) throw RuntimeError(rt::FileNotFound, path + ": file not found");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) throw RuntimeError(rt::PathFileAccessError, path + ": cannot be read");
    return bytes;
}

void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
    std::ofstream out(FilePath(path), std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
    if (!out) throw RuntimeError(rt::PathFileAccessError, path + ": cannot be written");
}
