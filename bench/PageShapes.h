#pragma once

// Generated result pages in code page 932 for the benchmarks: the same seed
// gives the same bytes, so figures from different runs compare.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::bench {

enum class Shape {
  Realistic,   // result pages as the site serves them, CR LF line ends
  DoubleByte,  // nothing but double-byte text, long runs of lead-range bytes
  LineBreaks,  // dense in CR and LF, some of them behind lead bytes
  Entries,     // short entries only: 100 000 of them in 16 MiB
  NearMisses,  // start markers cut short, link anchors never closed
};

std::string_view ShapeName(Shape shape);
std::vector<Shape> AllShapes();
// The shape of that name; nullopt for an unknown name.
std::optional<Shape> ShapeByName(std::string_view name);

// A whole response (status line, header lines, body) of exactly size bytes;
// pages of another variant have the same shape and other bytes.
std::string MakePage(Shape shape, std::size_t size, std::uint32_t variant = 0);

}  // namespace quillo::bench
