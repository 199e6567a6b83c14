#!/usr/bin/env bash
# The listing and termination benchmark of taskreap and taskreap95 against
# ps, pgrep, pkill, killall and a floor of our own (one pass over /proc).
#
#   bench/run-bench.sh [BUILD_DIR]
#
# BUILD_DIR (default build-perf) must hold taskreap, taskreap95 and the
# targets bench_sleeper and bench_proc_floor. Settings from the environment:
#   COUNTS   sleeping processes of the listing runs  (default "1000 4000")
#   KILLS    sleepers terminated per kill round      (default 1000)
#   RUNS     timed runs per command                  (default 20)
#   WARMUP   warm-up runs per command                (default 3)
#   ROUNDS   kill rounds per tool                    (default 5)
#   OUT      directory of the results                (default bench-results)
# The kill part runs in a private PID namespace and needs root; without it
# that part is skipped with a note. The full report goes to stdout and to
# $OUT/report.txt.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

# Inside the namespace: only the kill rounds run there.
if [[ "${1:-}" == "--kill-rounds" ]]; then
    shift
    build=$1 kills=$2 rounds=$3 out=$4
    name=trbk$$
    sleepers=()
    trap 'for p in "${sleepers[@]}"; do kill -KILL "$p" 2>/dev/null || true; done' EXIT
    # Starts a set of $kills sleepers; sets set_pid once all exist.
    start_set() {
        exec {ready}< <(exec "$build/bench/bench_sleeper" "$name" "$kills")
        set_pid=$!
        sleepers+=("$set_pid")
        local line
        read -r line <&"$ready"
        [[ "$line" == ready ]] || { echo "sleeper set failed to start: $line" >&2; exit 1; }
    }
    # Waits for the set's parent, which exits once it has reaped every child.
    check_reaped() {
        local line=""
        read -r -t 20 line <&"$ready" || true
        exec {ready}<&-
        local left
        left=$(pgrep -cx "$name" || true)
        if [[ "$line" != "reaped $kills" || "$left" != 0 ]]; then
            echo "NOT ALL REAPED by $1: sleeper parent '$line', $left left" >&2
            kill -KILL "$set_pid" 2>/dev/null || true
            return 1
        fi
    }
    declare -A cmd=(
        [taskreap]="$build/taskreap /a /n$name"
        [pkill]="pkill -x $name"
        [killall]="killall $name"
    )
    tools=(taskreap pkill killall)
    declare -A total=() best=()
    for tool in "${tools[@]}"; do total[$tool]=0; best[$tool]=999999999; done
    for ((r = 1; r <= rounds; ++r)); do
        for tool in "${tools[@]}"; do
            start_set
            t0=$EPOCHREALTIME
            ${cmd[$tool]} > /dev/null 2>&1 || true
            t1=$EPOCHREALTIME
            check_reaped "$tool"
            us=$(( (${t1/./} - ${t0/./}) ))
            total[$tool]=$(( total[$tool] + us ))
            (( us < best[$tool] )) && best[$tool]=$us
        done
    done
    # One more fresh set per tool under /usr/bin/time for the peak memory.
    declare -A rss=()
    for tool in "${tools[@]}"; do
        start_set
        /usr/bin/time -f %M -o "$out/kill-rss-$tool.txt" ${cmd[$tool]} > /dev/null 2>&1 || true
        check_reaped "$tool"
        rss[$tool]=$(tail -n1 "$out/kill-rss-$tool.txt")
    done
    printf '%-10s %12s %12s %12s\n' tool mean_ms min_ms maxrss_KiB
    for tool in "${tools[@]}"; do
        awk -v t="$tool" -v sum="${total[$tool]}" -v n="$rounds" -v b="${best[$tool]}" -v m="${rss[$tool]}" \
            'BEGIN { printf "%-10s %12.2f %12.2f %12s\n", t, sum / n / 1000, b / 1000, m }'
    done > "$out/kill.txt"
    cat "$out/kill.txt"
    exit 0
fi

build=$(cd "${1:-$root/build-perf}" && pwd)
counts=${COUNTS:-1000 4000}
kills=${KILLS:-1000}
runs=${RUNS:-20}
warmup=${WARMUP:-3}
rounds=${ROUNDS:-5}
out=${OUT:-bench-results}
mkdir -p "$out"
out=$(cd "$out" && pwd)
exec > >(tee "$out/report.txt") 2>&1

for exe in taskreap taskreap95 bench/bench_sleeper bench/bench_proc_floor; do
    [[ -x "$build/$exe" ]] || { echo "missing $build/$exe (build the targets first)"; exit 1; }
done
command -v hyperfine > /dev/null || { echo "hyperfine is not installed"; exit 1; }
have_time=0
[[ -x /usr/bin/time ]] && have_time=1

sleepers=()
stop_all() { for p in "${sleepers[@]}"; do kill -KILL "$p" 2>/dev/null || true; done; }
trap stop_all EXIT
trap 'exit 130' INT TERM HUP

