#include "resources/EntryCheck.h"

#include "platform/dx/DirectDraw.h"
#include "platform/dx/DxError.h"
#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/Models.h"
#include "resources/SurfaceFrames.h"

void CheckEntryBytes(std::span<const uint8_t> bytes, uint8_t entryType, const DataSource& source) {
    switch (entryType) {
        case EntryTypeText:
            return;  // any text is a table; its lines are read leniently
        case EntryTypeImage:
            try {
                DecodeImage(std::vector<uint8_t>(bytes.begin(), bytes.end()));
            } catch (const DxError& e) {
                ThrowDataError(rt::InvalidFileFormat, source, e.what());
            }
            return;
        case EntryTypeFrameTable:
            if (bytes.size() % kSurfaceFrameBytes != 0) {
                ThrowDataError(rt::InvalidFileFormat, source,
                               "frame table of " + std::to_string(bytes.size()) +
                                   " bytes is not a whole number of 20-byte frames");
            }
            return;
        case EntryTypeGeometry:
            ReadGeometrySetRecord(bytes, source);
            return;
        case EntryTypeModel:
            ReadModelRecord(bytes, source);
            return;
        default:
            ThrowDataError(rt::InvalidFileFormat, source,
                           "unknown entry type " + std::to_string(entryType));
    }
}
