#!/usr/bin/env bash
# Regenerates the demo code-signing PKI in demo-pki/: a self-signed root CA,
# an intermediate CA, the demo signer and the two revocation lists the
# certificates point at. Every file is named "DEMO-KEYS-..." because the
# private keys are committed: they are demo keys, good only for the demo
# deployment and the tests, and must never sign anything that is shipped.
#
#   tools/make-demo-pki.sh [output-dir]      (default: demo-pki/ of the checkout)
#
# Running it again makes new keys; the root's DER file is compiled into the
# bootstrapper, so rebuild and re-sign the demo installer afterwards
# (tools/sign-installer). Only files of this PKI are touched; the TLS files
# that share the folder are left alone.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$here/demo-pki"}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# Where the demo download server publishes the revocation lists. The signer
# names the intermediate's list, the intermediate names the root's list; the
# root itself names a directory only, so nothing is fetched for it.
crl_base="https://download.vantor.test:8443/vantor/crl"
days=7305   # 20 years: the demo should keep working without maintenance

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

serial() { openssl rand -hex 12; }

cat >"$work/ext.cnf" <<EOF
[root_ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
crlDistributionPoints = root_cdp

[root_cdp]
fullname = dirName:root_cdp_name

[root_cdp_name]
C = US
O = Brenmoor Systems Incorporated
OU = DEMO Brenmoor Trust Services
CN = DEMO Brenmoor Vantor Root CA CRL

[intermediate_ext]
basicConstraints = critical, CA:TRUE, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
crlDistributionPoints = URI:$crl_base/DEMO-KEYS-root.crl

[signer_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning, 1.2.840.987654.1.1.12
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
crlDistributionPoints = URI:$crl_base/DEMO-KEYS-intermediate.crl
EOF

# A minimal "openssl ca" setup per issuer, only to produce the (empty)
# revocation lists with long validity.
make_ca_conf() {  # name cert key
  mkdir -p "$work/$1"
  : >"$work/$1/index.txt"
  echo 1000 >"$work/$1/crlnumber"
  cat >"$work/$1/ca.cnf" <<EOF
[ca]
default_ca = this_ca
[this_ca]
database = $work/$1/index.txt
crlnumber = $work/$1/crlnumber
certificate = $2
private_key = $3
default_md = sha256
default_crl_days = $days
crl_extensions = crl_ext
[crl_ext]
authorityKeyIdentifier = keyid:always
EOF
}

root_key="$out/DEMO-KEYS-root-ca.key.pem"
root_pem="$out/DEMO-KEYS-root-ca.cert.pem"
inter_key="$out/DEMO-KEYS-intermediate-ca.key.pem"
inter_pem="$out/DEMO-KEYS-intermediate-ca.cert.pem"
signer_key="$out/DEMO-KEYS-signer.key.pem"
signer_pem="$out/DEMO-KEYS-signer.cert.pem"

newkey() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }

echo "make-demo-pki: root CA"
newkey "$root_key"
openssl req -new -x509 -key "$root_key" -sha256 -days "$days" -set_serial "0x$(serial)" \
  -subj "/C=US/O=Brenmoor Systems Incorporated/OU=DEMO Brenmoor Trust Services/CN=DEMO Brenmoor Vantor Root CA" \
  -config "$work/ext.cnf" -extensions root_ext -out "$root_pem"
openssl x509 -in "$root_pem" -outform DER -out "$out/DEMO-KEYS-root-ca.cert.der"

echo "make-demo-pki: intermediate CA"
newkey "$inter_key"
openssl req -new -key "$inter_key" \
  -subj "/C=US/O=Brenmoor Systems Incorporated/OU=DEMO Brenmoor Trust Services/CN=DEMO Brenmoor Vantor Code Signing CA" \
  -out "$work/inter.csr"
openssl x509 -req -in "$work/inter.csr" -CA "$root_pem" -CAkey "$root_key" -sha256 \
  -days "$days" -set_serial "0x$(serial)" -extfile "$work/ext.cnf" -extensions intermediate_ext \
  -out "$inter_pem" 2>/dev/null

echo "make-demo-pki: signer"
newkey "$signer_key"
openssl req -new -key "$signer_key" \
  -subj "/C=US/O=Brenmoor Systems Incorporated/OU=Brenmoor Trust Services/CN=Brenmoor Vantor" \
  -out "$work/signer.csr"
openssl x509 -req -in "$work/signer.csr" -CA "$inter_pem" -CAkey "$inter_key" -sha256 \
  -days "$days" -set_serial "0x$(serial)" -extfile "$work/ext.cnf" -extensions signer_ext \
  -out "$signer_pem" 2>/dev/null

echo "make-demo-pki: revocation lists"
make_ca_conf root "$root_pem" "$root_key"
openssl ca -batch -config "$work/root/ca.cnf" -gencrl -out "$work/root.crl.pem" 2>/dev/null
openssl crl -in "$work/root.crl.pem" -outform DER -out "$out/DEMO-KEYS-root.crl"
make_ca_conf intermediate "$inter_pem" "$inter_key"
openssl ca -batch -config "$work/intermediate/ca.cnf" -gencrl -out "$work/inter.crl.pem" 2>/dev/null
openssl crl -in "$work/inter.crl.pem" -outform DER -out "$out/DEMO-KEYS-intermediate.crl"

# The chain must verify and the lists must be signed by their issuers.
openssl verify -CAfile "$root_pem" -untrusted "$inter_pem" "$signer_pem" >/dev/null
openssl crl -inform DER -in "$out/DEMO-KEYS-root.crl" -CAfile "$root_pem" -noout 2>/dev/null
openssl crl -inform DER -in "$out/DEMO-KEYS-intermediate.crl" -CAfile "$inter_pem" -noout 2>/dev/null
chmod 0644 "$out"/DEMO-KEYS-root* "$out"/DEMO-KEYS-intermediate* "$out"/DEMO-KEYS-signer*
echo "make-demo-pki: written to $out"