echo "taskreap benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), $(uname -sr), $(nproc) CPUs"
echo "build: $build; runs $runs, warm-up $warmup"
echo

labels=(taskreap taskreap95 ps pgrep floor)
declare -A listing=(
    [taskreap]="$build/taskreap /l"
    [taskreap95]="$build/taskreap95 /l"
    [ps]="ps -e -o pid,nlwp,time,rss,vsz,comm"
    [pgrep]="pgrep -l ."
    [floor]="$build/bench/bench_proc_floor"
)
modes=(file pipe null)
declare -A mean=() cpu=()

for n in $counts; do
    name=trbl$$_$n
    exec {ready}< <(exec "$build/bench/bench_sleeper" "$name" "$n")
    set_pid=$!
    sleepers+=("$set_pid")
    read -r line <&"$ready"
    [[ "$line" == ready ]] || { echo "sleeper set of $n failed to start"; exit 1; }
    total=$(find /proc -maxdepth 1 -name '[0-9]*' | wc -l)
    echo "=== listing with $n sleepers ($total processes in /proc) ==="
    for mode in "${modes[@]}"; do
        case $mode in
            file) where="$out/listing-output.txt" ;;
            pipe) where=pipe ;;
            null) where=null ;;
        esac
        args=()
        for l in "${labels[@]}"; do args+=(-n "$l" "${listing[$l]}"); done
        echo "--- output to $mode ---"
        hyperfine -N -i --style basic --warmup "$warmup" --runs "$runs" --output="$where" \
            --export-json "$out/listing-$n-$mode.json" "${args[@]}" 2>&1 | grep -E '^(Benchmark|  Time|  Range)' || true
        while IFS=$'\t' read -r l m c; do mean[$n,$mode,$l]=$m; cpu[$n,$mode,$l]=$c; done < <(
            jq -r '.results[] | [.command, .mean, (.user + .system)] | @tsv' "$out/listing-$n-$mode.json")
    done
    if (( have_time )); then
        echo "--- peak memory (max RSS, KiB) ---"
        for l in "${labels[@]}"; do
            /usr/bin/time -f %M -o "$out/rss.txt" ${listing[$l]} > /dev/null 2>&1 || true
            mean[$n,rss,$l]=$(tail -n1 "$out/rss.txt")
            printf '%-11s %8s\n' "$l" "${mean[$n,rss,$l]}"
        done
    fi
    kill -KILL "$set_pid" 2>/dev/null || true
    wait "$set_pid" 2>/dev/null || true
    exec {ready}<&-
    echo
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'; }
# The ratio tables of one measure: wall-clock time, or CPU time (user plus
# system), which a machine busy with other work disturbs far less.
ratios() {
    local -n m=$1
    local what=$2
    echo "=== ratios of mean $what ==="
    printf '%-6s %-5s %12s %12s %12s %12s %12s\n' N output taskreap/flr taskreap/ps trp95/floor ps/floor pgrep/floor
    for n in $counts; do
        for mode in "${modes[@]}"; do
            printf '%-6s %-5s %12s %12s %12s %12s %12s\n' "$n" "$mode" \
                "$(ratio "${m[$n,$mode,taskreap]}" "${m[$n,$mode,floor]}")" \
                "$(ratio "${m[$n,$mode,taskreap]}" "${m[$n,$mode,ps]}")" \
                "$(ratio "${m[$n,$mode,taskreap95]}" "${m[$n,$mode,floor]}")" \
                "$(ratio "${m[$n,$mode,ps]}" "${m[$n,$mode,floor]}")" \
                "$(ratio "${m[$n,$mode,pgrep]}" "${m[$n,$mode,floor]}")"
        done
    done
    set -- $counts
    if (( $# >= 2 )); then
        local lo=$1 hi=${!#}
        echo "--- growth: mean $what at N=$hi over N=$lo ---"
        for mode in "${modes[@]}"; do
            local line="$mode:"
            for l in "${labels[@]}"; do line+=" $l $(ratio "${m[$hi,$mode,$l]}" "${m[$lo,$mode,$l]}")"; done
            echo "$line"
        done
    fi
    echo
}
ratios mean "wall-clock times"
ratios cpu "CPU times (user + system)"
echo
echo "=== termination of $kills sleepers by name, $rounds rounds, a fresh set each ==="
if [[ $(id -u) == 0 ]] && unshare --pid --fork --mount-proc true 2>/dev/null; then
    if ! unshare --pid --fork --mount-proc bash "$here/run-bench.sh" --kill-rounds "$build" "$kills" "$rounds" "$out"; then
        echo "the kill rounds failed"
        : > "$out/kill.txt"
    fi
    fast=$(awk '$1 == "pkill" || $1 == "killall" { if (m == "" || $2 < m) m = $2 } END { print m }' "$out/kill.txt")
    mine=$(awk '$1 == "taskreap" { print $2 }' "$out/kill.txt")
    echo "taskreap / faster of pkill and killall: $(ratio "$mine" "$fast")"
else
    echo "skipped: needs root and unshare --pid --fork --mount-proc"
fi
echo
echo "results in $out"
