// The readers at their exact limits, one step either side: where an entry's data may start, and
// how many elements the bytes left can hold.
#include <gtest/gtest.h>

#include <cstring>

#include "resources/Archive.h"
#include "resources/BinaryIo.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

std::vector<uint8_t> ArchiveWithOffset(int32_t offset, size_t dataBytes) {
    ByteWriter w;
    ArchiveHeader header;
    header.EntryCount = 2;
    ArchiveHeaderLayout(w, header);
    const ArchiveDirEntry a{"A", 1, offset};
    const ArchiveDirEntry b{"B", 1, 35 + 2};
    ArchiveDirEntryLayout(w, a);
    ArchiveDirEntryLayout(w, b);
    std::vector<uint8_t> bytes = w.Take();
    bytes.resize(bytes.size() + dataBytes, 'x');
    return bytes;
}

TEST(ReaderBoundaries, ArchiveDataStartsRightAfterTheDirectory) {
    // Two entries: the directory ends at byte 34, so position 35 (1-based) is the first data byte.
    const int64_t fileLength = 34 + 6;
    struct Case {
        int32_t offset;
        bool accepted;
    } cases[] = {{33, false}, {34, false}, {35, true}, {36, true}, {37, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        const std::vector<uint8_t> bytes = ArchiveWithOffset(c.offset, 6);
        if (c.accepted) {
            const Archive a = ReadArchiveDirectory(bytes, fileLength, "t.kqx");
            EXPECT_EQ(a.Entries[0].Offset, c.offset);
            EXPECT_EQ(a.Entries[0].Size, 37 - c.offset);
        } else {
            ExpectRuntimeError([&] { ReadArchiveDirectory(bytes, fileLength, "t.kqx"); },
                               rt::InvalidFileFormat,
                               {"entry 0 \"A\"", "offset " + std::to_string(c.offset),
                                "outside the data area (35 to 41)"});
        }
    }
    // The last entry may start just past the end (it is then empty), not further.
    const std::vector<uint8_t> bytes = ArchiveWithOffset(35, 6);
    std::vector<uint8_t> lastAtEnd = bytes;
    lastAtEnd[22 + 8] = 41;
    EXPECT_EQ(ReadArchiveDirectory(lastAtEnd, fileLength, "t.kqx").Entries[1].Size, 0);
    lastAtEnd[22 + 8] = 42;
    ExpectRuntimeError([&] { ReadArchiveDirectory(lastAtEnd, fileLength, "t.kqx"); },
                       rt::InvalidFileFormat, {"entry 1 \"B\"", "offset 42"});
}

// Every default-made element is counted, so a list sized before its count is checked shows.
struct Counted {
    static inline int made = 0;
    Counted() { ++made; }
    uint8_t value = 0;
};

std::vector<uint8_t> ListBytes(int32_t count, size_t elementBytes) {
    ByteWriter w;
    const ListHeader h{1, count, 0};
    w.Field(h.Dimensions, "");
    w.Field(h.Count, "");
    w.Field(h.LowerBound, "");
    std::vector<uint8_t> bytes = w.Take();
    bytes.resize(bytes.size() + elementBytes, 7);
    return bytes;
}

TEST(ReaderBoundaries, AListCountOneAboveTheBytesLeftIsRefusedBeforeAnythingIsMade) {
    const DataSource source{"t.kqx", "T", 6};
    for (size_t minBytes : {1u, 2u, 4u, 36u}) {
        SCOPED_TRACE(minBytes);
        const size_t left = 3 * minBytes + minBytes / 2;  // room for exactly three
        std::vector<Counted> list;
        {
            const std::vector<uint8_t> fits = ListBytes(3, left);
            ByteReader r(fits, source);
            Counted::made = 0;
            r.List(list, "Things", minBytes, [&](Counted& c) { r.Field(c.value, "Things"); });
            EXPECT_EQ(list.size(), 3u);
        }
        const std::vector<uint8_t> tooMany = ListBytes(4, left);
        ByteReader r(tooMany, source);
        Counted::made = 0;
        ExpectRuntimeError(
            [&] {
                r.List(list, "Things", minBytes, [&](Counted& c) { r.Field(c.value, "Things"); });
            },
            rt::InputPastEndOfFile,
            {"t.kqx", "list Things declares 4 elements", std::to_string(left) + " bytes are left"});
        EXPECT_EQ(Counted::made, 0);
    }
}

// Where each list header of a written record starts, found in layout order.
size_t HeaderAt(const std::vector<uint8_t>& bytes, int32_t count, size_t from) {
    const std::vector<uint8_t> header = ListBytes(count, 0);
    for (size_t i = from; i + header.size() <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, header.data(), header.size()) == 0) return i;
    }
    ADD_FAILURE() << "no list header of count " << count;
    return bytes.size();
}

