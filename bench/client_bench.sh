#!/usr/bin/env bash
# The client's exchange time against the wire's: one read of R2000 is 29 bytes on
# the line (enquiry 3, its ACK 3, read header 17, ACK + data 6), 33.2 ms at 9600 8O1
# (11 bits a character).
#
#   bench/client_bench.sh [-n RUNS] [-r ROUNDS] [CLIENT...]
#
# Starts the paced simulator (build/sim/varnak-sim, a fresh one for each client in
# each round) and runs `CLIENT --port DEV --trace read R2000` RUNS times (default
# 30). From each run's trace on stderr ("    12.346 TX 4E 21 05  enquiry": ms since
# start, direction, bytes) the exchange time is the time from the first TX to the
# last RX. CLIENT defaults to build/cli/varnak; with several clients (e.g. an older
# build), each round runs each of them in turn, so that they share the machine's
# moments. Prints every round and, per client over all its runs, the median, p99
# (nearest rank) and mean, and the median's and mean's ratios to the wire's 33.2 ms.
# A trace in whole milliseconds makes each time a whole number and the median one
# of them; the mean of many runs is then the finer figure (the ms ticks fall at
# random points of the exchange). Runs that fail or leave no TX/RX pair are
# counted and left out. Run from a built tree (build/).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=30
rounds=1
while getopts "n:r:" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    r) rounds=$OPTARG ;;
    *) echo "usage: $0 [-n RUNS] [-r ROUNDS] [CLIENT...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
clients=("$@")
[ ${#clients[@]} -eq 0 ] && clients=(build/cli/varnak)
wire=33.2

work=$(mktemp -d)
sim=
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Nearest-rank percentile P (0-100) of the numbers on stdin, or "-" if none.
pct() { sort -g | awk -v p="$1" '{a[NR]=$1} END {if (!NR) {print "-"; exit} k=int((p*NR+99)/100); if (k<1) k=1; printf "%.1f\n", a[k]}'; }
mean() { awk '{s+=$1} END {if (!NR) print "-"; else printf "%.2f\n", s/NR}'; }
median() { sort -g | awk '{a[NR]=$1} END {if (!NR) {print "-"; exit} printf "%.1f\n", (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
ratio() { awk -v m="$1" -v w="$wire" 'BEGIN {if (m == "-") print "-"; else printf "%.3f", m / w}'; }

# One batch: $runs reads by client $1 on a fresh simulator; exchange times (ms)
# appended to $2, failures counted in $2.fail.
batch() {
  local client=$1 times=$2 out device err t
  out=$work/sim.out
  : >"$out"
  build/sim/varnak-sim >"$out" &
  sim=$!
  for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
  device=$(head -n 1 "$out")
  err=$work/trace
  for _ in $(seq "$runs"); do
    if "$client" --port "$device" --trace read R2000 >/dev/null 2>"$err"; then
      t=$(awk '$2 == "TX" && first == "" {first = $1} $2 == "RX" {last = $1}
               END {if (first != "" && last != "") printf "%.3f\n", last - first}' "$err")
    else
      t=
    fi
    if [ -n "$t" ]; then echo "$t" >>"$times"; else echo x >>"$times.fail"; fi
  done
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  sim=
}

echo "exchange = first TX to last RX of 'read R2000'; wire time $wire ms; $runs runs a batch, $rounds round(s)"
for r in $(seq "$rounds"); do
  for i in "${!clients[@]}"; do
    : >"$work/round"
    : >"$work/round.fail"
    batch "${clients[$i]}" "$work/round"
    cat "$work/round" >>"$work/all$i"
    cat "$work/round.fail" >>"$work/all$i.fail"
    printf 'round %s: %s: median %s ms, p99 %s ms, mean %s ms (%d ok, %d failed)\n' "$r" "${clients[$i]}" \
      "$(median <"$work/round")" "$(pct 99 <"$work/round")" "$(mean <"$work/round")" \
      "$(wc -l <"$work/round")" "$(wc -l <"$work/round.fail")"
  done
done
for i in "${!clients[@]}"; do
  touch "$work/all$i" "$work/all$i.fail"
  m=$(median <"$work/all$i")
  a=$(mean <"$work/all$i")
  printf '%s: median %s ms, p99 %s ms, mean %s ms, min %s, max %s over %d runs (%d failed);' \
    "${clients[$i]}" "$m" "$(pct 99 <"$work/all$i")" "$a" "$(pct 0 <"$work/all$i")" "$(pct 100 <"$work/all$i")" \
    "$(wc -l <"$work/all$i")" "$(wc -l <"$work/all$i.fail")"
  printf ' median / wire %sx, mean / wire %sx\n' "$(ratio "$m")" "$(ratio "$a")"
done
