#!/usr/bin/env bash
# Verification speed and memory: the bootstrapper's verifier over a large
# installer, side by side in one run with `openssl smime -verify` and
# `openssl dgst -sha256` over the same file. Prints the wall times, their
# ratios and the peak resident memory of each.
#
#   bench/verify.sh [build-dir] [size-in-MiB] [runs]
#
# build-dir defaults to build/default (vantor-verify-probe must be built
# there), size to 1024 MiB, runs to 3 (the median of the runs is shown).
# The signer is made under the demo intermediate with no distribution point,
# so the verifier fetches nothing and the numbers are those of the check.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build/default"}
size_mib=${2:-1024}
runs=${3:-3}
probe="$build/bootstrapper/vantor-verify-probe"
[ -x "$probe" ] || { echo "verify.sh: build vantor-verify-probe in $build first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "verify.sh: needs /usr/bin/time (Debian package time)" >&2; exit 1; }
pki="$here/demo-pki"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
big="$work/installer"

echo "verify.sh: making a ${size_mib} MiB file and its signature"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$big"

cat >"$work/ext.cnf" <<'EOF'
[signer]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning, 1.2.840.987654.1.1.12
EOF
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/signer.key" 2>/dev/null
openssl req -new -key "$work/signer.key" -out "$work/signer.csr" \
  -subj "/C=US/O=Brenmoor Systems Incorporated/OU=Brenmoor Trust Services/CN=Brenmoor Vantor"
openssl x509 -req -in "$work/signer.csr" -CA "$pki/DEMO-KEYS-intermediate-ca.cert.pem" \
  -CAkey "$pki/DEMO-KEYS-intermediate-ca.key.pem" -days 30 -set_serial "0x$(openssl rand -hex 8)" \
  -extfile "$work/ext.cnf" -extensions signer -out "$work/signer.pem" 2>/dev/null
openssl smime -sign -binary -md sha256 -outform DER -in "$big" -signer "$work/signer.pem" \
  -inkey "$work/signer.key" -certfile "$pki/DEMO-KEYS-intermediate-ca.cert.pem" -out "$big.p7"

# The same signer over 1 MiB: the verifier's memory must not grow with the
# file (what it needs beyond OpenSSL's is the program and its libraries).
head -c "$((1024 * 1024))" /dev/urandom >"$work/small"
openssl smime -sign -binary -md sha256 -outform DER -in "$work/small" -signer "$work/signer.pem" \
  -inkey "$work/signer.key" -certfile "$pki/DEMO-KEYS-intermediate-ca.cert.pem" -out "$work/small.p7"

# One timed run: prints "seconds peak-KiB".
timed() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" 2>"$work/err" || {
    echo "verify.sh: failed: $*" >&2; cat "$work/err" >&2; exit 1; }
  cat "$work/time"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

declare -A secs mem
for name in verifier smime dgst; do : >"$work/$name.t"; : >"$work/$name.m"; done
for ((i = 1; i <= runs; i++)); do
  read -r s m < <(timed "$probe" "$big" "$big.p7")
  grep -qx "valid=1" "$work/out" || { echo "verify.sh: the verifier refused the signature:" >&2; cat "$work/out" >&2; exit 1; }
  echo "$s" >>"$work/verifier.t"; echo "$m" >>"$work/verifier.m"
  read -r s m < <(timed openssl smime -verify -binary -inform DER -in "$big.p7" -content "$big" \
    -CAfile "$pki/DEMO-KEYS-root-ca.cert.pem" -no-CApath -no-CAstore -purpose any -out /dev/null)
  echo "$s" >>"$work/smime.t"; echo "$m" >>"$work/smime.m"
  read -r s m < <(timed openssl dgst -sha256 "$big")
  echo "$s" >>"$work/dgst.t"; echo "$m" >>"$work/dgst.m"
done
read -r _ small_mem < <(timed "$probe" "$work/small" "$work/small.p7")
grep -qx "valid=1" "$work/out" || { echo "verify.sh: the verifier refused the small signature" >&2; exit 1; }
for name in verifier smime dgst; do
  secs[$name]=$(median <"$work/$name.t")
  mem[$name]=$(sort -n "$work/$name.m" | tail -1)
done

# Awk does the arithmetic (no bc needed): seconds, KiB to MiB, ratios.
awk -v size="$size_mib" -v runs="$runs" \
    -v vs="${secs[verifier]}" -v ss="${secs[smime]}" -v ds="${secs[dgst]}" \
    -v vm="${mem[verifier]}" -v sm="${mem[smime]}" -v dm="${mem[dgst]}" -v small="$small_mem" 'BEGIN {
  printf "\n%-36s %10s %14s\n", "over " size " MiB (median of " runs ")", "seconds", "peak RSS MiB"
  printf "%-36s %10.2f %14.1f\n", "bootstrapper verifier", vs, vm / 1024
  printf "%-36s %10.2f %14.1f\n", "openssl smime -verify", ss, sm / 1024
  printf "%-36s %10.2f %14.1f\n", "openssl dgst -sha256", ds, dm / 1024
  printf "\ntime ratio verifier / smime -verify:   %.2f\n", vs / ss
  printf "time ratio verifier / dgst -sha256:     %.2f\n", vs / ds
  printf "memory ratio verifier / smime -verify: %.2f\n", vm / sm
  printf "memory ratio verifier / dgst -sha256:  %.2f\n", vm / dm
  printf "verifier peak RSS over %d MiB / over 1 MiB: %.2f (%.1f MiB / %.1f MiB)\n", size, vm / small, vm / 1024, small / 1024
}'
