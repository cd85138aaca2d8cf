#!/usr/bin/env bash
# Times whole quillo-cli runs against pages served by nginx on the local demo
# site (scripts/demo-site.sh; needs root):
# - 101 result pages: page 1 links to 100 further pages, every page is one of
#   the demo site's result pages (202 connections, a HEAD and a GET each),
#   over http, over https with a trust store of the demo CA alone and with
#   the system's CA bundle (Debian's ca-certificates, the demo CA added),
#   the three taking turns; with the TLS sessions nginx resumed;
# - one generated realistic page of 64 MiB (its further-page links bent
#   away), beside a bare loop of 1025-byte receives of the same page over
#   the same loopback (quillo_recv_loop), the limit of a fetch by quillo's
#   protocol, over http and then over https (the demo CA trusted through
#   SSL_CERT_FILE); with the peak resident set of each quillo-cli run.
#   bench/cli_run.sh [runs, default 5] [quillo-cli, default build/bench/src/quillo-cli]
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-5}"
cmake --preset bench >/dev/null
cmake --build build/bench --target quillo-cli quillo_write_page quillo_recv_loop >/dev/null
cli="$(realpath "${2:-build/bench/src/quillo-cli}")"
tools="$(realpath build/bench/bench)"

site="$(mktemp -d)"
trap 'rm -rf "$site"' EXIT
mkdir -p "$site/servlet"
cp -R demo/site/lite "$site/"
"$tools/quillo_write_page" realistic 64 >"$site/big.raw"
python3 - "$site" <<'PY'
import pathlib, sys
site = pathlib.Path(sys.argv[1])
demo = pathlib.Path("demo/site/servlet")
pages = [(demo / f"result{i}.html").read_bytes() for i in range(1, 5)]
# Page 1: the first demo page's entries, its own page links replaced by
# links to pages 2..100.
first = pages[0]
cut = first.index(b"<TABLE border=")
links = b" | ".join(b'<a href="/servlet/result%d.html">%d</a>' % (n, n) for n in range(2, 102))
(site / "servlet" / "result1.html").write_bytes(first[:cut] + links + b"<BR>\r\n" + first[cut:].replace(b'<a href="/servlet/', b'<a href="/other/'))
for n in range(2, 102):
    page = pages[1 + n % 3].replace(b'<a href="/servlet/', b'<a href="/other/')
    (site / "servlet" / f"result{n}.html").write_bytes(page)
# The big page alone: one HEAD and one GET, as for the receive loop.
big = (site / "big.raw").read_bytes().replace(b'<a href="/servlet/', b'<a href="/other/')
(site / "servlet" / "big.html").write_bytes(big)
(site / "big.raw").unlink()
PY

