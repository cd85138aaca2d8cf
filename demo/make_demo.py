#!/usr/bin/env python3
"""Writes the demo listings site (Shift-JIS pages) and the output a download
run over it must produce.

    python3 demo/make_demo.py          write demo/site/ and demo/expected/
    python3 demo/make_demo.py --check  exit 1 when a written file is stale

The pages are built from Python text and encoded as cp932, so the output is
the same on every run.  The expected files come from the plain reference
parser in tests/e2e/, not from the program under test.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))

import reference_parser as rp  # noqa: E402

SITE_ROOT = "http://listings.example"
CRLF = "\r\n"

ENTRY_START = rp.ENTRY_START.decode("ascii")

# Listing texts.  Several hold characters whose second byte is 0x5C (ソ 表
# 能 予 十 申 構 貼), 0x7C (ポ 掛 掃 竹) or a letter (ア 【 】 ！), and
# half-width katakana, so that byte-level searches meet them.
HOUSEHOLD = [
    ("ソファベッド 3人掛け ベージュ", 12000),
    ("ポータブル電源 大容量 ｿﾗﾉ製", 18500),
    ("表計算ソフト付き ノートPC 14型", 24000),
    ("高性能 ロードバイク 520mm", 35000),
    ("予備バッテリー付き デジタルカメラ", 9800),
    ("十畳用 石油ストーブ 2018年製", 4000),
    ("ﾐﾅﾄ電機 全自動洗濯機 7kg", 15000),
    ("学習机と椅子のセット【申込順】", 3000),
    ("木製本棚 5段 構造しっかり", 2500),
    ("ベビーカー 折りたたみ A型", 6000),
    ("電子レンジ 単機能 ホワイト", 3500),
    ("ｷｯｽﾞ用 自転車 16インチ", 4500),
    ("ソーラー腕時計 メンズ 箱あり", 7000),
    ("ゲーム機本体 ｺﾝﾄﾛｰﾗｰ2個付", 14000),
    ("ダイニングテーブル 4人用 竹製", 8000),
    ("冷蔵庫 2ドア 138L", 11000),
    ("スノーボード 板・ブーツ セット", 9000),
    ("一眼レフ用 望遠レンズ 70-300mm", 21000),
    ("アコースティックギター ソフトケース付", 12500),
    ("空気清浄機 加湿機能付き", 6500),
    ("カーペット 6畳 防ダニ加工", 1500),
    ("電気ポット 2.2L 保温機能", 1200),
    ("掃除機 サイクロン式 ｺｰﾄﾞﾚｽ", 8500),
    ("テレビ台 ローボード 幅120cm", 3000),
    ("扇風機 リモコン付き 首振り", 2000),
    ("プリンター 複合機 インク付", 4800),
    ("ミシン 電子式 フットコントローラー付", 7500),
    ("漫画 全巻セット 表紙美品", 5500),
    ("ランドセル 黒 6年使用", 0),
    ("姿見 スタンドミラー", 1000),
    ("食器棚 レンジボード", 6000),
    ("キャンプ用テント 4人用 ﾀｰﾌﾟ付", 11000),
    ("ワイヤレスイヤホン 充電ケース付", 3800),
    ("タブレット 10インチ 保護フィルム貼付済", 13000),
    ("マッサージチェア 予約不要・即引取可", 20000),
    ("コーヒーメーカー ミル付き", 2800),
    ("ゴルフクラブ 7本 キャディバッグ付", 9500),
    ("電子ピアノ 88鍵 椅子付", 26000),
    ("ベッドフレーム シングル すのこ", 0),
    ("ベビーベッド 組立式", 4200),
]

RETRO = [
    ("ラジカセ ダブルデッキ 動作品", 6800),
    ("ポケットベル 3台まとめて", 1500),
    ("フィルムカメラ 標準レンズ付", 8800),
    ("ワープロ専用機 ｲﾝｸﾘﾎﾞﾝ付", 5000),
    ("MDプレーヤー ポータブル", 3300),
    ("ブラウン管テレビ 14型", 0),
    ("8ミリビデオカメラ 充電器付", 4500),
    ("レコードプレーヤー 針交換済", 9000),
    ("ソノシート 20枚セット", 1800),
    ("電卓 関数表示 太陽電池", 1200),
    ("家庭用ゲーム機 互換機 ｶｾｯﾄ5本", 7000),
    ("携帯型液晶ゲーム 十字キー良好", 2600),
    ("黒電話 ダイヤル式", 3000),
    ("カセットウォークマン型プレーヤー", 4000),
    ("ポラロイド風インスタントカメラ", 5200),
    ("ＰＨＳ端末 3色セット", 1000),
    ("真空管ラジオ 木製キャビネット", 15000),
]

AREAS = [
    ("154", "東京都世田谷区"),
    ("222", "神奈川県横浜市港北区"),
    ("560", "大阪府豊中市"),
    ("330", "埼玉県さいたま市浦和区"),
    ("273", "千葉県船橋市"),
    ("464", "愛知県名古屋市千種区"),
    ("810", "福岡県福岡市中央区"),
    ("001", "北海道札幌市北区"),
    ("657", "兵庫県神戸市灘区"),
    ("606", "京都府京都市左京区"),
    ("980", "宮城県仙台市青葉区"),
    ("734", "広島県広島市南区"),
]

CONDITIONS = ["未使用", "美品", "目立った傷なし", "やや傷あり", "使用感あり",
              "ジャンク品", "動作確認済み"]
DELIVERY = ["手渡し希望", "配送可(着払い)", "引取限定", "ﾒｰﾙ便対応", "近隣なら配達可"]
GUIDES = ["送料・引取について", "安全な取引のために", "取引ガイド"]
TARGETS = [" target=_blank", " TARGET=_BLANK", " Target=_Blank", " target=_BLANK",
           " TarGet=_blank"]

SPACE_IMG = '<IMG src="/images/space.gif" width=24 height=24>'
CAMERA_IMG = '<IMG src="/images/camera.gif" width=24 height=24 ALT="写真">'
TRAILER_ROW = '<TR><TD colspan="12"><HR width="100%" SIZE="2"></TD></TR>'


def yen(price):
    return "0円(無料)" if price == 0 else "{:,}円".format(price)


def spacer_cells(with_photo):
    """The four icon cells between the text cell and the date cell.  Most
    entries show only spacer images; one with a photo shows a camera."""
    cells = []
    for n in range(4):
        top = CAMERA_IMG if (with_photo and n == 0) else SPACE_IMG
        cells.append('<TD width="24" height="24">' + top + "<BR><BR>" + SPACE_IMG + "</TD>")
    # The site breaks the source line after each joint.
    return ("<TD width=1></TD>" + CRLF).join(cells)


def entry_markup(page, i, item):
    title, price = item
    entry_id = 240000 + page * 1000 + i * 13
    detail = '/servlet/detail?id={}'.format(entry_id)
    zip_code, area = AREAS[(i * 5 + page) % len(AREAS)]
    condition = CONDITIONS[(i + page * 3) % len(CONDITIONS)]
    delivery = DELIVERY[(i * 3 + page) % len(DELIVERY)]
    month, day = 5, 28 - (i // 2) % 27
    is_new = (page == 1 and i < 4) or (i * 7 + page) % 5 == 0
    with_zip = i % 3 != 2
    with_guide = i % 4 == 1
    with_photo = i % 7 == 4
    with_question = page in (2, 3) and i % 10 == 5

    text_cell = [
        ENTRY_START,
        '<A HREF="{}"{}>{}</A><BR>'.format(detail, TARGETS[(i + page) % 5], title),
        '<FONT color="#CC0000"><B>{}</B></FONT>　{}<BR>'.format(yen(price), condition),
    ]
    where = area
    if with_zip:
        where = '<IMG src="/images/zip.gif">{}-{:04d} {}'.format(
            zip_code, (i * 137 + page * 59) % 10000, area)
    text_cell.append(where + "</FONT></TD>")

    side_cell = '<TD width="16">　</TD><TD width="47" valign="middle">'
    info = '<FONT size="-1">{}/{}掲載<BR>{}</FONT>'.format(month, day, delivery)
    if with_question:
        # A lower-case anchor: its "</a>" is not one of the deleted fragments.
        info += '<BR><a href="/lite/ask.html?id={}">質問する</a>'.format(entry_id)
    if with_guide:
        info += '<BR><A HREF="/guide/lite/sw9404.html">{}</A>'.format(GUIDES[i % len(GUIDES)])
    if is_new:
        trailer = [
            '<BR><A HREF="{}"{}><IMG SRC="/images/icn_n.gif" border="0" ALT=""></A>'
            '<BR></TD></TR>'.format(detail, TARGETS[(i + page + 2) % 5]),
            TRAILER_ROW,
        ]
    else:
        trailer = ['<BR></TD></TR>', TRAILER_ROW]

    parts = text_cell + [spacer_cells(with_photo), side_cell, info] + trailer + ["</TABLE>"]
    return CRLF.join(parts) + CRLF


def page_head(title):
    return CRLF.join([
        '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">',
        '<HTML lang="ja">',
        "<HEAD>",
        '<META http-equiv="Content-Type" content="text/html; charset=Shift_JIS">',
        "<TITLE>{}</TITLE>".format(title),
        "</HEAD>",
        '<BODY bgcolor="#FFFFFF" text="#333333">',
    ]) + CRLF


def page_foot():
    return CRLF.join([
        '<HR width="100%" SIZE="2">',
        '<FONT size="-1">まちかど掲示板 ライト版 | <a href="/lite/">トップへ戻る</a></FONT>',
        "</BODY>",
        "</HTML>",
    ]) + CRLF


def result_page(page, items, first_number, total, pager, heading):
    html = page_head("まちかど掲示板 ライト版 - 検索結果")
    html += CRLF.join([
        '<a href="/lite/">ﾗｲﾄ版ﾄｯﾌﾟ</a> &gt; {}<BR>'.format(heading),
        '<FONT size="-1">全{}件中 {}-{}件を表示</FONT><BR>'.format(
            total, first_number, first_number + len(items) - 1),
        # Row-count choices: anchors into the result pages that end in 行.
        '表示件数： <a href="/servlet/result1.html?rows=50">50行</a>'
        ' | <a href="/servlet/result1.html?rows=100">100行</a><BR>',
        '<HR width="100%" SIZE="2">',
    ]) + CRLF
    for i, item in enumerate(items):
        html += entry_markup(page, i, item)
    html += pager + CRLF
    html += page_foot()
    return html


def pager_line(current, last):
    links = []
    if current > 1:
        links.append('<a href="/servlet/result{}.html">前のページ</a>'.format(current - 1))
    for n in range(1, last + 1):
        links.append(str(n) if n == current
                     else '<a href="/servlet/result{0}.html">{0}</a>'.format(n))
    if current < last:
        links.append('<a href="/servlet/result{}.html">次のページ</a>'.format(current + 1))
    return "ページ： " + " | ".join(links) + "<BR>"


FEATURE_LINK = ('特集： <a href="/servlet/result4.html" class="feature">'
                'ガジェット＆レトロs</a><BR>')


def pick(items, start, count, step):
    """count listings taken round the list; a second round of the same
    goods is told apart by a note on its state."""
    notes = ["", " 箱・説明書あり", " 部品取りに"]
    picked = []
    for k in range(count):
        title, price = items[(start + k * step) % len(items)]
        picked.append((title + notes[k // len(items)], price))
    return picked


def build_pages():
    """{relative path: page text}, in the order the result pages are linked."""
    counts = [32, 31, 30]
    total = sum(counts)
    pages = {}
    first_number = 1
    for page, count in enumerate(counts, start=1):
        items = pick(HOUSEHOLD, page * 11, count, 3 if page != 2 else 7)
        pager = pager_line(page, len(counts))
        if page == 1:
            # The feature page is linked from the first page only, after
            # the pager; its link text ends in ロs, whose last two bytes
            # are those of 行 but begin on ロ's second byte.
            pager += CRLF + FEATURE_LINK
        pages["servlet/result{}.html".format(page)] = result_page(
            page, items, first_number, total, pager, "家具・家電・生活用品 &gt; 検索結果")
        first_number += count
    retro = pick(RETRO, 0, 34, 5)
    pages["servlet/result4.html"] = result_page(
        4, retro, 1, len(retro), '<a href="/servlet/result1.html">検索結果に戻る</a><BR>',
        "特集 &gt; ガジェット＆レトロs")
    # A search whose last page has been taken down since: nginx answers 404
    # for result5.html, and a run over closed1.html must end in an error box
    # naming it, with the lines of closed1.html and result2.html kept.
    pages["servlet/closed1.html"] = result_page(
        1, pick(HOUSEHOLD, 5, 8, 5), 1, 8 + 31 + 30,
        'ページ： 1 | <a href="/servlet/result2.html">2</a>'
        ' | <a href="/servlet/result5.html">3</a><BR>',
        "家具・家電・生活用品 &gt; 検索結果")
    pages["lite/index.html"] = lite_page()
    return pages


def lite_page():
    html = page_head("まちかど掲示板 ライト版")
    html += CRLF.join([
        "<CENTER><B>まちかど掲示板</B> ﾗｲﾄ版</CENTER>",
        '<HR width="100%" SIZE="2">',
        '<FORM action="/servlet/result1.html" method="GET">',
        'キーワード： <INPUT type="text" name="kw" size="20"><BR>',
        'カテゴリ： <SELECT name="cat">',
        '<OPTION value="10" selected>家具・家電・生活用品</OPTION>',
        '<OPTION value="20">パソコン・周辺機器</OPTION>',
        '<OPTION value="30">スポーツ・アウトドア</OPTION>',
        "</SELECT><BR>",
        '<INPUT type="submit" value="検索する">',
        "</FORM>",
        '<a href="/servlet/result1.html">家具・家電・生活用品の新着一覧</a><BR>',
        '<a href="/servlet/result4.html">特集：ガジェット＆レトロs</a><BR>',
        '<a href="/guide/lite/sw9404.html">はじめての方へ（ご利用ガイド）</a>',
    ]) + CRLF
    html += page_foot()
    return html


def encode(text):
    data = text.encode("cp932")
    # Keep to characters that every Shift-JIS table maps the same way, so a
    # viewer's conversion cannot disagree with the expected UTF-8 text.
    assert data.decode("shift_jis") == text, "character outside plain Shift-JIS"
    return data


def page_bytes():
    return {path: encode(text) for path, text in build_pages().items()}


def expected_files(pages):
    first = pages["servlet/result1.html"]
    links = rp.extract_page_links(first, SITE_ROOT.encode("ascii"))
    order = [first]
    for link in links:
        path = link[len(SITE_ROOT) + 1:].decode("ascii")
        order.append(pages[path])
    lines = []
    for body in order:
        lines += rp.extract_entries(body)
    check_lines(lines, len(order))
    return {
        "entries.cp932.txt": b"".join(line + b"\n" for line in lines),
        "entries.txt": "".join(line.decode("cp932") + "\n" for line in lines).encode("utf-8"),
        "links.txt": b"".join(link + b"\n" for link in links),
        "status.txt": "".join(s + "\n" for s in rp.status_texts(len(order))).encode("utf-8"),
    }


def check_lines(lines, page_count):
    """Guards against a page generator that drifted away from the markup the
    parser expects: every removable fragment must really have gone."""
    assert page_count == 4, page_count
    assert len(lines) == 32 + 31 + 30 + 34, len(lines)
    for line in lines:
        upper = line.upper()
        for leftover in (b"\r", b"\n", b"ZIP.GIF", b"ICN_N.GIF", b"TARGET=", b"SW9404",
                         b"</FONT>", b'SIZE="-1"'):
            assert leftover not in upper, (leftover, line)
        # Only the cells holding a photo icon are no spacer fragment.
        assert (b"SPACE.GIF" in upper) == (b"CAMERA.GIF" in upper), line
        # Only the lower-case question anchor keeps an anchor end.
        assert (b"</A>" in upper) == (b"</a>" in line), line
        assert line.startswith(b'<A HREF="/servlet/detail?id='), line


def write_all(root, files):
    for rel, data in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def stale_files(root, files):
    stale = []
    for rel, data in files.items():
        path = os.path.join(root, rel)
        try:
            with open(path, "rb") as f:
                if f.read() == data:
                    continue
        except OSError:
            pass
        stale.append(path)
    return stale


def main(argv):
    pages = page_bytes()
    outputs = [(os.path.join(HERE, "site"), pages),
               (os.path.join(HERE, "expected"), expected_files(pages))]
    if argv[1:] == ["--check"]:
        stale = [p for root, files in outputs for p in stale_files(root, files)]
        for path in stale:
            print("stale: " + os.path.relpath(path, REPO), file=sys.stderr)
        return 1 if stale else 0
    if argv[1:]:
        print("usage: make_demo.py [--check]", file=sys.stderr)
        return 2
    for root, files in outputs:
        write_all(root, files)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
