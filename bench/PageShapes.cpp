#include "PageShapes.h"

#include <cstdint>
#include <cstdio>
#include <random>

#include "core/PageParsing.h"

namespace quillo::bench {
namespace {

constexpr std::string_view kHeader =
    "HTTP/1.0 200 OK\r\nServer: listings\r\nContent-Type: text/html; charset=Shift_JIS\r\n\r\n";

class Writer {
 public:
  Writer(std::size_t size, std::uint32_t seed) : size_(size), random_(seed) {
    page_.reserve(size + 4096);  // the last piece may run past size before the cut
    page_ += kHeader;
  }

  bool full() const { return page_.size() >= size_; }
  std::size_t room() const { return size_ - page_.size(); }
  void add(std::string_view s) { page_ += s; }
  void addChar(char c) { page_ += c; }

  std::uint32_t below(std::uint32_t n) {
    return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(random_);
  }

  unsigned char leadByte() {
    const std::uint32_t n = below(31 + 29);  // 0x81..0x9F, 0xE0..0xFC
    return static_cast<unsigned char>(n < 31 ? 0x81 + n : 0xE0 + (n - 31));
  }

  // A kanji, hiragana or katakana character as its two bytes.
  void addJapanese() {
    switch (below(3)) {
      case 0:  // kanji: lead 0x88..0x9F, trail 0x40..0xFC without 0x7F
        addChar(static_cast<char>(0x88 + below(0x18)));
        addChar(static_cast<char>(trailByte()));
        break;
      case 1:  // hiragana
        addChar('\x82');
        addChar(static_cast<char>(0x9F + below(0x53)));
        break;
      default:  // katakana
        addChar('\x83');
        addChar(static_cast<char>(0x40 + below(0x37)));
        break;
    }
  }

  void addJapanese(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) addJapanese();
  }

  void addNumber(std::uint32_t value) { add(std::to_string(value)); }

  // Cut to exactly the requested size; the cut may split a character or a
  // marker, as a page cut off by the network would.
  std::string finish() {
    page_.resize(size_, ' ');
    return std::move(page_);
  }

 private:
  std::uint32_t trailByte() {
    const std::uint32_t n = below(0xBC);  // 0x40..0xFC without 0x7F
    return 0x40 + n + (0x40 + n >= 0x7F ? 1 : 0);
  }

