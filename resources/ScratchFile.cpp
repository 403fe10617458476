#include "resources/ScratchFile.h"

#include "core/Declarations.h"
#include "platform/host/System.h"

std::string DefaultScratchPath() {
    return AppPath + "Temp.dat";
}

namespace {

// Temp.dat as this run holds it while an extraction waits there; kNoFile otherwise.
FileHandle heldScratch = kNoFile;

}  // namespace

void WriteScratchFile(std::span<const uint8_t> bytes) {
    DeleteScratchFile();
    std::string path = DefaultScratchPath();
    // A Temp.dat another live instance is loading through is never touched; one it no longer
    // holds is reused.
    std::string besideError;
    FileHandle file = ClaimExclusiveFile(path, besideError);
    const bool beside = file != kNoFile;
    if (!beside) {
        std::string privatePath, failure;
        file = CreateTemporaryFile("velmora-Temp-", privatePath, failure);
        if (file == kNoFile) {
            throw RuntimeError(rt::PathFileAccessError,
                               "cannot write the scratch file " + path + " (" + besideError +
                                   ") nor one in " + TemporaryFolder() + " (" + failure + ")");
        }
        path = privatePath;
    }
    std::string failure;
    const bool written = WriteAllBytes(file, bytes, failure);
    // The hold stays with the open file until the extraction is taken or dropped.
    const bool closed = beside ? true : CloseFile(file, failure);
    if (!written || !closed) {
        RemoveFile(path);
        std::string ignored;
        if (beside) CloseFile(file, ignored);
        throw RuntimeError(rt::PathFileAccessError,
                           "cannot write the scratch file " + path + " (" + failure + ")");
    }
    if (beside) heldScratch = file;
    ScratchFilePath = path;
}

std::vector<uint8_t> TakeScratchFile(const DataSource& source) {
    if (ScratchFilePath.empty()) {
        ThrowDataError(rt::FileNotFound, source, "no extracted data to read");
    }
    const std::string path = ScratchFilePath;
    std::vector<uint8_t> bytes;
    try {
        bytes = ReadWholeFile(path);
    } catch (const RuntimeError& e) {
        DeleteScratchFile();
        ThrowDataError(e.Number(), source, e.Description());
    }
    DeleteScratchFile();
    return bytes;
}

void DeleteScratchFile() {
    // Removed while still held, so no other run can take the name over half-way.
    if (!ScratchFilePath.empty()) RemoveFile(ScratchFilePath);
    ScratchFilePath.clear();
    std::string ignored;
    if (heldScratch != kNoFile) CloseFile(heldScratch, ignored);
    heldScratch = kNoFile;
}
