#include "Reference.h"

#include "core/SiteRoot.h"

namespace quillo::reference {
namespace {

// The markup, written out here once more instead of taken from the core, so
// that a slip in the core's constants shows up as a difference too.
const std::string_view kLinkStart = "<a href=\"/servlet/";
const std::string_view kLinkEnd = "</a>";
const std::string_view kEntryStart =
    "<TABLE border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"520\"><TR><TD width=\"276\" "
    "STYLE=\"word-break: break-all\"><FONT size=\"-1\">";
const std::string_view kEntryEnd = "</TABLE>";
const std::string_view kRowSuffix = "\x8D\x73";                   // 行
const std::string_view kPageSuffix = "\x83\x79\x81\x5B\x83\x57";  // ページ

const std::string_view kFragments[8] = {
    "<IMG SRC=\"/images/icn_n.gif\" border=\"0\" ALT=\"\"></A><BR></TD></TR><TR><TD "
    "colspan=\"12\"><HR width=\"100%\" SIZE=\"2\"></TD></TR>",
    "</FONT></TD><TD width=\"24\" height=\"24\"><IMG src=\"/images/space.gif\" width=24 "
    "height=24><BR><BR><IMG src=\"/images/space.gif\" width=24 height=24></TD><TD "
    "width=1></TD><TD width=\"24\" height=\"24\"><IMG src=\"/images/space.gif\" width=24 "
    "height=24><BR><BR><IMG src=\"/images/space.gif\" width=24 height=24></TD><TD "
    "width=1></TD><TD width=\"24\" height=\"24\"><IMG src=\"/images/space.gif\" width=24 "
    "height=24><BR><BR><IMG src=\"/images/space.gif\" width=24 height=24></TD><TD "
    "width=1></TD><TD width=\"24\" height=\"24\"><IMG src=\"/images/space.gif\" width=24 "
    "height=24><BR><BR><IMG src=\"/images/space.gif\" width=24 height=24></TD><TD "
    "width=\"16\">\x81\x40</TD><TD width=\"47\" valign=\"middle\">",
    "<IMG src=\"/images/zip.gif\">",
    " target=_blank",
    "<FONT size=\"-1\">",
    "</FONT>",
    "</A>",
    "<BR><A HREF=\"/guide/lite/sw9404.html\">",
};
constexpr int kCaseIgnoringFragment = 3;

bool IsAsciiLower(char c) { return c >= 'a' && c <= 'z'; }

// The search runs over `searched` (the text itself, or its upper-cased copy,
// made once before the first search); the result is built from `text`.
std::string DeleteAllIn(std::string_view text, std::string_view searched,
                        std::string_view fragment) {
  std::string result;
  std::size_t restStart = 0;
  for (;;) {
    const std::size_t at = Find(searched.substr(restStart), fragment);
    if (at == kNotFound) break;
    result += text.substr(restStart, at);
    restStart += at + fragment.size();
  }
  result += text.substr(restStart);
  return result;
}

}  // namespace

bool IsLead(unsigned char c) { return (0x81 <= c && c <= 0x9F) || (0xE0 <= c && c <= 0xFC); }

bool IsTrail(std::string_view text, std::size_t index) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < index; ++i) {
    if (IsLead(static_cast<unsigned char>(text[i]))) {
      ++run;
    } else {
      run = 0;
    }
  }
  return run % 2 == 1;
}

std::size_t Find(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return kNotFound;
  // A pattern holding a zero byte cannot stand before the first zero byte.
  if (pattern.find('\0') != std::string_view::npos) return kNotFound;
  std::size_t run = 0;  // lead bytes directly before p
  for (std::size_t p = 0; p < text.size() && text[p] != '\0'; ++p) {
    const bool trail = run % 2 == 1;
    if (!trail && text[p] == pattern[0] && text.substr(p, pattern.size()) == pattern) return p;
    run = IsLead(static_cast<unsigned char>(text[p])) ? run + 1 : 0;
  }
  return kNotFound;
}

std::string Upper(std::string_view text) {
  std::string out;
  std::size_t run = 0;  // lead bytes directly before c
  for (char c : text) {
    const bool trail = run % 2 == 1;
    out += IsAsciiLower(c) && !trail ? static_cast<char>(c - 'a' + 'A') : c;
    run = IsLead(static_cast<unsigned char>(c)) ? run + 1 : 0;
  }
  return out;
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern) {
  return Find(Upper(text), Upper(pattern));
}

std::string DeleteAll(std::string_view text, std::string_view fragment) {
  return DeleteAllIn(text, text, fragment);
}

std::string DeleteAllIgnoreCase(std::string_view text, std::string_view fragment) {
  // Both texts are upper-cased once, before the first search; the rule for
  // second bytes then counts anew behind each deletion, as for DeleteAll.
  const std::string upper = Upper(text);
  return DeleteAllIn(text, upper, Upper(fragment));
}

bool StartsTextIgnoreCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return Upper(text.substr(0, prefix.size())) == Upper(prefix);
}

