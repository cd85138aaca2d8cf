// Throughput of the page parsing and the text rules' deletion on generated
// pages of every shape and size, beside a plain memchr/memmem pass over the
// same bytes as the physical reference. bench/report.py turns the JSON
// output into the table of docs/performance.md and checks the targets.
//
// Every size works through a pool of distinct pages of 64 MiB in all, one
// page per iteration, so that no size runs out of a cache the others cannot
// fit in: 1 MiB and 64 MiB pages alike come from memory, and the per-byte
// times of the sizes compare.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "PageShapes.h"
#include "core/PageParsing.h"
#include "core/TextRules.h"

namespace quillo::bench {
namespace {

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;
constexpr std::size_t kPoolBytes = 64 * kMiB;  // twice the last-level cache

const std::pair<const char*, std::size_t> kSizes[] = {
    {"64KiB", 64 * kKiB}, {"1MiB", kMiB}, {"16MiB", 16 * kMiB}, {"64MiB", 64 * kMiB}};

// The pool for one shape and size, made on first use.
const std::vector<std::string>& Pages(Shape shape, std::size_t size) {
  static std::map<std::pair<Shape, std::size_t>, std::vector<std::string>> pools;
  auto& pool = pools[{shape, size}];
  if (pool.empty()) {
    const std::size_t count = kPoolBytes / size;
    for (std::size_t i = 0; i < count; ++i) {
      pool.push_back(MakePage(shape, size, static_cast<std::uint32_t>(i)));
    }
  }
  return pool;
}

// Runs work on the next page of the pool in every iteration; work gets the
// page's place in the pool too, for routines that keep a result per page.
template <class Work>
void OverPool(benchmark::State& state, Shape shape, std::size_t size, Work work) {
  const auto& pool = Pages(shape, size);
  std::size_t next = 0;
  for (auto _ : state) {
    work(pool[next], next);
    next = next + 1 == pool.size() ? 0 : next + 1;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(size));
}

void ExtractEntriesBench(benchmark::State& state, Shape shape, std::size_t size) {
  std::size_t lines = 0;
  OverPool(state, shape, size, [&](const std::string& page, std::size_t) {
    lines = 0;
    ExtractEntries(page, [&](std::string_view line) {
      benchmark::DoNotOptimize(line.data());
      ++lines;
    });
  });
  state.counters["lines"] = static_cast<double>(lines);
}

void ExtractPageLinksBench(benchmark::State& state, Shape shape, std::size_t size) {
  PageLinkList links;
  OverPool(state, shape, size, [&](const std::string& page, std::size_t) {
    links.clear();
    ExtractPageLinks(page, links);
    benchmark::DoNotOptimize(links.data());
  });
  state.counters["links"] = static_cast<double>(links.size());
}

// The results are kept, one per page of the pool, so that they too take
// 64 MiB at every size and are written to memory, not to a cache.
void DeleteAllBench(benchmark::State& state, Shape shape, std::size_t size) {
  std::vector<std::string> results(kPoolBytes / size);
  OverPool(state, shape, size, [&](const std::string& page, std::size_t i) {
    results[i] = text::DeleteAll(page, "\n");
    benchmark::DoNotOptimize(results[i].data());
  });
}

// The physical reference: memchr over every "<" (where any marker could
// begin) and memmem for the entry start marker, each over the whole page.
void PlainScanBench(benchmark::State& state, Shape shape, std::size_t size) {
  const std::string_view marker = markup::kEntryStart;
  OverPool(state, shape, size, [&](const std::string& page, std::size_t) {
    std::size_t hits = 0;
    const char* p = page.data();
    const char* const end = p + page.size();
    while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p))))) {
      ++hits;
      ++p;
    }
    p = page.data();
    while ((p = static_cast<const char*>(
                memmem(p, static_cast<std::size_t>(end - p), marker.data(), marker.size())))) {
      ++hits;
      ++p;
    }
    benchmark::DoNotOptimize(hits);
  });
}

// The physical reference for routines that write a copy: a new string copy
// of the page, kept one per page of the pool as DeleteAll's results are.
void PlainCopyBench(benchmark::State& state, Shape shape, std::size_t size) {
  std::vector<std::string> copies(kPoolBytes / size);
  OverPool(state, shape, size, [&](const std::string& page, std::size_t i) {
    copies[i] = std::string(page);
    benchmark::DoNotOptimize(copies[i].data());
  });
}

void RegisterAll() {
  using Fn = void (*)(benchmark::State&, Shape, std::size_t);
  const std::pair<const char*, Fn> routines[] = {{"ExtractEntries", ExtractEntriesBench},
                                                 {"ExtractPageLinks", ExtractPageLinksBench},
                                                 {"DeleteAll_LF", DeleteAllBench},
                                                 {"PlainScan", PlainScanBench},
                                                 {"PlainCopy", PlainCopyBench}};
  for (const auto& [routine, fn] : routines) {
    for (Shape shape : AllShapes()) {
      for (const auto& [sizeName, size] : kSizes) {
        const std::string name =
            std::string(routine) + "/" + std::string(ShapeName(shape)) + "/" + sizeName;
        benchmark::RegisterBenchmark(name.c_str(), fn, shape, size)->Unit(benchmark::kMillisecond);
      }
    }
  }
}

}  // namespace
}  // namespace quillo::bench

int main(int argc, char** argv) {
  // glibc hands blocks of 32 MiB and more back to the kernel on free, so a
  // 64 MiB DeleteAll result would be fresh pages, faulted in one by one, in
  // every iteration; keep freed memory in the process, as a long-running
  // program's heap does. QUILLO_BENCH_DEFAULT_MALLOC=1 measures without this.
  if (std::getenv("QUILLO_BENCH_DEFAULT_MALLOC") == nullptr) {
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  quillo::bench::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
