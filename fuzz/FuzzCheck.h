#pragma once

// What every fuzz target shares: reports a difference between the core's
// routine and the reference, with both results, or a result that breaks a
// property every result must have, and aborts so that libFuzzer (or the
// replay test) keeps the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillo::fuzz {

inline std::string Show(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}
inline std::string Show(bool b) { return b ? "true" : "false"; }
inline std::string Show(std::size_t n) {
  return n == std::string_view::npos ? "npos" : std::to_string(n);
}
inline std::string Show(int n) { return std::to_string(n); }
template <class T>
std::string Show(const std::optional<T>& v);
template <class A, class B>
std::string Show(const std::pair<A, B>& p);
template <class T>
std::string Show(const std::vector<T>& v);

template <class T>
std::string Show(const std::optional<T>& v) {
  return v ? Show(*v) : "nullopt";
}
template <class A, class B>
std::string Show(const std::pair<A, B>& p) {
  return "(" + Show(p.first) + ", " + Show(p.second) + ")";
}
template <class T>
std::string Show(const std::vector<T>& v) {
  std::string out = "[";
  for (const auto& x : v) out += Show(x) + (&x == &v.back() ? "" : ", ");
  return out + "]";
}

template <class Fast, class Slow>
void ExpectSame(const char* what, const Fast& fast, const Slow& slow) {
  if (fast == slow) return;
  std::fprintf(stderr, "difference in %s\n  core:      %s\n  reference: %s\n", what,
               Show(fast).c_str(), Show(slow).c_str());
  std::abort();
}

template <class Result>
void ExpectHolds(const char* property, bool holds, const Result& result) {
  if (holds) return;
  std::fprintf(stderr, "%s broken by\n  %s\n", property, Show(result).c_str());
  std::abort();
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace quillo::fuzz
