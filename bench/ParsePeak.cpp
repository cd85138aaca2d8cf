// Peak memory of parsing one generated page: heap bytes allocated on top of
// the page while ExtractPageLinks and ExtractEntries run (their lines kept, as
// the window keeps them), and the process's peak resident set.
//   quillo_parse_peak [shape] [MiB]     defaults: realistic 64

#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "PageShapes.h"
#include "core/PageParsing.h"

namespace {

std::atomic<std::size_t> current{0};
std::atomic<std::size_t> peak{0};

void* Allocate(std::size_t size) {
  // The size is kept in front of the block so that delete can count it off.
  auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
  if (block == nullptr) throw std::bad_alloc();
  *block = size;
  const std::size_t now = current += size;
  std::size_t seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
  return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}

void Release(void* p) {
  if (p == nullptr) return;
  auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
  current -= *block;
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

int main(int argc, char** argv) {
  const std::string shapeName = argc > 1 ? argv[1] : "realistic";
  const std::size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 64;
  const auto shape = quillo::bench::ShapeByName(shapeName);
  if (!shape || mib == 0) {
    std::fprintf(stderr, "usage: quillo_parse_peak [shape] [MiB]\n");
    return 2;
  }

  const std::string page = quillo::bench::MakePage(*shape, mib * 1024 * 1024);
  const std::size_t before = current.load();
  peak = before;

  quillo::PageLinkList links;
  quillo::ExtractPageLinks(page, links);
  std::vector<std::string> lines;
  std::size_t lineBytes = 0;
  quillo::ExtractEntries(page, [&](std::string_view line) {
    lines.emplace_back(line);
    lineBytes += line.size();
  });

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double size = static_cast<double>(page.size());
  std::printf("shape %s, page %zu bytes, %zu links, %zu lines (%zu bytes)\n", shapeName.c_str(),
              page.size(), links.size(), lines.size(), lineBytes);
  std::printf("heap on top of the page while parsing: peak %zu bytes = %.2f x page\n",
              peak.load() - before, static_cast<double>(peak.load() - before) / size);
  std::printf("process peak resident set (page included): %ld KiB = %.2f x page\n", usage.ru_maxrss,
              static_cast<double>(usage.ru_maxrss) * 1024.0 / size);
  return 0;
}
