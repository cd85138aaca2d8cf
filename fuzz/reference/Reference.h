#pragma once

// Slow, plain versions of the text rules and the page parsing, written to be
// read against the rules rather than to be fast. The fuzz targets and the
// regression tests compare the core's routines with these on every input.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillo::reference {

inline constexpr std::size_t kNotFound = std::string_view::npos;

// 0x81..0x9F and 0xE0..0xFC.
bool IsLead(unsigned char c);

// True when the run of lead bytes directly before text[index] has odd length,
// the run counted by walking text from its first byte.
bool IsTrail(std::string_view text, std::size_t index);

// First position p, before the text's first zero byte, where pattern stands
// whole and text[p] is not a trail byte; kNotFound otherwise (also for an
// empty pattern).
std::size_t Find(std::string_view text, std::string_view pattern);

// ASCII letters upper-cased, except bytes that are trail bytes.
std::string Upper(std::string_view text);

// Find on upper-cased copies of both texts.
std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern);

// Builds the result step by step: take the text before the next occurrence,
// skip the occurrence, search on in the text behind it as a text of its own.
std::string DeleteAll(std::string_view text, std::string_view fragment);
std::string DeleteAllIgnoreCase(std::string_view text, std::string_view fragment);

bool StartsTextIgnoreCase(std::string_view text, std::string_view prefix);
bool EndsTextIgnoreCase(std::string_view text, std::string_view suffix);

// The text-to-integer rule.
std::optional<std::int32_t> TextToInt(std::string_view text);

// Status code between the status line's first space and the next space or
// line end, by plain byte search.
int ReadStatus(std::string_view probe);

bool IsByteValue(std::string_view text);
bool IsIpAddress(std::string_view text);

// Whether the address is https, and its host and path.
using SplitUrl = std::pair<bool, std::pair<std::string, std::string>>;
std::optional<SplitUrl> SplitAddress(std::string_view url);

std::vector<std::string> ExtractPageLinks(std::string_view text);
std::vector<std::string> ExtractEntries(std::string_view text);

}  // namespace quillo::reference
