"""Hand-made cases for the reference parser, so that the expected output it
produces for the demo site can be trusted.

Run: python3 -m unittest discover -s tests/e2e -v
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import reference_parser as rp  # noqa: E402

ROOT = b"http://listings.example"


def sj(text):
    return text.encode("cp932")


def entry(body):
    return rp.ENTRY_START + body + rp.ENTRY_END


class MarkerTexts(unittest.TestCase):
    def test_marker_lengths(self):
        self.assertEqual(len(rp.ENTRY_START), 128)
        self.assertEqual(len(rp.SPACER_FRAGMENT), 660)

    def test_spacer_holds_one_ideographic_space(self):
        self.assertEqual(rp.SPACER_FRAGMENT.count(b"\x81\x40"), 1)
        self.assertTrue(rp.SPACER_FRAGMENT.startswith(b"</FONT></TD><TD width=\"24\""))
        self.assertTrue(rp.SPACER_FRAGMENT.endswith(b'<TD width="47" valign="middle">'))


class SecondByteRule(unittest.TestCase):
    cases = [
        # name, text, pattern, expected index
        ("trail 0x5C of 表 is skipped", sj("表") + b"\\", b"\\", 2),
        ("trail 0x5C of ソ only match", sj("ソ"), b"\\", -1),
        ("trail 0x7C of ポ is skipped", sj("ポ|"), b"|", 2),
        ("trail letter of ア is skipped", sj("アA"), b"A", 2),
        ("even lead run: not a trail", b"\x81\x81X", b"X", 2),
        ("odd lead run: trail", b"\x81\x81\x81X", b"X", -1),
        ("E0-FC leads count too", b"\xe0\xfcX\xfcX", b"X", 2),
        ("half-width katakana is no lead", sj("ｿ") + b"\\", b"\\", 1),
        ("A0 and FD are no leads", b"\xa0X\xfdX", b"X", 1),
        ("zero byte hides the match", b"abc\x00X", b"X", -1),
        ("match before the zero byte", b"X\x00X", b"X", 0),
    ]

    def test_find(self):
        for name, text, pattern, expected in self.cases:
            with self.subTest(name):
                self.assertEqual(rp.find(text, pattern), expected)

    def test_deletion_counts_afresh_after_each_occurrence(self):
        # In the whole text the second "A\x81" begins on a trail byte, but
        # behind the first deletion it stands at the start of the rest.
        self.assertEqual(rp.delete_all(b"A\x81A\x81B", b"A\x81"), b"B")

    def test_deletion_skips_trail_occurrence(self):
        self.assertEqual(rp.delete_all(sj("ソ") + b"\\x\\", b"\\"), sj("ソ") + b"x")

    def test_deletion_keeps_bytes_behind_zero(self):
        self.assertEqual(rp.delete_all(b"a\r\n\x00b\r\n", b"\r"), b"a\n\x00b\r\n")

    def test_deletion_does_not_rescan_joined_text(self):
        self.assertEqual(rp.delete_all(b"</FO</FONT>NT>", b"</FONT>"), b"</FONT>")


class Entries(unittest.TestCase):
    def test_empty_text(self):
        self.assertEqual(rp.extract_entries(b""), [])

    def test_start_without_end_gives_nothing(self):
        self.assertEqual(rp.extract_entries(rp.ENTRY_START + b"abc"), [])

    def test_two_entries_lose_their_line_breaks(self):
        page = b"<HTML>\r\n" + entry(b"a\r\nb") + b"\r\n" + entry(b"c\rd\ne") + b"</HTML>"
        self.assertEqual(rp.extract_entries(page), [b"ab", b"cde"])

    def test_line_break_inside_a_marker_is_removed_first(self):
        start = rp.ENTRY_START[:40] + b"\r\n" + rp.ENTRY_START[40:]
        self.assertEqual(rp.extract_entries(start + b"x</TAB\r\nLE>"), [b"x"])

    def test_empty_entry_still_gives_a_line(self):
        only_fragments = rp.SPACER_FRAGMENT + rp.ZIP_FRAGMENT + b"</A></FONT>"
        self.assertEqual(rp.extract_entries(entry(b"") + entry(only_fragments)), [b"", b""])

    def test_target_blank_in_any_letter_case(self):
        body = (b'<A HREF="/servlet/detail?id=1" target=_blank>One</A>'
                b'<A HREF="/servlet/detail?id=2" TARGET=_BLANK>Two</A>'
                b'<A HREF="/servlet/detail?id=3" TaRgEt=_bLaNk>Three</A>')
        self.assertEqual(rp.extract_entries(entry(body)),
                         [b'<A HREF="/servlet/detail?id=1">One'
                          b'<A HREF="/servlet/detail?id=2">Two'
                          b'<A HREF="/servlet/detail?id=3">Three'])

    def test_target_without_leading_space_stays(self):
        self.assertEqual(rp.extract_entries(entry(b"<A target=_blank>")), [b"<A>"])
        self.assertEqual(rp.extract_entries(entry(b"<Atarget=_blank>")),
                         [b"<Atarget=_blank>"])

    def test_lower_case_anchor_end_stays(self):
        self.assertEqual(rp.extract_entries(entry(b'<a href="/x">y</a></A>')),
                         [b'<a href="/x">y</a>'])

    def test_fragment_order(self):
        # The long fragments go first; deleting "</A>" or "</FONT>" before
        # them would leave their remains in the line.
        body = (b'<A HREF="/servlet/detail?id=9">Item' + rp.SPACER_FRAGMENT
                + b"Tokyo" + b'<A HREF="/servlet/detail?id=9">' + rp.NEW_ICON_FRAGMENT)
        self.assertEqual(rp.extract_entries(entry(body)),
                         [b'<A HREF="/servlet/detail?id=9">ItemTokyo'
                          b'<A HREF="/servlet/detail?id=9">'])

    def test_later_fragment_sees_text_joined_by_earlier_one(self):
        body = b"a tar" + rp.ZIP_FRAGMENT + b"get=_BLANKb"
        self.assertEqual(rp.extract_entries(entry(body)), [b"ab"])

    def test_guide_link_and_fonts(self):
        body = (b'<FONT size="-1">5/14</FONT>' + rp.GUIDE_FRAGMENT + sj("ガイド")
                + b"</A>" + b'<FONT color="#CC0000">' + sj("12,000円") + b"</FONT>")
        self.assertEqual(rp.extract_entries(entry(body)),
                         [b"5/14" + sj("ガイド") + b'<FONT color="#CC0000">' + sj("12,000円")])

    def test_double_byte_text_is_kept_byte_for_byte(self):
        body = sj("ソファ 表示 ﾃﾞｼﾞｶﾒ 能力 ポット【美品】")
        self.assertEqual(rp.extract_entries(entry(body)), [body])

    def test_zero_byte_hides_later_entries(self):
        page = entry(b"one") + b"\x00" + entry(b"two")
        self.assertEqual(rp.extract_entries(page), [b"one"])

    def test_zero_byte_inside_entry_hides_its_end(self):
        self.assertEqual(rp.extract_entries(entry(b"a\x00b") + entry(b"c")), [])

    def test_start_marker_on_a_trail_byte_is_not_found(self):
        # A lone lead byte right before the marker makes its "<" a trail.
        self.assertEqual(rp.extract_entries(b"\x81" + entry(b"x")), [])
        self.assertEqual(rp.extract_entries(b"\x81\x81" + entry(b"x")), [b"x"])


class PageLinks(unittest.TestCase):
    def links(self, page):
        return rp.extract_page_links(page, ROOT)

    def test_empty_text(self):
        self.assertEqual(self.links(b""), [])

    def test_numbered_links_in_page_order_with_duplicates(self):
        page = (b'<a href="/servlet/result2.html">2</a> '
                b'<a href="/servlet/result3.html" class="pg">3</a>'
                b'<a href="/servlet/result2.html">2</a>')
        self.assertEqual(self.links(page), [
            ROOT + b"/servlet/result2.html",
            ROOT + b"/servlet/result3.html",
            ROOT + b"/servlet/result2.html",
        ])

    def test_page_and_row_anchors_are_skipped(self):
        page = (b'<a href="/servlet/result1.html?rows=50">' + sj("50行") + b"</a>"
                + b'<a href="/servlet/result2.html">' + sj("次のページ") + b"</a>"
                + b'<a href="/servlet/result3.html">3</a>')
        self.assertEqual(self.links(page), [ROOT + b"/servlet/result3.html"])

    def test_suffix_beginning_on_a_trail_byte_does_not_match(self):
        # "ロs" ends in the bytes of "行", but they begin on ロ's second byte.
        page = b'<a href="/servlet/result4.html">' + sj("レトロs") + b"</a>"
        self.assertEqual(sj("ロs")[1:], sj("行"))
        self.assertEqual(self.links(page), [ROOT + b"/servlet/result4.html"])

    def test_other_double_byte_character_with_letter_trail_does_not_match(self):
        # 拘 is 8D 53: its second byte is "S", but the character is no "行".
        page = b'<a href="/servlet/r.html">' + sj("拘") + b"</a>"
        self.assertEqual(self.links(page), [ROOT + b"/servlet/r.html"])

    def test_missing_closing_quote_gives_site_root(self):
        self.assertEqual(self.links(b'<a href="/servlet/result2.html>2</a>'), [ROOT])

    def test_upper_case_tag_is_no_link(self):
        self.assertEqual(self.links(b'<A HREF="/servlet/detail?id=1">x</A>'), [])

    def test_missing_end_stops(self):
        self.assertEqual(self.links(b'<a href="/servlet/result2.html">2'), [])

    def test_zero_byte_hides_later_links(self):
        page = b'<a href="/servlet/a">1</a>\x00<a href="/servlet/b">2</a>'
        self.assertEqual(self.links(page), [ROOT + b"/servlet/a"])


class Status(unittest.TestCase):
    def test_three_pages(self):
        self.assertEqual(rp.status_texts(3), [
            "ダウンロード開始",
            " 1ページ目 / 全 3ページ 処理開始",
            " 2ページ目 / 全 3ページ 処理開始",
            " 3ページ目 / 全 3ページ 処理開始",
            "ダウンロード完了",
        ])

    def test_three_digit_numbers_take_their_width(self):
        self.assertEqual(rp.status_texts(100)[-2], "100ページ目 / 全100ページ 処理開始")


if __name__ == "__main__":
    unittest.main()