struct ListCase {
    const char* name;
    int32_t count;    // as written
    size_t minBytes;  // the smallest element the reader allows for
};

template <typename Read>
void ExpectEachListBounded(const std::vector<uint8_t>& record, const std::vector<ListCase>& lists,
                           Read read) {
    size_t at = 0;
    for (const ListCase& l : lists) {
        SCOPED_TRACE(l.name);
        at = HeaderAt(record, l.count, at);
        if (at >= record.size()) return;
        const size_t left = record.size() - at - kListHeaderBytes;
        const int32_t most = static_cast<int32_t>(left / l.minBytes);
        std::vector<uint8_t> bytes = record;
        std::memcpy(bytes.data() + at + 2, &most, 4);
        try {
            read(bytes);  // may fail later, but never for this count
        } catch (const RuntimeError& e) {
            EXPECT_EQ(std::string(e.what()).find(std::string("list ") + l.name + " declares"),
                      std::string::npos)
                << e.what();
        }
        const int32_t tooMany = most + 1;
        std::memcpy(bytes.data() + at + 2, &tooMany, 4);
        ExpectRuntimeError(
            [&] { read(bytes); }, rt::InputPastEndOfFile,
            {std::string("list ") + l.name + " declares " + std::to_string(tooMany) + " elements"});
        ++at;
    }
}

TEST(ReaderBoundaries, ModelListsHoldNoMoreThanTheBytesLeft) {
    ModelData m;
    m.Vertices.resize(7);
    m.VertexCount = 7;
    m.Indices = {0, 1, 2, 3, 4, 5, 6, 0, 1};
    m.IndexCount = 9;
    m.Groups = {{{0, 1, 0}, 0, 3, 1, 1}, {{0, 2, 0}, 3, 4, 2, 1}};
    m.GroupCount = 2;
    m.GroupList = {0, 1, -1};
    m.GroupListCount = 3;
    const std::vector<uint8_t> record = WriteModelRecord(m);
    const DataSource source{"Data.kqx", "PALM", 6};
    ExpectEachListBounded(record,
                          {{"Groups", 2, kModelGroupBytes},
                           {"Vertices", 7, kModelVertexBytes},
                           {"Indices", 9, 2},
                           {"GroupList", 3, 2}},
                          [&](const std::vector<uint8_t>& b) { ReadModelRecord(b, source); });
}

TEST(ReaderBoundaries, GeometryListsHoldNoMoreThanTheBytesLeft) {
    GeometrySet s;
    s.Vertices.resize(5);
    s.BaseColors = {1, 2, 3, 4, 5};
    s.VertexCount = 5;
    GeometryPart quad;
    quad.PartVertexCount = 4;
    quad.Indices = {0, 1, 2, 3};
    quad.IndexCount = 4;
    quad.PrimitiveKind = 6;
    GeometryPart tri;
    tri.PartVertexCount = 3;
    tri.Indices = {0, 1, 2};
    tri.IndexCount = 3;
    tri.PrimitiveKind = 4;
    s.Parts = {quad, tri};
    s.PartCount = 2;
    s.Name = FixedGeometryName("LAND");
    const std::vector<uint8_t> record = WriteGeometrySetRecord(s);
    const DataSource source{"Data.kqx", "LAND", 5};
    // Vertices and BaseColors both hold 5: the search goes on from the last header found.
    ExpectEachListBounded(record,
                          {{"Vertices", 5, kGeometryVertexBytes},
                           {"BaseColors", 5, 4},
                           {"Parts", 2, kGeometryPartMinBytes},
                           {"Indices", 4, 2},
                           {"Indices", 3, 2}},
                          [&](const std::vector<uint8_t>& b) { ReadGeometrySetRecord(b, source); });
}

}  // namespace