bool EndsTextIgnoreCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::size_t at = text.size() - suffix.size();
  if (IsTrail(text, at)) return false;
  return Upper(text.substr(at)) == Upper(suffix);
}

std::optional<std::int32_t> TextToInt(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;

  std::string_view digits;
  bool hex = false;
  bool negative = false;
  if (text.front() == '$' || text.front() == 'x' || text.front() == 'X') {
    hex = true;
    digits = text.substr(1);
  } else if (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X") {
    hex = true;
    digits = text.substr(2);
  } else if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    digits = text.substr(1);
  } else {
    digits = text;
  }
  if (digits.empty()) return std::nullopt;

  const std::string_view allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
  for (char c : digits) {
    if (allowed.find(c) == std::string_view::npos) return std::nullopt;
  }
  // Leading zeros carry no value; what is left decides the range.
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);

  if (hex) {
    if (digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
      const std::uint32_t d = c <= '9'   ? static_cast<std::uint32_t>(c - '0')
                              : c <= 'F' ? static_cast<std::uint32_t>(c - 'A' + 10)
                                         : static_cast<std::uint32_t>(c - 'a' + 10);
      value = value * 16 + d;
    }
    return static_cast<std::int32_t>(value);
  }
  if (digits.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

int ReadStatus(std::string_view probe) {
  // The code ends at a space or at the status line's end; unknown when the
  // text ends first.
  const auto ends = [](char c) { return c == ' ' || c == '\r' || c == '\n'; };
  std::size_t first = 0;
  while (first < probe.size() && !ends(probe[first])) ++first;
  if (first == probe.size() || probe[first] != ' ') return -1;
  std::size_t end = first + 1;
  while (end < probe.size() && !ends(probe[end])) ++end;
  if (end == probe.size()) return -1;
  return TextToInt(probe.substr(first + 1, end - first - 1)).value_or(-1);
}

bool IsByteValue(std::string_view text) {
  const auto value = TextToInt(text);
  return value.has_value() && 0 <= *value && *value <= 255;
}

bool IsIpAddress(std::string_view text) {
  if (text.size() != DeleteAll(text, ".").size() + 3) return false;
  std::string_view rest = text;
  for (int part = 0; part < 3; ++part) {
    std::size_t dot = 0;
    while (dot < rest.size() && rest[dot] != '.') ++dot;
    if (dot == rest.size()) return false;
    if (!IsByteValue(rest.substr(0, dot))) return false;
    rest = rest.substr(dot + 1);
  }
  return IsByteValue(rest);
}

std::optional<SplitUrl> SplitAddress(std::string_view url) {
  std::size_t schemeSize = 0;
  if (url.substr(0, 7) == "http://") schemeSize = 7;
  if (url.substr(0, 8) == "https://") schemeSize = 8;
  if (schemeSize == 0) return std::nullopt;
  const bool secure = schemeSize == 8;
  const std::string_view rest = url.substr(schemeSize);
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '/')
      return SplitUrl{secure, {std::string(rest.substr(0, i)), std::string(rest.substr(i))}};
  }
  return SplitUrl{secure, {std::string(rest), std::string("/")}};
}

std::vector<std::string> ExtractPageLinks(std::string_view text) {
  std::vector<std::string> links;
  std::string_view rest = text;
  for (;;) {
    const std::size_t start = Find(rest, kLinkStart);
    if (start == kNotFound) break;
    rest = rest.substr(start);
    const std::size_t end = Find(rest, kLinkEnd);
    if (end == kNotFound) break;
    std::string_view anchor = rest.substr(0, end);
    rest = rest.substr(end + kLinkEnd.size());

    if (EndsTextIgnoreCase(anchor, kRowSuffix) || EndsTextIgnoreCase(anchor, kPageSuffix)) continue;
    anchor = anchor.substr(Find(anchor, "\"") + 1);
    const std::size_t close = Find(anchor, "\"");
    const std::string_view path = close == kNotFound ? std::string_view() : anchor.substr(0, close);
    links.push_back(std::string(kSiteRoot) + std::string(path));
  }
  return links;
}

std::vector<std::string> ExtractEntries(std::string_view text) {
  std::vector<std::string> lines;
  const std::string oneLine = DeleteAll(DeleteAll(text, "\n"), "\r");
  std::string_view rest = oneLine;
  for (;;) {
    const std::size_t start = Find(rest, kEntryStart);
    if (start == kNotFound) break;
    rest = rest.substr(start + kEntryStart.size());
    const std::size_t end = Find(rest, kEntryEnd);
    if (end == kNotFound) break;
    std::string entry(rest.substr(0, end));
    rest = rest.substr(end + kEntryEnd.size());
    for (int i = 0; i < 8; ++i) {
      entry = i == kCaseIgnoringFragment ? DeleteAllIgnoreCase(entry, kFragments[i])
                                         : DeleteAll(entry, kFragments[i]);
    }
    lines.push_back(entry);
  }
  return lines;
}

}  // namespace quillo::reference