export QUILLO_DEMO_ROOT="$site" CLI="$cli" TOOLS="$tools" SITE="$site" RUNS="$runs"
scripts/demo-site.sh run -- bash -c '
  set -euo pipefail
  ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
  echo "101 result pages (best of $RUNS runs; TLS sessions resumed per https run):"
  # A store of the demo CA alone (and no folder of hashed certificates), and
  # the system bundle with the demo CA at its end.
  mkdir -p "$SITE/no-certs"
  cat /etc/ssl/certs/ca-certificates.crt "$QUILLO_DEMO_CA" >"$SITE/bundle.pem"
  stores=(http one-cert bundle)
  for i in $(seq "$RUNS"); do
    for store in "${stores[@]}"; do
      url=$([[ $store == http ]] && echo "$QUILLO_DEMO_URL" || echo "$QUILLO_DEMO_HTTPS_URL")
      file=$([[ $store == bundle ]] && echo "$SITE/bundle.pem" || echo "$QUILLO_DEMO_CA")
      seen=$(wc -l <"$QUILLO_DEMO_ACCESS_LOG")
      start=$(date +%s%N)
      SSL_CERT_FILE="$file" SSL_CERT_DIR="$SITE/no-certs" /usr/bin/time -f "%U %S" -o "$SITE/cpu" \
        "$CLI" --raw "$url" >"$SITE/lines" 2>/dev/null
      took=$(ms "$start")
      read -r user sys <"$SITE/cpu"
      lines=$(wc -l <"$SITE/lines")
      # nginx writes the line of a request once it has answered it.
      sleep 0.2
      requests=$(tail -n +$((seen + 1)) "$QUILLO_DEMO_ACCESS_LOG")
      echo "$took $(grep -c " r$" <<<"$requests" || true) $(wc -l <<<"$requests") $lines" \
        "$(awk "BEGIN { print int(($user + $sys) * 1000) }")" >>"$SITE/pages-$store"
    done
  done
  for store in "${stores[@]}"; do
    read -r took resumed requests lines _ < <(sort -n "$SITE/pages-$store" | head -n 1)
    fewest=$(sort -n -k 2 "$SITE/pages-$store" | head -n 1 | cut -d " " -f 2)
    cpu=$(sort -n -k 5 "$SITE/pages-$store" | head -n 1 | cut -d " " -f 5)
    echo "  $store: $took ms, CPU $cpu ms, $lines lines, $requests requests," \
      "sessions resumed: $resumed (fewest in any run: $fewest)"
  done
  big="${QUILLO_DEMO_URL%/*}/big.html"
  bytes=$(stat -c %s "$SITE/servlet/big.html")
  echo "one page of 64 MiB ($bytes bytes of body), best of $RUNS runs:"
  best() { sort -n | head -n 1; }
  loop=$(for i in $(seq "$RUNS"); do
    start=$(date +%s%N); "$TOOLS/quillo_recv_loop" 127.0.0.1 /servlet/big.html >/dev/null; ms "$start"
  done | best)
  echo "  bare loop of 1025-byte receives: $loop ms, $(( bytes / 1000 / loop )) MB/s"
  # The modes take turns, so that other work on the machine slows them alike.
  modes=(--raw --utf8 https)
  for i in $(seq "$RUNS"); do
    for mode in "${modes[@]}"; do
      flag=$([[ $mode != --utf8 ]] && echo --raw || true)
      url=$([[ $mode == https ]] && echo "${QUILLO_DEMO_HTTPS_URL%/*}/big.html" || echo "$big")
      start=$(date +%s%N)
      /usr/bin/time -f "%M %U %S" -o "$SITE/peak" "$CLI" $flag "$url" >"$SITE/lines-$mode" 2>/dev/null
      read -r peak user sys <"$SITE/peak"
      # CPU time beside the wall clock: on a busy machine it is the steadier.
      echo "$(ms "$start") $peak $(awk "BEGIN { print int(($user + $sys) * 1000) }")" >>"$SITE/times-$mode"
    done
  done
  for mode in "${modes[@]}"; do
    read -r took peak _ < <(best <"$SITE/times-$mode")
    cpu=$(sort -n -k 3 "$SITE/times-$mode" | head -n 1 | cut -d " " -f 3)
    if [[ $mode == https ]]; then
      # The --raw run over TLS, against the same run over plain http.
      read -r plain _ < <(best <"$SITE/times---raw")
      plain_cpu=$(sort -n -k 3 "$SITE/times---raw" | head -n 1 | cut -d " " -f 3)
      label="--raw over https"
      beside=", $(( 100 * plain / took )) % of the plain run by the clock ($(( 100 * plain_cpu / cpu )) % by CPU time)"
    else
      label=$mode
      beside=""
    fi
    echo "  quillo-cli $label: $took ms, $(( bytes / 1000 / took )) MB/s," \
      "CPU $cpu ms, $(( 100 * loop / took )) % of the loop$beside, peak $(( peak / 1024 )) MiB" \
      "($(( 100 * peak * 1024 / bytes )) % of the page), $(wc -l <"$SITE/lines-$mode") lines"
  done'
