#!/usr/bin/env bash
# Times a whole quillo-cli run over 100 result pages served by nginx on the
# local demo site (scripts/demo-site.sh; needs root): page 1 links to pages
# 2 to 100, every page is one of the demo site's result pages.
#   bench/cli_run.sh [runs, default 5] [quillo-cli, default build/bench/src/quillo-cli]
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-5}"
cli="$(realpath "${2:-build/bench/src/quillo-cli}")"
if [[ ! -x $cli ]]; then
  cmake --preset bench >/dev/null
  cmake --build build/bench --target quillo-cli
fi

site="$(mktemp -d)"
trap 'rm -rf "$site"' EXIT
mkdir -p "$site/servlet"
cp -R demo/site/lite "$site/"
python3 - "$site" <<'PY'
import pathlib, sys
site = pathlib.Path(sys.argv[1])
demo = pathlib.Path("demo/site/servlet")
pages = [(demo / f"result{i}.html").read_bytes() for i in range(1, 5)]
# Page 1: the first demo page's entries, its own page links replaced by
# links to pages 2..100.
first = pages[0]
cut = first.index(b"<TABLE border=")
links = b" | ".join(b'<a href="/servlet/result%d.html">%d</a>' % (n, n) for n in range(2, 101))
(site / "servlet" / "result1.html").write_bytes(first[:cut] + links + b"<BR>\r\n" + first[cut:].replace(b'<a href="/servlet/', b'<a href="/other/'))
for n in range(2, 101):
    page = pages[1 + n % 3].replace(b'<a href="/servlet/', b'<a href="/other/')
    (site / "servlet" / f"result{n}.html").write_bytes(page)
PY

export QUILLO_DEMO_ROOT="$site"
scripts/demo-site.sh run -- bash -c '
  for i in $(seq '"$runs"'); do
    start=$(date +%s%N)
    "'"$cli"'" --raw "$QUILLO_DEMO_URL" >"'"$site"'/lines" 2>/dev/null
    end=$(date +%s%N)
    echo "run $i: $(( (end - start) / 1000000 )) ms, $(wc -l <"'"$site"'/lines") lines, $(wc -l <"$QUILLO_DEMO_ACCESS_LOG") requests so far"
  done'
