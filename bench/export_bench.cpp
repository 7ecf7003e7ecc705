// Writing the four tables of the largest map (949 x 792, wide view) against
// one fwrite of the same bytes. Target: speed_vs_fwrite >= 0.5.
#include "runs/mapping/map_export.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Files in memory where the system has such a folder (/dev/shm), so the
// figures compare computation with the copy into the file cache instead of
// with the disk's moods; elsewhere the temporary folder.
std::string scratchPath(const char* name) {
  std::error_code error;
  const std::filesystem::path shm = "/dev/shm";
  const auto folder = std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
  return (folder / name).string();
}

void BM_MapExportVsFwrite(benchmark::State& state) {
  MapBuffers map;
  map.allocate(949, 792);
  std::mt19937 random(1);
  std::uniform_real_distribution<float> current(-50.0f, 50.0f), colour(0.0f, 255.0f);
  for (float& v : map.intensity) v = current(random);
  for (auto* channel : {&map.red, &map.green, &map.blue})
    for (float& v : *channel) v = static_cast<float>(static_cast<int>(colour(random)));

  const std::string tablePath = scratchPath("nerin_bench_table.txt");
  const std::string bulkPath = scratchPath("nerin_bench_bulk.txt");
  // The bytes the four tables hold, for the baseline's single fwrite.
  std::string all;
  for (const MapTable& table : mapTables) {
    std::FILE* f = std::fopen(tablePath.c_str(), "w+");
    writeMapTableText(f, map, map.*table.values);
    std::rewind(f);
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) all.append(buffer, n);
    std::fclose(f);
  }

  double exportSeconds = 0, fwriteSeconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    std::FILE* bulk = std::fopen(bulkPath.c_str(), "w");
    std::fwrite(all.data(), 1, all.size(), bulk);
    std::fclose(bulk);
    const auto t1 = Clock::now();
    for (const MapTable& table : mapTables) {
      std::FILE* f = std::fopen(tablePath.c_str(), "w");
      writeMapTableText(f, map, map.*table.values);
      std::fclose(f);
    }
    const auto t2 = Clock::now();
    fwriteSeconds += std::chrono::duration<double>(t1 - t0).count();
    const double exportTime = std::chrono::duration<double>(t2 - t1).count();
    exportSeconds += exportTime;
    state.SetIterationTime(exportTime);
  }
  std::remove(tablePath.c_str());
  std::remove(bulkPath.c_str());
  const double runs = static_cast<double>(state.iterations());
  state.counters["MB"] = static_cast<double>(all.size()) / 1e6;
  state.counters["fwrite_ms"] = fwriteSeconds / runs * 1e3;
  state.counters["export_ms"] = exportSeconds / runs * 1e3;
  state.counters["speed_vs_fwrite"] = fwriteSeconds / exportSeconds;
  state.SetBytesProcessed(static_cast<int64_t>(all.size()) * state.iterations());
}
BENCHMARK(BM_MapExportVsFwrite)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
