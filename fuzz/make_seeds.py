#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into fuzz/corpus/<target>/.

The seeds are the hand-made pages and texts of the core's tests, written out
as bytes, plus the demo site's pages when demo/site exists. Run it again after
adding a case; the files it writes are committed.
"""
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent
CORPUS = ROOT / "corpus"

# The markers have one Python copy, the reference parser's.
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(ROOT.parent / "tests" / "e2e"))
import reference_parser as rp  # noqa: E402

ENTRY_START = rp.ENTRY_START
SPACER = rp.SPACER_FRAGMENT
ICON = rp.NEW_ICON_FRAGMENT
PAGE_SUFFIX, ROW_SUFFIX = rp.SKIP_SUFFIXES[1], rp.SKIP_SUFFIXES[0]

def entry(body):
    return ENTRY_START + body + b"</TABLE>"


def anchor(href, text):
    return b'<a href="' + href + b'">' + text + b"</a>"


def page(anchors=(), entries=()):
    out = b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>\r\n"
    for a in anchors:
        out += a + b"\r\n"
    for e in entries:
        out += entry(e) + b"\r\n"
    return out + b"</body></html>\r\n"


PAGES = {
    "links-in-order": page([anchor(b"/servlet/list?p=2", b"2"), anchor(b"/servlet/list?p=3", b"3"),
                            anchor(b"/servlet/list?p=2", b"2"), anchor(b"/other/x", b"4"),
                            b'<A HREF="/servlet/upper">5</A>']),
    "links-next-and-rows": page([anchor(b"/servlet/a", b"\x8E\x9F\x82\xCC" + PAGE_SUFFIX),
                                 anchor(b"/servlet/b", b"50" + ROW_SUFFIX),
                                 anchor(b"/servlet/c", b"3")]),
    "link-suffix-on-second-byte": anchor(b"/servlet/a", b"\x81\x8D\x73"),
    "link-unclosed-href": b'<a href="/servlet/x>7</a>',
    "link-without-end": b'<a href="/servlet/x">2',
    "link-behind-zero": b"x\x00" + anchor(b"/servlet/x", b"2"),
    "link-behind-lead": b"\x82" + anchor(b"/servlet/x", b"2") + b"\x82\x82" + anchor(b"/servlet/y", b"2"),
    "entries-line-breaks": b"head\r\n" + entry(b"first\r\nentry") + b"\r\n<p>\n" + entry(b"second\r\r\n") + b"tail",
    "entries-all-fragments": entry(b'<A HREF="/servlet/detail?id=7" TaRgEt=_BlAnK>Item</A>' + ICON + b"<BR>price"
                                   + SPACER + b'<IMG src="/images/zip.gif"><FONT size="-1">x</FONT> </a>'
                                   + b'<BR><A HREF="/guide/lite/sw9404.html">guide</A>'),
    "entries-fragment-order": entry(b"a" + ICON + b"b" + SPACER + b"c"),
    "entries-no-rescan": entry(b"</FO</FONT>NT>"),
    "entries-empty": entry(b"") + entry(b"</A></FONT>"),
    "entries-cut-off": entry(b"one") + ENTRY_START + b"cut",
    "entries-behind-zero": entry(b"a") + b"\x00" + entry(b"b"),
    "entries-behind-lead": b"\x88" + entry(b"x") + b"\x88\x9F" + entry(b"y"),
    "entries-double-byte": entry(b"\x83\x5C\x95\x5C\x94\x5C</A>\x83</A>"),
    "entries-break-on-second-byte": entry(b"a\x81\nb\r\nc\x81\x81\n\x81\rd"),
    "entries-and-links": page([anchor(b"/servlet/r?p=2", b"2")],
                              [b'<A HREF="/servlet/detail?id=1" target=_blank>x</A>' + SPACER + b"y" + ICON]),
}

# Text rules: [pattern length][search offset][pattern][text].
TEXT_RULES = {
    "find-not-on-second-byte": (b"<", 0, b"\x82<b<"),
    "find-lead-runs": (b"\x81\x81", 0, b"x\x81\x81\x81\x81"),
    "find-behind-zero": (b"cd", 0, b"ab\x00cd"),
    "find-from-offset": (b"<", 1, b"\x81<<"),
    "ignore-case": (b" target=_blank", 0, b"xx TARGET=_Blank y \x82a target=_BLANK"),
    "ignore-case-second-byte": (b"\x8D\x73", 0, b"\x8D\x53\x8D\x73"),
    "delete-overlap": (b"aa", 0, b"aaaaa"),
    "delete-joined": (b"ab", 0, b"aabb"),
    "delete-rule-anew": (b"\x81X", 0, b"\x81X<\x81\x81<\x81<"),
    "delete-dots": (b".", 0, b"a.b\x00.c.\x00."),
    "suffix-page": (PAGE_SUFFIX, 0, b"\x8E\x9F\x82\xCC" + PAGE_SUFFIX),
    "suffix-row-on-second-byte": (ROW_SUFFIX, 0, b"\x81\x8D\x73"),
    "prefix": (b"HTTP://LISTINGS.EXAMPLE/", 0, b"http://listings.example/servlet/x"),
}

STATUS = {
    "ok": b"HTTP/1.0 200 OK\r\n", "not-found": b"HTTP/1.1 404 Not Found\r\n",
    "no-reason": b"HTTP/1.0 200\r\n\r\n", "runs-into-header": b"HTTP/1.0 200\r\nServer: a b\r\n",
    "two-spaces": b"HTTP/1.0  200 OK", "plus": b"HTTP/1.0 +200 OK", "dollar": b"HTTP/1.0 $C8 OK",
    "hex": b"HTTP/1.0 0x12C OK", "min": b"-2147483648", "max": b"2147483647",
    "too-big": b"2147483648", "hex-pattern": b"  $FFFFFFFF", "hex-too-big": b"0x100000000",
    "leading-zeros": b"-000000000002147483648", "sign-and-hex": b"-$10", "garbage": b"garbage",
}

IP = {
    "loopback": b"127.0.0.1", "broadcast": b"255.255.255.255", "part-too-big": b"1.2.3.256",
    "two-dots": b"1.2.3", "four-dots": b"1.2.3.4.5", "names": b"a.b.c.d",
    "number-forms": b" 1.+2.$3.x4", "empty-part": b"1..2.3", "trailing-space": b"1.2.3.4 ",
    "negative": b"-1.2.3.4", "host": b"listings.example", "dot-on-second-byte": b"1\x81.2.3.4.5",
    "dot-behind-zero": b"1.2.3\x00.4.5",
}

URLS = {
    "result": b"http://listings.example/servlet/result1.html?p=2",
    "no-path": b"http://listings.example", "upper-scheme": b"HTTP://listings.example/",
    "space": b" http://listings.example/", "scheme-only": b"http://",
    "port": b"http://listings.example:8080/lite/", "user-query": b"http://u@h?x/y#z",
}


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def main():
    for name, data in PAGES.items():
        write("page_parsing", name, data)
    demo = ROOT.parent / "demo" / "site"
    if demo.is_dir():
        for path in sorted(demo.rglob("*.html")):
            body = path.read_bytes()
            data = b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body
            name = "demo-" + "-".join(path.relative_to(demo).with_suffix("").parts)
            write("page_parsing", name, data)
            # The first few entries alone: small enough for quick mutation.
            cut = data.find(b"</TABLE>", data.find(b"</TABLE>") + 1)
            if cut > 0:
                write("page_parsing", name + "-head", data[: cut + 8 + 200])
    for name, (pattern, offset, text) in TEXT_RULES.items():
        write("text_rules", name, bytes([len(pattern), offset]) + pattern + text)
    for name, data in STATUS.items():
        write("status", name, data)
    for name, data in IP.items():
        write("ip_address", name, data)
    for name, data in URLS.items():
        write("address_split", name, data)


if __name__ == "__main__":
    main()
