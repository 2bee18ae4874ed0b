#!/usr/bin/env bash
# Regenerates the demo TLS files in demo-pki/: a self-signed TLS authority and
# the certificate of the demo download server it signs, plus a second,
# unrelated authority that tests trust when they need a server whose
# certificate is not trusted. Every file is named "DEMO-KEYS-tls-..." because
# the private keys are committed: they are demo keys for the demo deployment
# and the tests, never for a real server.
#
#   tools/make-demo-tls.sh [output-dir]      (default: demo-pki/ of the checkout)
#
# The server certificate names every demo host the emulated Mac maps to
# loopback, plus localhost and 127.0.0.1 for tests that connect directly.
# Only the TLS files are touched; the code-signing PKI beside them is left
# alone.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$here/demo-pki"}
mkdir -p "$out"
out=$(cd "$out" && pwd)
days=7305   # 20 years: the demo should keep working without maintenance

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/ext.cnf" <<CNF
[server_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
subjectAltName = DNS:download.vantor.test, DNS:crl.vantor.test, DNS:www.vantor.test, DNS:localhost, IP:127.0.0.1
CNF

make_ca() {  # name, common name
  openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days "$days" \
    -keyout "$out/DEMO-KEYS-tls-$1.key.pem" -out "$out/DEMO-KEYS-tls-$1.cert.pem" \
    -subj "/C=US/O=Brenmoor Demo/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

make_ca ca "DEMO KEYS Vantor TLS Authority"
make_ca other-ca "DEMO KEYS Unrelated TLS Authority"

openssl req -new -newkey rsa:2048 -nodes -sha256 \
  -keyout "$out/DEMO-KEYS-tls-server.key.pem" -out "$work/server.csr" \
  -subj "/C=US/O=Brenmoor Demo/CN=download.vantor.test" 2>/dev/null
openssl x509 -req -sha256 -days "$days" -in "$work/server.csr" \
  -CA "$out/DEMO-KEYS-tls-ca.cert.pem" -CAkey "$out/DEMO-KEYS-tls-ca.key.pem" \
  -set_serial "0x$(openssl rand -hex 12)" \
  -extfile "$work/ext.cnf" -extensions server_ext -out "$out/DEMO-KEYS-tls-server.cert.pem"

# The server's chain as a server sends it: its own certificate first.
cat "$out/DEMO-KEYS-tls-server.cert.pem" "$out/DEMO-KEYS-tls-ca.cert.pem" \
  >"$out/DEMO-KEYS-tls-server.chain.pem"
chmod 0644 "$out"/DEMO-KEYS-tls-*
openssl verify -CAfile "$out/DEMO-KEYS-tls-ca.cert.pem" "$out/DEMO-KEYS-tls-server.cert.pem"
