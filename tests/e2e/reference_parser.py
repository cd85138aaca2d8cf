"""A deliberately plain second implementation of the result-page parsing.

It exists to compute expected output for end-to-end checks, so it favours
being obviously right over being fast: every search restarts from scratch,
and the double-byte test walks backwards over the lead bytes each time.
Everything works on bytes in code page 932; nothing is decoded.
"""

LINK_MARKER = b'<a href="/servlet/'
LINK_END = b"</a>"

ENTRY_START = (
    b'<TABLE border="0" cellpadding="0" cellspacing="0" width="520"><TR>'
    b'<TD width="276" STYLE="word-break: break-all"><FONT size="-1">'
)
ENTRY_END = b"</TABLE>"

IDEOGRAPHIC_SPACE = b"\x81\x40"

_SPACER_CELL = (
    b'<TD width="24" height="24"><IMG src="/images/space.gif" width=24 height=24>'
    b'<BR><BR><IMG src="/images/space.gif" width=24 height=24></TD>'
)
SPACER_FRAGMENT = (
    b"</FONT></TD>"
    + b"<TD width=1></TD>".join([_SPACER_CELL] * 4)
    + b'<TD width="16">'
    + IDEOGRAPHIC_SPACE
    + b'</TD><TD width="47" valign="middle">'
)

NEW_ICON_FRAGMENT = (
    b'<IMG SRC="/images/icn_n.gif" border="0" ALT=""></A><BR></TD></TR>'
    b'<TR><TD colspan="12"><HR width="100%" SIZE="2"></TD></TR>'
)
ZIP_FRAGMENT = b'<IMG src="/images/zip.gif">'
TARGET_FRAGMENT = b" target=_blank"
FONT_OPEN_FRAGMENT = b'<FONT size="-1">'
FONT_CLOSE_FRAGMENT = b"</FONT>"
ANCHOR_CLOSE_FRAGMENT = b"</A>"
GUIDE_FRAGMENT = b'<BR><A HREF="/guide/lite/sw9404.html">'

# (fragment, ignore letter case), in the order they are deleted.  The order
# matters: the new-icon fragment holds "</A>" and the spacer fragment starts
# with "</FONT>", so both must go before the short fragments do.
FRAGMENTS = [
    (NEW_ICON_FRAGMENT, False),
    (SPACER_FRAGMENT, False),
    (ZIP_FRAGMENT, False),
    (TARGET_FRAGMENT, True),
    (FONT_OPEN_FRAGMENT, False),
    (FONT_CLOSE_FRAGMENT, False),
    (ANCHOR_CLOSE_FRAGMENT, False),
    (GUIDE_FRAGMENT, False),
]

SKIP_SUFFIXES = ["行".encode("cp932"), "ページ".encode("cp932")]


def is_lead_byte(b):
    return 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC


def is_second_byte(text, pos):
    """True when text[pos] follows an odd-length run of lead bytes."""
    run = 0
    i = pos - 1
    while i >= 0 and is_lead_byte(text[i]):
        run += 1
        i -= 1
    return run % 2 == 1


def visible_part(text):
    """What a search sees: the text up to its first zero byte."""
    zero = text.find(b"\x00")
    return text if zero < 0 else text[:zero]


def ascii_upper(text):
    # bytes.upper() folds a-z only, which is all that case-ignoring
    # comparison changes for the ASCII fragments searched this way.
    return text.upper()


def find(text, pattern, ignore_case=False):
    """Index of the first match of pattern that does not begin on a second
    byte, or -1.  Only the part before the first zero byte is searched."""
    haystack = visible_part(text)
    if ignore_case:
        haystack = ascii_upper(haystack)
        pattern = ascii_upper(pattern)
    start = 0
    while True:
        pos = haystack.find(pattern, start)
        if pos < 0:
            return -1
        if not is_second_byte(haystack, pos):
            return pos
        start = pos + 1


def delete_all(text, fragment, ignore_case=False):
    """Delete non-overlapping occurrences left to right.  Each new search
    runs over the text behind the previous occurrence as a text of its own,
    so the double-byte rule starts counting afresh there."""
    kept = b""
    rest = text
    while True:
        pos = find(rest, fragment, ignore_case)
        if pos < 0:
            return kept + rest
        kept += rest[:pos]
        rest = rest[pos + len(fragment):]


def fold_characters(text):
    """Upper-case single-byte ASCII letters, leaving double-byte characters
    (whose second byte may look like a letter) alone."""
    out = bytearray()
    i = 0
    while i < len(text):
        b = text[i]
        if is_lead_byte(b) and i + 1 < len(text):
            out += text[i:i + 2]
            i += 2
            continue
        out += ascii_upper(bytes([b]))
        i += 1
    return bytes(out)


def ends_with(text, suffix):
    if len(text) < len(suffix):
        return False
    start = len(text) - len(suffix)
    if is_second_byte(text, start):
        return False
    return fold_characters(text[start:]) == fold_characters(suffix)


def extract_page_links(text, site_root):
    """Absolute addresses of the further result pages, in page order."""
    links = []
    rest = text
    while True:
        pos = find(rest, LINK_MARKER)
        if pos < 0:
            break
        rest = rest[pos:]
        end = find(rest, LINK_END)
        if end < 0:
            break
        anchor = rest[:end]
        rest = rest[end + len(LINK_END):]
        if any(ends_with(anchor, suffix) for suffix in SKIP_SUFFIXES):
            continue
        quote = find(anchor, b'"')
        value = anchor[quote + 1:]
        close = find(value, b'"')
        path = value[:close] if close >= 0 else b""
        links.append(site_root + path)
    return links


def extract_entries(text):
    """One byte string per listing entry, in page order."""
    one_line = delete_all(delete_all(text, b"\n"), b"\r")
    lines = []
    rest = one_line
    while True:
        pos = find(rest, ENTRY_START)
        if pos < 0:
            break
        rest = rest[pos + len(ENTRY_START):]
        end = find(rest, ENTRY_END)
        if end < 0:
            break
        entry = rest[:end]
        rest = rest[end + len(ENTRY_END):]
        for fragment, ignore_case in FRAGMENTS:
            entry = delete_all(entry, fragment, ignore_case)
        lines.append(entry)
    return lines


def status_texts(page_total):
    """The status bar texts of a run over page_total pages, in order."""
    def progress(page):
        return "%2dページ目 / 全%2dページ 処理開始" % (page, page_total)

    return (["ダウンロード開始"]
            + [progress(page) for page in range(1, page_total + 1)]
            + ["ダウンロード完了"])
