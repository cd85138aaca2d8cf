#!/usr/bin/env bash
# Serves the demo listings site (demo/site/) with nginx inside a private
# network namespace whose /etc/hosts maps the site's host name to 127.0.0.1,
# so that quillo can fetch it exactly as it fetches the real site: name
# lookup through the resolver, plain http on port 80 (no Host header needed)
# and https on port 443 (TLS 1.2 and 1.3, the site picked by the Host header).
#
#   demo-site.sh run [--] CMD [ARG...]   set up, run CMD inside, tear down;
#                                        exits with CMD's status
#   demo-site.sh start                   set up and leave it running
#   demo-site.sh exec [--] CMD [ARG...]  run CMD inside a started namespace
#   demo-site.sh stop                    tear a started namespace down
#
# Environment:
#   QUILLO_NETNS      namespace name (run: quillo-demo-PID; start, exec and
#                     stop: quillo-demo)
#   QUILLO_SITE_HOST  host name of the site (listings.example)
#   QUILLO_DEMO_ROOT  folder to serve instead of demo/site
#   QUILLO_DEMO_MOVED 1: the site has moved to https: port 80 answers every
#                     request with 301 to https://HOST, same path and query.
#                     Otherwise (the default) port 80 serves the pages too.
#
# The certificates come from a throw-away CA made with openssl for this run
# only (its files go when the site stops). Port 443 answers, by the name the
# client asks for in the handshake:
#   HOST              the site, certificate for HOST from the demo CA
#   self-signed.HOST  the site, behind a self-signed certificate
#   untrusted.HOST    the site, certificate from a second CA nobody trusts
#   wrong-name.HOST   the site, certificate from the demo CA for other.example
#   client-cert.HOST  the site, good certificate, asking the client for an
#                     optional certificate of its own
# and, on 127.0.0.3:443,
#   old-tls.HOST      the site with a good certificate, over TLS 1.0 and 1.1
#                     only
# reset.HOST leads to 127.0.0.4, where nothing listens: a test serves its own
# there with reset.pem and leaf.key (the demo CA's folder, root only). The
# other names lead to 127.0.0.1. A client that checks certificates properly
# and asks for TLS 1.2 or later gets the pages from HOST and client-cert.HOST
# only, and sends no request to the others.
#
# CMD sees, besides the caller's environment:
#   QUILLO_DEMO_NGINX_PID   the (single) nginx process: kill it to make the
#                           site vanish in the middle of a run
#   QUILLO_DEMO_URL         http address of the first result page
#   QUILLO_DEMO_HTTPS_URL   https address of the first result page
#   QUILLO_DEMO_CA          the demo CA's certificate (PEM), the one trust
#                           anchor a client needs for HOST
#   SSL_CERT_FILE           the same file, so that OpenSSL's default trust
#                           store trusts the demo CA (and its CA alone)
#   QUILLO_DEMO_ACCESS_LOG  one line per request: scheme (http or https),
#                           request line, Host header ("-" when none was
#                           sent), status, body bytes, and "r" when the TLS
#                           session was resumed ("." when not, "-" for http)
#   QUILLO_NETNS, QUILLO_SITE_HOST
#
# Needs root (network namespaces, ports 80 and 443); installs nginx-light,
# iproute2 and openssl when they are missing.

set -euo pipefail

