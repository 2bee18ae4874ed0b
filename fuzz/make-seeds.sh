#!/usr/bin/env bash
# Regenerates the seeds of the signature and revocation-list targets from the
# demo PKI (demo-pki/): real detached signatures over the fixed data the
# signature target verifies against ("runtime installer"), and real lists in
# DER and PEM. The other targets' seeds are small hand-written files.
#
#   fuzz/make-seeds.sh
#
# Every signature seed stops at a different step of the checks, so the
# fuzzer starts with each step in reach:
#   valid.p7            every check passes (names, marker, chain, digest)
#   other-data.p7       the demo signer over other bytes: digest mismatch
#   no-chain.p7         the signer without its intermediate: chain fails
#   no-certs.p7         no certificates carried: no signer certificate
#   wrong-cn.p7         the signer's common name differs
#   wrong-ou.p7         only the organizational unit differs
#   no-marker.p7        right names, no marker in the extended key usage
#   two-signers.p7      the demo signer and a second, wrongly named signer
# The certificates made here use the demo signer's key and are issued by the
# demo intermediate; nothing outside fuzz/corpus is written.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
pki="$here/demo-pki"
sig="$here/fuzz/corpus/signature_fuzz"
crl="$here/fuzz/corpus/crl_fuzz"
mkdir -p "$sig" "$crl"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

inter="$pki/DEMO-KEYS-intermediate-ca.cert.pem"
inter_key="$pki/DEMO-KEYS-intermediate-ca.key.pem"
signer="$pki/DEMO-KEYS-signer.cert.pem"
key="$pki/DEMO-KEYS-signer.key.pem"
root="$pki/DEMO-KEYS-root-ca.cert.pem"
root_key="$pki/DEMO-KEYS-root-ca.key.pem"

printf 'runtime installer' >"$work/data"
printf 'another installer' >"$work/other"

cat >"$work/ext.cnf" <<'EOF'
[marker]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning, 1.2.840.987654.1.1.12
crlDistributionPoints = URI:https://download.vantor.test:8443/vantor/crl/DEMO-KEYS-intermediate.crl
[nomarker]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
EOF

cert() {  # name subject extensions
  openssl req -new -key "$key" -subj "$2" -out "$work/$1.csr"
  openssl x509 -req -in "$work/$1.csr" -CA "$inter" -CAkey "$inter_key" -sha256 -days 7305 \
    -set_serial "0x$(openssl rand -hex 8)" -extfile "$work/ext.cnf" -extensions "$3" \
    -out "$work/$1.pem" 2>/dev/null
}
good="/C=US/O=Brenmoor Systems Incorporated/OU=Brenmoor Trust Services/CN=Brenmoor Vantor"
cert wrong-cn "/C=US/O=Brenmoor Systems Incorporated/OU=Brenmoor Trust Services/CN=Brenmoor Vantor2" marker
cert wrong-ou "/C=US/O=Brenmoor Systems Incorporated/OU=brenmoor Trust Services/CN=Brenmoor Vantor" marker
cert no-marker "$good" nomarker

sign() {  # out data signer [extra smime args]
  local out=$1 data=$2 cert=$3
  shift 3
  openssl smime -sign -binary -md sha256 -outform DER -in "$data" -signer "$cert" -inkey "$key" \
    "$@" -out "$sig/$out"
}
sign valid.p7 "$work/data" "$signer" -certfile "$inter"
sign other-data.p7 "$work/other" "$signer" -certfile "$inter"
sign no-chain.p7 "$work/data" "$signer"
sign no-certs.p7 "$work/data" "$signer" -nocerts
sign wrong-cn.p7 "$work/data" "$work/wrong-cn.pem" -certfile "$inter"
sign wrong-ou.p7 "$work/data" "$work/wrong-ou.pem" -certfile "$inter"
sign no-marker.p7 "$work/data" "$work/no-marker.pem" -certfile "$inter"
openssl smime -sign -binary -md sha256 -outform DER -in "$work/data" -signer "$signer" -inkey "$key" \
  -signer "$work/wrong-cn.pem" -inkey "$key" -certfile "$inter" -out "$sig/two-signers.p7"

# Revocation lists: the demo lists as they are served (DER) and in PEM, and
# one from the root that revokes the root's and the intermediate's serials,
# so the revoked path of the check is in reach.
cp "$pki/DEMO-KEYS-root.crl" "$crl/root.der"
cp "$pki/DEMO-KEYS-intermediate.crl" "$crl/intermediate.der"
openssl crl -inform DER -in "$pki/DEMO-KEYS-root.crl" -outform PEM -out "$crl/root.pem"
openssl crl -inform DER -in "$pki/DEMO-KEYS-intermediate.crl" -outform PEM -out "$crl/intermediate.pem"
rs=$(openssl x509 -in "$root" -noout -serial | cut -d= -f2)
is=$(openssl x509 -in "$inter" -noout -serial | cut -d= -f2)
printf 'R\t460101000000Z\t261211000000Z\t%s\tunknown\t/CN=r\nR\t460101000000Z\t261211000000Z,keyCompromise\t%s\tunknown\t/CN=i\n' \
  "$rs" "$is" >"$work/index.txt"
echo 1000 >"$work/crlnumber"
cat >"$work/ca.cnf" <<EOF
[ca]
default_ca = c
[c]
database = $work/index.txt
crlnumber = $work/crlnumber
default_md = sha256
default_crl_days = 7305
crl_extensions = e
[e]
authorityKeyIdentifier = keyid:always
EOF
openssl ca -batch -config "$work/ca.cnf" -gencrl -keyfile "$root_key" -cert "$root" \
  -out "$crl/root-revokes-root.pem" 2>/dev/null
openssl crl -in "$crl/root-revokes-root.pem" -outform DER -out "$crl/root-revokes-root.der"
echo "make-seeds: written to $sig and $crl"
