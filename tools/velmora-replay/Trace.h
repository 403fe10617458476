// A trace file in memory: its records in order and its data blobs, each blob copied to an
// 8-byte aligned place so that vertices and indices can be handed to a device as they are.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/dx/DxTraceFormat.h"

namespace replay {

class TraceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Record {
    dxtrace::Op op;
    uint32_t offset;  // into Trace::payloads
    uint32_t size;
};

struct Trace {
    std::string path;  // named in every error about the trace
    std::vector<Record> records;
    std::vector<uint8_t> payloads;
    std::vector<uint64_t> arena;  // blob bytes, 8-byte aligned
    struct Blob {
        uint64_t offset = 0;  // bytes into the arena
        uint32_t size = 0;
        bool defined = false;
    };
    std::vector<Blob> blobs;  // by id; 0 is "no data"
    uint32_t flips = 0;
    bool complete = false;  // the end record was there, and its counts agree with the file

    const uint8_t* BlobData(uint32_t id) const {
        return reinterpret_cast<const uint8_t*>(arena.data()) + blobs[id].offset;
    }
};

// Reads and checks a trace; throws TraceError saying what is wrong and where.
Trace LoadTrace(const std::string& path);

// Reads the fields of one record, refusing to read past its end. Its errors say what is wrong
// with the record; Play adds which file and record.
class RecordReader {
  public:
    RecordReader(const Trace& trace, size_t index);
    int32_t I32();
    uint32_t U32();
    float F32();
    uint8_t U8();
    void Bytes(void* out, size_t n);
    // The id of a blob the file holds; 0 allowed when optional.
    uint32_t BlobId(bool optional);
    // Throws when fields are left over: the record is not what its kind says.
    void Done() const;
    [[noreturn]] void Fail(const std::string& why) const;

  private:
    const Trace& trace_;
    const uint8_t* p_;
    const uint8_t* end_;
};

const char* OpName(dxtrace::Op op);

}  // namespace replay