PATH=$PATH:/usr/sbin:/sbin
prog=${0##*/}
repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
state_root=/run/quillo-demo-site

# What this invocation created, so that cleanup never removes a namespace
# or folder that belongs to someone else.
ns=""
prefix=""
created_ns=0
created_etc=0
created_state=0

die() {
    echo "$prog: $*" >&2
    exit 1
}

usage() {
    cat >&2 <<EOF
usage: $prog run [--] CMD [ARG...]   serve the demo site, run CMD beside it, clean up
       $prog start                   serve it until "stop"
       $prog exec [--] CMD [ARG...]  run CMD beside a started site
       $prog stop                    stop a started site
EOF
    exit 2
}

need_root() {
    if [[ $(id -u) -ne 0 ]]; then
        die "must run as root: it creates a network namespace and serves ports 80 and 443" \
            "(try: sudo -E $0 $*)"
    fi
}

ensure_tools() {
    local missing=()
    command -v nginx >/dev/null 2>&1 || missing+=(nginx-light)
    command -v ip >/dev/null 2>&1 || missing+=(iproute2)
    command -v openssl >/dev/null 2>&1 || missing+=(openssl)
    ((${#missing[@]} == 0)) && return 0
    echo "$prog: installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    # A stale package list is the usual reason for a failed install.
    if ! apt-get install -y --no-install-recommends "${missing[@]}" >&2; then
        if ! { apt-get update >&2 && apt-get install -y --no-install-recommends "${missing[@]}" >&2; }; then
            die "could not install ${missing[*]}"
        fi
    fi
    command -v nginx >/dev/null 2>&1 || die "nginx is still missing after installing"
}

check_name() {
    # The name ends up in paths that cleanup removes: keep it plain.
    [[ $1 =~ ^[A-Za-z0-9_][A-Za-z0-9_.-]*$ && ${#1} -le 64 ]] ||
        die "unusable namespace name '$1'"
}

site_host() {
    local host=${QUILLO_SITE_HOST:-listings.example}
    [[ $host =~ ^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$ ]] ||
        die "unusable host name '$host'"
    echo "$host"
}

site_dir() {
    local dir=${QUILLO_DEMO_ROOT:-$repo_dir/demo/site}
    [[ -d $dir ]] || die "no folder to serve at '$dir'"
    dir=$(cd "$dir" && pwd -P)
    [[ $dir != *[\"\;\$\{\}\\]* ]] || die "folder name '$dir' cannot go into nginx.conf"
    echo "$dir"
}

# Names on port 443 whose certificates a client must refuse (see the header).
refused_names() {
    local host=$1
    echo "self-signed.$host untrusted.$host wrong-name.$host"
}

# A leaf certificate for name, signed by the CA of that base name in dir
# (none: self-signed).
make_certificate() {
    local dir=$1 name=$2 out=$3 ca=${4:-}
    printf '%s\n' "subjectAltName=DNS:$name" "basicConstraints=critical,CA:FALSE" \
        "keyUsage=critical,digitalSignature" "extendedKeyUsage=serverAuth" >"$dir/$out.ext"
    openssl req -new -key "$dir/leaf.key" -subj "/CN=$name" -out "$dir/$out.csr"
    local sign=(-signkey "$dir/leaf.key")
    [[ -n $ca ]] && sign=(-CA "$dir/$ca.pem" -CAkey "$dir/$ca.key")
    openssl x509 -req -in "$dir/$out.csr" "${sign[@]}" -days 2 \
        -set_serial "0x$(openssl rand -hex 8)" -extfile "$dir/$out.ext" -out "$dir/$out.pem" 2>/dev/null
}

make_ca() {
    local dir=$1 name=$2 subject=$3
    printf '%s\n' "basicConstraints=critical,CA:TRUE" "keyUsage=critical,keyCertSign,cRLSign" \
        "subjectKeyIdentifier=hash" >"$dir/$name.ext"
    openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$dir/$name.key"
    openssl req -new -key "$dir/$name.key" -subj "/CN=$subject" -out "$dir/$name.csr"
    openssl x509 -req -in "$dir/$name.csr" -signkey "$dir/$name.key" -days 2 \
        -set_serial "0x$(openssl rand -hex 8)" -extfile "$dir/$name.ext" -out "$dir/$name.pem" 2>/dev/null
}

write_tls_files() {
    local host=$1 dir=$prefix/tls
    mkdir -p "$dir"
    (
        umask 077
        make_ca "$dir" ca "quillo demo CA"
        make_ca "$dir" rogue-ca "quillo demo CA nobody trusts"
        openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$dir/leaf.key"
        make_certificate "$dir" "$host" site ca
        make_certificate "$dir" "self-signed.$host" self-signed
        make_certificate "$dir" "untrusted.$host" untrusted rogue-ca
        make_certificate "$dir" other.example wrong-name ca
        make_certificate "$dir" "old-tls.$host" old-tls ca
        make_certificate "$dir" "client-cert.$host" client-cert ca
        make_certificate "$dir" "reset.$host" reset ca
    ) || die "could not make the demo certificates with openssl"
    chmod 644 "$dir/ca.pem"
}

write_nginx_conf() {
    local root=$1 host=$2 tls=$prefix/tls plain name
    mkdir -p "$prefix/tmp"
    if [[ ${QUILLO_DEMO_MOVED:-0} == 1 ]]; then
        # Not $host: that is "_" for a request without a Host header.
        plain="return 301 https://$host\$request_uri;"
    else
        plain="root \"$root\";
        index index.html;"
    fi
    cat >"$prefix/nginx.conf" <<EOF
# One demo run; every file nginx writes stays under $prefix.
daemon on;
# A single process, so that killing the one pid really takes the site down.
master_process off;
worker_processes 1;
# Test folders made with mktemp are private to root.
user root root;
pid "$prefix/nginx.pid";
lock_file "$prefix/nginx.lock";
error_log "$prefix/error.log" info;

events {
    worker_connections 64;
}

http {
    types { }
    default_type "text/html; charset=Shift_JIS";
    server_tokens off;
    log_format quillo '\$scheme \$request "\$http_host" \$status \$body_bytes_sent \$ssl_session_reused';
    access_log "$prefix/access.log" quillo;
    client_body_temp_path "$prefix/tmp/body";
    proxy_temp_path "$prefix/tmp/proxy";
    fastcgi_temp_path "$prefix/tmp/fastcgi";
    uwsgi_temp_path "$prefix/tmp/uwsgi";
    scgi_temp_path "$prefix/tmp/scgi";
    ssl_protocols TLSv1.2 TLSv1.3;
    ssl_certificate_key "$tls/leaf.key";

    server {
        # The client sends no Host header: the default server answers it.
        listen 127.0.0.1:80 default_server;
        server_name _;
        $plain
    }

    server {
        listen 127.0.0.1:443 ssl default_server;
        server_name $host;
        ssl_certificate "$tls/site.pem";
        root "$root";
        index index.html;
    }
EOF
    for name in self-signed untrusted wrong-name; do
        cat >>"$prefix/nginx.conf" <<EOF

    server {
        listen 127.0.0.1:443 ssl;
        server_name $name.$host;
        ssl_certificate "$tls/$name.pem";
        root "$root";
    }
EOF
    done
    cat >>"$prefix/nginx.conf" <<EOF

    server {
        listen 127.0.0.1:443 ssl;
        server_name client-cert.$host;
        ssl_certificate "$tls/client-cert.pem";
        ssl_verify_client optional_no_ca;
        root "$root";
    }
EOF
    # An address of its own: the protocols are fixed before the handshake
    # names a server.
    cat >>"$prefix/nginx.conf" <<EOF

    server {
        listen 127.0.0.3:443 ssl;
        server_name old-tls.$host;
        ssl_protocols TLSv1 TLSv1.1;
        ssl_ciphers DEFAULT:@SECLEVEL=0;
        ssl_certificate "$tls/old-tls.pem";
        root "$root";
    }
}
EOF
}

write_etc_files() {
    local host=$1
    [[ -e /etc/netns/$ns ]] && die "/etc/netns/$ns exists already"
    mkdir -p "/etc/netns/$ns"
    created_etc=1
    # localhost first, so the reverse lookup of 127.0.0.1 gives a name; the
    # machine's own name too, for tools that look it up.
    printf '127.0.0.1\tlocalhost %s %s client-cert.%s %s\n127.0.0.3\t%s\n127.0.0.4\t%s\n::1\tlocalhost ip6-localhost ip6-loopback\n' \
        "$host" "$(refused_names "$host")" "$host" "$(hostname)" "old-tls.$host" "reset.$host" \
        >"/etc/netns/$ns/hosts"
    # Name lookups that miss the hosts file fail at once on loopback
    # instead of reaching for a name server outside.
    if [[ -e /etc/resolv.conf ]]; then
        printf 'nameserver 127.0.0.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$ns/resolv.conf"
    fi
}

wait_until_serving() {
    local i
    for ((i = 0; i < 50; i++)); do
        # Any HTTP answer will do: the served folder need not have an index.
        # shellcheck disable=SC2016 # expanded by the inner shell
        if ip netns exec "$ns" bash -c '
            exec 3<>/dev/tcp/127.0.0.1/80 || exit 1
            printf "HEAD / HTTP/1.0\r\n\r\n" >&3
            IFS= read -r -t 2 line <&3 && [[ $line == HTTP/1.* ]]' 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    cat "$prefix/error.log" >&2 2>/dev/null || true
    die "nginx did not answer within 5 seconds"
}

set_up() {
    local host root
    host=$(site_host)
    root=$(site_dir)
    check_name "$ns"
    [[ -e /run/netns/$ns ]] && die "network namespace $ns exists already (stop it: QUILLO_NETNS=$ns $0 stop)"

    prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillo-demo.XXXXXX")
    mkdir -p "$state_root"
    printf '%s\n%s\n' "$prefix" "$host" >"$state_root/$ns"
    created_state=1

    ip netns add "$ns"
    created_ns=1
    ip -n "$ns" link set lo up
    write_etc_files "$host"
    write_tls_files "$host"
    write_nginx_conf "$root" "$host"

    if ! ip netns exec "$ns" nginx -c "$prefix/nginx.conf" -p "$prefix/" -e "$prefix/error.log"; then
        cat "$prefix/error.log" >&2 2>/dev/null || true
        die "nginx did not start"
    fi
    wait_until_serving
    # The log starts with the caller's own requests, not the probes. nginx
    # logs a request after answering it: on a busy machine the probe's line
    # may come a moment after the answer, and must not land after the cut.
    local i
    for ((i = 0; i < 50; i++)); do
        [[ -s $prefix/access.log ]] && break
        sleep 0.1
    done
    : >"$prefix/access.log"

    export_site "$host"
}

# What CMD sees (see the header).
export_site() {
    local host=$1
    export QUILLO_NETNS=$ns
    export QUILLO_SITE_HOST=$host
    export QUILLO_DEMO_NGINX_PID
    QUILLO_DEMO_NGINX_PID=$(cat "$prefix/nginx.pid" 2>/dev/null || echo "")
    export QUILLO_DEMO_URL="http://$host/servlet/result1.html"
    export QUILLO_DEMO_HTTPS_URL="https://$host/servlet/result1.html"
    export QUILLO_DEMO_CA="$prefix/tls/ca.pem"
    export SSL_CERT_FILE=$QUILLO_DEMO_CA
    export QUILLO_DEMO_ACCESS_LOG="$prefix/access.log"
}

namespace_pids() {
    ip netns pids "$ns" 2>/dev/null || true
}

tear_down() {
    set +e
    if ((created_ns)); then
        # Everything inside the namespace was started from here: nginx, the
        # wrapped command and whatever that left behind.
        local pids i
        mapfile -t pids < <(namespace_pids)
        if ((${#pids[@]} > 0)); then
            kill -TERM "${pids[@]}" 2>/dev/null
            for ((i = 0; i < 30; i++)); do
                [[ -z $(namespace_pids) ]] && break
                sleep 0.1
            done
            mapfile -t pids < <(namespace_pids)
            ((${#pids[@]} > 0)) && kill -KILL "${pids[@]}" 2>/dev/null
        fi
        ip netns del "$ns"
        created_ns=0
    fi
    if ((created_etc)); then
        rm -rf "/etc/netns/${ns:?}"
        created_etc=0
    fi
    if [[ -n $prefix && -d $prefix ]]; then
        rm -rf "$prefix"
    fi
    if ((created_state)); then
        rm -f "$state_root/${ns:?}"
        created_state=0
    fi
    prefix=""
}

# Picks up what "start" left behind, for exec and stop.
load_started() {
    ns=${QUILLO_NETNS:-quillo-demo}
    check_name "$ns"
    [[ -f $state_root/$ns && -e /run/netns/$ns ]] ||
        die "no demo site started in namespace $ns (run: $0 start)"
    { read -r prefix && read -r started_host; } <"$state_root/$ns" ||
        die "unreadable state file $state_root/$ns"
    [[ $prefix == /*/quillo-demo.* && -d $prefix ]] ||
        die "state file $state_root/$ns names an odd folder '$prefix'"
}

cmd_run() {
    [[ ${1:-} == -- ]] && shift
    (($# > 0)) || usage
    ns=${QUILLO_NETNS:-quillo-demo-$$}
    trap tear_down EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
    set_up
    # In the background, so that a signal to this script is handled at once
    # rather than after the command ends; stdin is handed on explicitly.
    local status=0
    ip netns exec "$ns" "$@" <&0 &
    wait $! || status=$?
    exit "$status"
}

cmd_start() {
    (($# == 0)) || usage
    ns=${QUILLO_NETNS:-quillo-demo}
    trap tear_down EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    set_up
    trap - EXIT INT TERM
    echo "demo site serving $QUILLO_DEMO_URL in network namespace $ns (nginx pid $QUILLO_DEMO_NGINX_PID)"
    echo "run commands there with: QUILLO_NETNS=$ns $0 exec CMD...; end it with: QUILLO_NETNS=$ns $0 stop"
}

cmd_exec() {
    [[ ${1:-} == -- ]] && shift
    (($# > 0)) || usage
    local started_host
    load_started
    export_site "$started_host"
    exec ip netns exec "$ns" "$@"
}

cmd_stop() {
    (($# == 0)) || usage
    local started_host
    load_started
    created_ns=1
    created_etc=1
    created_state=1
    tear_down
    echo "demo site in namespace $ns stopped"
}

main() {
    (($# > 0)) || usage
    local action=$1
    shift
    case $action in
    run | start | exec | stop) ;;
    -h | --help | help) usage ;;
    *) usage ;;
    esac
    need_root "$action" "$@"
    ensure_tools
    "cmd_$action" "$@"
}

main "$@"
