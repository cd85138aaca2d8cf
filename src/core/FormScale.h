#pragma once

// The form on screens denser than 96 dots per inch: every place and size of
// core/FormLayout.h times the screen's scale, rounded, and the art drawn for
// the density nearest the screen's. Both windows scale by these rules, so
// they stand alike at every density.

#include <string>
#include <string_view>

#include "core/FormLayout.h"

namespace quillo::form {

// The density the form's pixels are given at.
inline constexpr int kBaseDpi = 96;

// A length of the form on a screen of dpi dots per inch, halves rounded up.
constexpr int Scaled(int pixels, int dpi) { return (pixels * dpi + kBaseDpi / 2) / kBaseDpi; }

constexpr Place Scaled(const Place& place, int dpi) {
  return {Scaled(place.left, dpi), Scaled(place.top, dpi), Scaled(place.width, dpi),
          Scaled(place.height, dpi)};
}

// The densities the button images and the icon are drawn for (res/make_art.py),
// in halves of 96 dpi, with the suffix their files bear before the extension.
struct Art {
  int halves;
  std::string_view suffix;
};
inline constexpr Art kArts[] = {{2, ""}, {3, "@1.5x"}, {4, "@2x"}};

// The art nearest to the screen's density, the larger of two as near; past
// 2x the 2x art, enlarged smoothly by whoever draws it.
constexpr const Art& ArtFor(int dpi) {
  const int halves = (dpi * 2 + kBaseDpi / 2) / kBaseDpi;
  if (halves <= 2) return kArts[0];
  if (halves == 3) return kArts[1];
  return kArts[2];
}

// "logo.bmp" with the art's suffix: "logo@1.5x.bmp".
inline std::string ArtFile(std::string_view file, const Art& art) {
  const std::size_t dot = file.rfind('.');
  std::string name(file.substr(0, dot));
  name += art.suffix;
  if (dot != std::string_view::npos) name += file.substr(dot);
  return name;
}

}  // namespace quillo::form