  std::size_t size_;
  std::mt19937 random_;
  std::string page_;
};

void RealisticHead(Writer& w) {
  w.add(
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<HTML "
      "lang=\"ja\">\r\n<HEAD>\r\n<META http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=Shift_JIS\">\r\n<TITLE>");
  w.addJapanese(12);
  w.add("</TITLE>\r\n</HEAD>\r\n<BODY bgcolor=\"#FFFFFF\" text=\"#333333\">\r\n");
  w.add("<a href=\"/lite/\">\xD7\xB2\xC4\x94\xC5\xC4\xAF\xCC\xDF</a> &gt; ");
  w.addJapanese(8);
  w.add("<BR>\r\n<FONT size=\"-1\">");
  w.addJapanese(4);
  w.add("</FONT><BR>\r\n");
  w.add(
      "<a href=\"/servlet/result1.html?rows=50\">50\x8Ds</a> | <a "
      "href=\"/servlet/result1.html?rows=100\">100\x8Ds</a><BR>\r\n<HR width=\"100%\" "
      "SIZE=\"2\">\r\n");
}

void RealisticEntry(Writer& w, std::uint32_t id) {
  static constexpr std::string_view kTargets[] = {" target=_blank", " TARGET=_BLANK",
                                                  " Target=_Blank", " target=_BLANK"};
  const std::string_view target = kTargets[w.below(4)];
  w.add(markup::kEntryStart);
  w.add("\r\n<A HREF=\"/servlet/detail?id=");
  w.addNumber(id);
  w.add("\"");
  w.add(target);
  w.add(">");
  w.addJapanese(6 + w.below(14));
  w.add("</A><BR>\r\n<FONT color=\"#CC0000\"><B>");
  w.addNumber(100 * (1 + w.below(500)));
  w.add("\x89\x7E</B></FONT>\x81\x40");  // 円 and an ideographic space
  w.addJapanese(3 + w.below(4));
  w.add("<BR>\r\n");
  if (w.below(3) != 0) {
    w.add("<IMG src=\"/images/zip.gif\">");
    w.addNumber(100 + w.below(900));
    w.add("-");
    w.addNumber(1000 + w.below(9000));
    w.add(" ");
  }
  w.addJapanese(5 + w.below(8));
  // The spacer cells as the site writes them: a line break before each cell.
  const std::string_view spacer = markup::kSpacerCells;
  std::size_t from = 0;
  for (std::size_t cut = spacer.find("<TD width=\"24\""); cut != std::string_view::npos;
       cut = spacer.find("<TD width=\"", cut + 1)) {
    w.add(spacer.substr(from, cut - from));
    w.add("\r\n");
    from = cut;
  }
  w.add(spacer.substr(from));
  w.add("\r\n<FONT size=\"-1\">");
  w.addNumber(1 + w.below(12));
  w.add("/");
  w.addNumber(1 + w.below(28));
  w.add(
      "\x8C"
      "f\x8D\xDA<BR>");  // 掲載
  w.addJapanese(4 + w.below(6));
  w.add("</FONT>");
  if (w.below(4) == 0) {
    w.add("<BR><A HREF=\"/guide/lite/sw9404.html\">");
    w.addJapanese(9);
    w.add("</A>");
  }
  w.add("\r\n<BR><A HREF=\"/servlet/detail?id=");
  w.addNumber(id);
  w.add("\"");
  w.add(target);
  w.add(">");
  const std::string_view icon = markup::kEntryFragments[0];  // icon, then the rule row
  const std::size_t row = icon.find("<TR><TD colspan");
  w.add(icon.substr(0, row));
  w.add("\r\n");
  w.add(icon.substr(row));
  w.add("\r\n</TABLE>\r\n");
}

std::string Realistic(std::size_t size, std::uint32_t variant) {
  Writer w(size, 1 + 16 * variant);
  RealisticHead(w);
  std::string footer = "<HR width=\"100%\" SIZE=\"2\">\r\n";
  for (int p = 2; p <= 9; ++p) {
    footer += "<a href=\"/servlet/result1.html?p=" + std::to_string(p) + "\">" + std::to_string(p) +
              "</a> | ";
  }
  footer += "<a href=\"/servlet/result1.html?p=2\">\x8E\x9F\x82\xCC\x83y\x81[\x83W</a>\r\n";
  footer += "</BODY>\r\n</HTML>\r\n";
  std::uint32_t id = 241000;
  while (w.room() > footer.size() + 2000) RealisticEntry(w, id++);
  w.add(footer);
  return w.finish();
}

std::string DoubleByte(std::size_t size, std::uint32_t variant) {
  Writer w(size, 2 + 16 * variant);
  while (!w.full()) {
    w.addChar(static_cast<char>(w.leadByte()));
    // Nine in ten second bytes lie in the lead range too, so runs of
    // lead-range bytes are long and only their parity tells characters apart.
    w.addChar(static_cast<char>(w.below(10) != 0 ? w.leadByte() : 0x40 + w.below(0x3F)));
  }
  return w.finish();
}

std::string LineBreaks(std::size_t size, std::uint32_t variant) {
  Writer w(size, 3 + 16 * variant);
  while (!w.full()) {
    const std::uint32_t n = w.below(20);
    if (n < 8) {
      w.add("\r\n");
    } else if (n < 11) {
      w.add("\n");
    } else if (n < 13) {
      w.add("\r");
    } else if (n < 18) {
      w.addChar(static_cast<char>('a' + w.below(26)));
    } else if (n < 19) {
      w.addJapanese();
    } else {
      w.addChar(static_cast<char>(w.leadByte()));  // a lone lead byte hides the next break
    }
  }
  return w.finish();
}

std::string Entries(std::size_t size, std::uint32_t variant) {
  Writer w(size, 4 + 16 * variant);
  // 168 bytes per entry: 16 MiB holds 99 864 of them.
  std::uint32_t id = 0;
  char digits[8];
  while (w.room() >= 168) {
    w.add(markup::kEntryStart);
    w.add("<A HREF=\"/s/d?id=");
    std::snprintf(digits, sizeof digits, "%05u", static_cast<unsigned>(id++ % 100000));
    w.add(digits);
    w.add("\">\x8F\xA4</A></TABLE>\r\n");
  }
  return w.finish();
}

std::string NearMisses(std::size_t size, std::uint32_t variant) {
  Writer w(size, 5 + 16 * variant);
  const std::string_view entry = markup::kEntryStart;
  const std::string_view link = markup::kLinkStart;
  while (!w.full()) {
    switch (w.below(6)) {
      case 0:
        w.add("<TABLE border=");
        break;
      case 1:  // a start marker that breaks off somewhere in its 128 bytes
        w.add(entry.substr(0, 1 + w.below(static_cast<std::uint32_t>(entry.size() - 1))));
        break;
      case 2:
        w.add(link);
        break;
      case 3:
        w.add(link.substr(0, 1 + w.below(static_cast<std::uint32_t>(link.size() - 1))));
        break;
      case 4:
        w.add(w.below(2) != 0 ? "</TABLE" : "</a");
        break;
      default:
        w.add(" x ");
        break;
    }
  }
  return w.finish();
}

}  // namespace

std::string_view ShapeName(Shape shape) {
  switch (shape) {
    case Shape::Realistic:
      return "realistic";
    case Shape::DoubleByte:
      return "double_byte";
    case Shape::LineBreaks:
      return "cr_lf_dense";
    case Shape::Entries:
      return "dense_entries";
    case Shape::NearMisses:
      return "near_misses";
  }
  return "?";
}

std::vector<Shape> AllShapes() {
  return {Shape::Realistic, Shape::DoubleByte, Shape::LineBreaks, Shape::Entries,
          Shape::NearMisses};
}

std::optional<Shape> ShapeByName(std::string_view name) {
  for (Shape shape : AllShapes()) {
    if (ShapeName(shape) == name) return shape;
  }
  return std::nullopt;
}

std::string MakePage(Shape shape, std::size_t size, std::uint32_t variant) {
  switch (shape) {
    case Shape::Realistic:
      return Realistic(size, variant);
    case Shape::DoubleByte:
      return DoubleByte(size, variant);
    case Shape::LineBreaks:
      return LineBreaks(size, variant);
    case Shape::Entries:
      return Entries(size, variant);
    case Shape::NearMisses:
      return NearMisses(size, variant);
  }
  return {};
}

}  // namespace quillo::bench
