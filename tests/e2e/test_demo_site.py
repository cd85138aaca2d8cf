"""Checks the committed demo site against its generator and cross-checks the
expected output with a second parse done a different way: on decoded text
with regular expressions instead of byte searches.  On valid Shift-JIS the
two must agree, since a decoded string has no second bytes to trip over.

Run: python3 -m unittest discover -s tests/e2e -v
"""

import os
import re
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(REPO, "demo"))

import make_demo  # noqa: E402
import reference_parser as rp  # noqa: E402

EXPECTED = os.path.join(REPO, "demo", "expected")
SITE = os.path.join(REPO, "demo", "site")
ROOT = "http://listings.example"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def page(rel):
    return read(os.path.join(SITE, rel)).decode("cp932")


def regex_entries(text):
    text = text.replace("\n", "").replace("\r", "")
    start = re.escape(rp.ENTRY_START.decode("ascii"))
    lines = []
    for body in re.findall(start + "(.*?)</TABLE>", text):
        for fragment, ignore_case in rp.FRAGMENTS:
            flags = re.IGNORECASE if ignore_case else 0
            body = re.sub(re.escape(fragment.decode("cp932")), "", body, flags=flags)
        lines.append(body)
    return lines


def regex_links(text):
    links = []
    for href, label in re.findall(r'<a href="(/servlet/[^"]*)"[^>]*>(.*?)</a>', text):
        if not label.endswith(("行", "ページ")):
            links.append(ROOT + href)
    return links


class CommittedFiles(unittest.TestCase):
    def test_generator_output_is_committed(self):
        pages = make_demo.page_bytes()
        expected = make_demo.expected_files(pages)
        self.assertEqual(make_demo.stale_files(SITE, pages), [])
        self.assertEqual(make_demo.stale_files(EXPECTED, expected), [])

    def test_pages_use_crlf_only(self):
        for rel in make_demo.page_bytes():
            data = read(os.path.join(SITE, rel))
            with self.subTest(rel):
                self.assertNotIn(b"\n", data.replace(b"\r\n", b""))
                self.assertIn(b"charset=Shift_JIS", data)

    def test_pages_hold_the_awkward_bytes(self):
        data = read(os.path.join(SITE, "servlet", "result1.html"))
        for text in ["ソ", "表", "能", "ポ", "ｷｯｽﾞ", "　"]:
            with self.subTest(text):
                self.assertIn(text.encode("cp932"), data)


class CrossCheck(unittest.TestCase):
    def test_links_of_first_page(self):
        links = regex_links(page("servlet/result1.html"))
        self.assertEqual(links, [ROOT + "/servlet/result%d.html" % n for n in (2, 3, 4)])
        self.assertEqual(read(os.path.join(EXPECTED, "links.txt")).decode("ascii"),
                         "".join(link + "\n" for link in links))

    def test_entries_of_all_pages(self):
        lines = []
        for n in (1, 2, 3, 4):
            found = regex_entries(page("servlet/result%d.html" % n))
            self.assertGreaterEqual(len(found), 30)
            lines += found
        utf8 = read(os.path.join(EXPECTED, "entries.txt")).decode("utf-8")
        self.assertEqual(utf8, "".join(line + "\n" for line in lines))

    def test_raw_entries_match_utf8_entries(self):
        raw = read(os.path.join(EXPECTED, "entries.cp932.txt"))
        utf8 = read(os.path.join(EXPECTED, "entries.txt")).decode("utf-8")
        self.assertEqual(raw, utf8.encode("cp932"))

    def test_status_texts(self):
        self.assertEqual(read(os.path.join(EXPECTED, "status.txt")).decode("utf-8"), (
            "ダウンロード開始\n"
            " 1ページ目 / 全 4ページ 処理開始\n"
            " 2ページ目 / 全 4ページ 処理開始\n"
            " 3ページ目 / 全 4ページ 処理開始\n"
            " 4ページ目 / 全 4ページ 処理開始\n"
            "ダウンロード完了\n"))


if __name__ == "__main__":
    unittest.main()
