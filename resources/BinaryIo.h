// Little-endian, packed reading and writing of the program's binary records. Every record layout
// is written once, as a function template over an Io that is either a ByteReader or a ByteWriter,
// so the files the content tools write are read back by exactly the same field order.
//
// ByteReader checks every field and list against the bytes actually present; anything missing
// or malformed ends in a RuntimeError naming the file, the entry and what is wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/RuntimeError.h"
#include "platform/dx/DxTypes.h"

// Where a record's bytes came from, for error messages: a plain file, or an entry of an archive.
struct DataSource {
    std::string File;
    std::string Entry;  // empty for a plain file
    int EntryType = 0;
};

// `Data.kqx: entry "PALM" (type 6)`, or just the file for a plain file.
std::string DescribeSource(const DataSource& source);

// Throws RuntimeError(number) with "<source>: <what>" as its description.
[[noreturn]] void ThrowDataError(int number, const DataSource& source, const std::string& what);

// A list in a record starts with this header; readers accept only a one-dimensional list from
// index 0, which is all the program writes.
struct ListHeader {
    int16_t Dimensions = 1;
    int32_t Count = 0;
    int32_t LowerBound = 0;
};
constexpr size_t kListHeaderBytes = 10;

class ByteReader {
  public:
    ByteReader(std::span<const uint8_t> bytes, DataSource source)
        : bytes_(bytes), source_(std::move(source)) {}

    void Field(uint8_t& v, const char* name);
    void Field(int16_t& v, const char* name);
    void Field(uint16_t& v, const char* name);
    void Field(int32_t& v, const char* name);
    void Field(uint32_t& v, const char* name);
    void Field(float& v, const char* name);
    void Field(D3DVECTOR& v, const char* name);
    void Field(D3DCOLORVALUE& v, const char* name);
    // A string of exactly length single-byte characters.
    void FixedString(std::string& s, size_t length, const char* name);
    // A 2-byte length followed by that many characters.
    void CountedString(std::string& s, const char* name);

    // Reads a list header and its elements. minElementBytes is the smallest size an element can
    // have; it bounds the count by the bytes left before anything is allocated.
    template <typename T, typename Element>
    void List(std::vector<T>& list, const char* name, size_t minElementBytes, Element element) {
        const size_t count = ListCount(name, minElementBytes);
        list.clear();
        list.resize(count);
        for (T& item : list) element(item);
    }

    size_t Position() const { return pos_; }
    size_t Remaining() const { return bytes_.size() - pos_; }
    const DataSource& Source() const { return source_; }

  private:
    std::span<const uint8_t> bytes_;
    DataSource source_;
    size_t pos_ = 0;

    const uint8_t* Take(size_t n, const char* name);
    size_t ListCount(const char* name, size_t minElementBytes);
};

class ByteWriter {
  public:
    void Field(uint8_t v, const char*) { bytes_.push_back(v); }
    void Field(int16_t v, const char*) { Put(static_cast<uint16_t>(v), 2); }
    void Field(uint16_t v, const char*) { Put(v, 2); }
    void Field(int32_t v, const char*) { Put(static_cast<uint32_t>(v), 4); }
    void Field(uint32_t v, const char*) { Put(v, 4); }
    void Field(float v, const char* name);
    void Field(const D3DVECTOR& v, const char* name);
    void Field(const D3DCOLORVALUE& v, const char* name);
    // Pads with spaces or cuts to exactly length characters, as a fixed-length string does.
    void FixedString(const std::string& s, size_t length, const char* name);
    void CountedString(const std::string& s, const char* name);

    template <typename T, typename Element>
    void List(const std::vector<T>& list, const char* name, size_t, Element element) {
        WriteListHeader(list.size(), name);
        for (const T& item : list) element(item);
    }

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<uint8_t> bytes_;

    void Put(uint32_t v, int n);
    void WriteListHeader(size_t count, const char* name);
};

// Reads the whole of a plain file; a missing or unreadable file is error 53 naming the path.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
// Writes bytes to a file, replacing it; failure is error 75 naming the path.
void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);
