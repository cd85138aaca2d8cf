// Writes one generated page to standard output, for a server to serve it
// (bench/cli_run.sh).
//   quillo_write_page [shape] [MiB]     defaults: realistic 64

#include <cstdio>
#include <cstdlib>
#include <string>

#include "PageShapes.h"

int main(int argc, char** argv) {
  const auto shape = quillo::bench::ShapeByName(argc > 1 ? argv[1] : "realistic");
  const std::size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 64;
  if (!shape || mib == 0) {
    std::fprintf(stderr, "usage: quillo_write_page [shape] [MiB]\n");
    return 2;
  }
  const std::string page = quillo::bench::MakePage(*shape, mib * 1024 * 1024);
  return std::fwrite(page.data(), 1, page.size(), stdout) == page.size() ? 0 : 1;
}
