#!/usr/bin/env bash
# Verification speed and memory: the bootstrapper's verifier over a large
# installer, side by side in each round with `openssl smime -verify` (the
# same check by the command line) and `openssl dgst -sha256` (reading and
# hashing the file, the floor any verification has to pay) over the same
# file, in the page cache for all three.
#
# Each round runs the three once, in an order that rotates from round to
# round, so that a change of load on a shared machine falls on all alike.
# The ratios are taken within each round and summarised over the rounds
# (median, lowest, highest): wall time, and CPU time (user + system), which
# another program's load disturbs less. Peak resident memory is the highest
# over the rounds; the verifier's is also compared with its own over 1 MiB,
# which shows whether it grows with the file. The load average is printed
# before and after, to judge the spread.
#
# The signer is made under the demo intermediate with no distribution point,
# so the verifier fetches nothing and the numbers are those of the check.
#
# Usage: bench/verify.sh [build dir] [size in MiB] [rounds]
#   build dir  default build/default; it must hold the target
#              vantor-verify-probe (bootstrapper/vantor-verify-probe)
#   size       the installer's size, default 1024 (MiB)
#   rounds     default 5
# Needs openssl and /usr/bin/time (Debian packages openssl and time).
# Exit status 2 when something it needs is missing, 1 when a program fails
# or the verifier refuses the signature.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build/default"}
size_mib=${2:-1024}
rounds=${3:-5}
probe="$build/bootstrapper/vantor-verify-probe"
[ -x "$probe" ] || { echo "verify.sh: $probe is missing; build the target vantor-verify-probe in $build" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "verify.sh: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }
command -v openssl >/dev/null || { echo "verify.sh: openssl is missing (Debian package openssl)" >&2; exit 2; }
[[ "$size_mib" =~ ^[1-9][0-9]*$ && "$rounds" =~ ^[1-9][0-9]*$ ]] || {
  echo "usage: bench/verify.sh [build dir] [size in MiB] [rounds]" >&2; exit 2; }
pki="$here/demo-pki"

work=$(mktemp -d /tmp/vantor-bench-verify-XXXXXX)
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

# One timed run of a named program: appends "wall cpu peak-KiB" to its file.
run() {
  local name=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >"$work/out" 2>"$work/err" || {
    echo "verify.sh: failed: $*" >&2; cat "$work/err" >&2; exit 1; }
  awk '{print $1, $2 + $3, $4}' "$work/time" >>"$work/$name.runs"
}
verifier() {
  run verifier "$probe" "$big" "$big.p7"
  grep -qx "valid=1" "$work/out" || {
    echo "verify.sh: the verifier refused the signature:" >&2; cat "$work/out" >&2; exit 1; }
}
smime() {
  run smime openssl smime -verify -binary -inform DER -in "$big.p7" -content "$big" \
    -CAfile "$pki/DEMO-KEYS-root-ca.cert.pem" -no-CApath -no-CAstore -purpose any -out /dev/null
}
dgst() { run dgst openssl dgst -sha256 "$big"; }

names=(verifier smime dgst)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for name in "${names[@]}"; do : >"$work/$name.runs"; done
for ((round = 0; round < rounds; ++round)); do
  for ((k = 0; k < 3; ++k)); do "${names[(round + k) % 3]}"; done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$work/small.runs"
run small "$probe" "$work/small" "$work/small.p7"
grep -qx "valid=1" "$work/out" || { echo "verify.sh: the verifier refused the small signature" >&2; exit 1; }

# Awk does the arithmetic (no bc needed): line i of each file is round i.
paste -d' ' "$work/verifier.runs" "$work/smime.runs" "$work/dgst.runs" |
awk -v size="$size_mib" -v rounds="$rounds" -v cores="$(nproc)" \
    -v before="$load_before" -v after="$load_after" -v small="$(awk '{print $3}' "$work/small.runs")" '
function sort(a, n,   i, j, t) {
  for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
}
function median(a, n) { sort(a, n); return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2 }
# median (lowest-highest) of the n values in a
function summary(a, n,   m) { m = median(a, n); return sprintf("%5.2f  (%.2f-%.2f)", m, a[1], a[n]) }
function peak(a, n,   i, m) { m = 0; for (i = 1; i <= n; i++) if (a[i] > m) m = a[i]; return m }
{
  vw[NR] = $1; vc[NR] = $2; vm[NR] = $3
  sw[NR] = $4; sc[NR] = $5; sm[NR] = $6
  dw[NR] = $7; dc[NR] = $8; dm[NR] = $9
  rvd[NR] = $1 / $7; rvs[NR] = $1 / $4; rsd[NR] = $4 / $7
  cvd[NR] = $2 / $8; cvs[NR] = $2 / $5; csd[NR] = $5 / $8
}
END {
  n = NR
  mv = peak(vm, n); ms = peak(sm, n); md = peak(dm, n)
  printf "\nover %d MiB, %d rounds; load average %s before, %s after, %d cores\n", size, n, before, after, cores
  printf "\n%-24s %24s %24s %14s\n", "seconds", "wall: median (low-high)", "CPU: median (low-high)", "peak RSS MiB"
  printf "%-24s %24s %24s %14.1f\n", "bootstrapper verifier", summary(vw, n), summary(vc, n), mv / 1024
  printf "%-24s %24s %24s %14.1f\n", "openssl smime -verify", summary(sw, n), summary(sc, n), ms / 1024
  printf "%-24s %24s %24s %14.1f\n", "openssl dgst -sha256", summary(dw, n), summary(dc, n), md / 1024
  printf "\n%-24s %24s %24s\n", "ratio within a round", "wall: median (low-high)", "CPU: median (low-high)"
  printf "%-24s %24s %24s\n", "verifier / dgst", summary(rvd, n), summary(cvd, n)
  printf "%-24s %24s %24s\n", "verifier / smime", summary(rvs, n), summary(cvs, n)
  printf "%-24s %24s %24s\n", "smime / dgst", summary(rsd, n), summary(csd, n)
  printf "\npeak memory ratio verifier / smime -verify: %.2f\n", mv / ms
  printf "peak memory ratio verifier / dgst -sha256:  %.2f\n", mv / md
  printf "verifier peak RSS over %d MiB / over 1 MiB: %.2f (%.1f MiB / %.1f MiB)\n", size, mv / small, mv / 1024, small / 1024
}'
