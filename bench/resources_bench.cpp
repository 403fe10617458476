// Loading times of the archive, model and geometry-set readers, on an archive shaped like the
// program's own: a few dozen entries, texture-sized images, a 512-vertex jointed model and
// geometry sets of a few thousand vertices. Every load goes through the scratch file as at
// start-up.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "core/Declarations.h"
#include "display/Display.h"
#include "platform/host/HeadlessHost.h"
#include "render/DeviceSetup.h"
#include "resources/Archive.h"
#include "resources/GeometrySets.h"
#include "resources/ModelBuffers.h"
#include "resources/Models.h"
#include "resources/ScratchFile.h"

namespace {

ModelData PalmSized() {
    ModelData m;
    m.Vertices.resize(kModelBufferVertices);
    for (size_t i = 0; i < m.Vertices.size(); ++i) m.Vertices[i].X = float(i);
    m.VertexCount = kModelBufferVertices;
    for (int i = 0; i + 2 < kModelBufferVertices; ++i) {
        m.Indices.insert(m.Indices.end(), {int16_t(i), int16_t(i + 1), int16_t(i + 2)});
    }
    m.IndexCount = static_cast<int32_t>(m.Indices.size());
    for (int g = 0; g < 32; ++g) m.Groups.push_back({{0, 1, 0}, g * 16, 16, uint8_t(g), 1});
    m.GroupCount = 32;
    for (int g = 0; g < 32; ++g) m.GroupList.push_back(int16_t(g % 6 == 5 ? -1 : g));
    m.GroupListCount = 32;
    return m;
}

GeometrySet LandSized(int vertices) {
    GeometrySet s;
    s.Vertices.resize(static_cast<size_t>(vertices));
    s.BaseColors.assign(s.Vertices.size(), -1);
    s.VertexCount = static_cast<int16_t>(vertices);
    for (int p = 0; p < 8; ++p) {
        GeometryPart part;
        part.FirstVertex = static_cast<int16_t>(p * (vertices / 8));
        part.PartVertexCount = static_cast<int16_t>(vertices / 8);
        for (int i = 0; i + 2 < part.PartVertexCount; ++i) {
            part.Indices.insert(part.Indices.end(), {int16_t(i), int16_t(i + 1), int16_t(i + 2)});
        }
        part.IndexCount = static_cast<int32_t>(part.Indices.size());
        part.PrimitiveKind = 4;
        s.Parts.push_back(std::move(part));
    }
    s.PartCount = 8;
    s.Name = FixedGeometryName("LAND");
    return s;
}

// One archive for all benchmarks, in a folder removed at exit.
struct BenchArchive {
    HeadlessHost host{HeadlessOptions{}};
    std::filesystem::path folder;
    std::string path;

    BenchArchive() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        folder = pattern;
        path = (folder / "Data.kqx").string();
        std::vector<ArchiveItem> items;
        for (int i = 0; i < 36; ++i) {
            items.push_back({"IMG" + std::to_string(i), EntryTypeImage,
                             std::vector<uint8_t>(256 * 256 * 3 + 54, uint8_t(i))});
        }
        items.push_back({"PALM", EntryTypeModel, WriteModelRecord(PalmSized())});
        items.push_back({"LAND", EntryTypeGeometry, WriteGeometrySetRecord(LandSized(4096))});
        items.push_back({"SPHEROU", EntryTypeGeometry, WriteGeometrySetRecord(LandSized(1024))});
        WriteWholeFile(path, WriteArchive(items));
    }
    ~BenchArchive() {
        SetActiveHost(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

// Other benchmarks start programs of their own: the host and folder are claimed afresh.
BenchArchive& Shared() {
    static BenchArchive archive;
    SetActiveHost(&archive.host);
    AppPath = archive.folder.string() + "/";
    return archive;
}

// Models are copied into vertex buffers as they load: a started display and device for the
// length of one benchmark.
struct StartedDevice {
    StartedDevice() {
        DX = std::make_unique<DirectX7>(Shared().host);
        StartDisplay();
        SetUpDevice();
    }
    ~StartedDevice() { ShutDownDisplay(PendingError{}); }
};

void BM_OpenArchive(benchmark::State& state) {
    const std::string& path = Shared().path;
    for (auto _ : state) {
        ResetArchiveTables();
        benchmark::DoNotOptimize(OpenArchive(path));
    }
}
BENCHMARK(BM_OpenArchive)->Unit(benchmark::kMillisecond);

void BM_ExtractImageEntry(benchmark::State& state) {
    ResetArchiveTables();
    const int16_t slot = OpenArchive(Shared().path);
    for (auto _ : state) {
        ExtractEntry(slot, "IMG35", EntryTypeImage);
        benchmark::DoNotOptimize(TakeScratchFile(DataSource{}));
    }
    state.SetBytesProcessed(state.iterations() * (256 * 256 * 3 + 54));
}
BENCHMARK(BM_ExtractImageEntry)->Unit(benchmark::kMillisecond);

void BM_LoadModelFromArchive(benchmark::State& state) {
    StartedDevice device;
    ResetArchiveTables();
    const int16_t slot = OpenArchive(Shared().path);
    for (auto _ : state) {
        ResetModelTables();
        ResetModelBufferTables();
        benchmark::DoNotOptimize(LoadModel("", "PALM", slot));
    }
}
BENCHMARK(BM_LoadModelFromArchive)->Unit(benchmark::kMillisecond);

void BM_LoadGeometrySetFromArchive(benchmark::State& state) {
    ResetArchiveTables();
    const int16_t slot = OpenArchive(Shared().path);
    for (auto _ : state) {
        ResetGeometryTables();
        benchmark::DoNotOptimize(LoadGeometrySet(slot, "LAND"));
    }
}
BENCHMARK(BM_LoadGeometrySetFromArchive)->Unit(benchmark::kMillisecond);

void BM_ReadModelRecordInMemory(benchmark::State& state) {
    const std::vector<uint8_t> bytes = WriteModelRecord(PalmSized());
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadModelRecord(bytes, DataSource{"bench", "PALM", 6}));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadModelRecordInMemory)->Unit(benchmark::kMillisecond);

}  // namespace
