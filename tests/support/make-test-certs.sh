#!/bin/sh
# Throw-away certificates for the TLS tests, made anew on every run:
#   ca.pem              a CA nobody but the tests trusts
#   site.pem, site.key  HOST's certificate signed by that CA
#   self.pem, self.key  a self-signed certificate for HOST
# Usage: make-test-certs.sh DIR HOST
set -eu
dir=$1
host=$2
mkdir -p "$dir"
cd "$dir"
ec="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $ec -keyout ca.key -out ca.pem -days 2 -subj "/CN=quillo test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign"
openssl req $ec -keyout site.key -out site.csr -subj "/CN=$host"
printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' \
  "$host" > site.ext
openssl x509 -req -in site.csr -CA ca.pem -CAkey ca.key -set_serial 2 -days 2 \
  -extfile site.ext -out site.pem
openssl req -x509 $ec -keyout self.key -out self.pem -days 2 -subj "/CN=$host" \
  -addext "subjectAltName=DNS:$host"
rm -f site.csr site.ext
