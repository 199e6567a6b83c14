#!/usr/bin/env bash
# Checks of the Debian package made from a build tree.
#   check_package.sh build|contents|programs|manpage|lintian|zip WORK BUILD CPACK VERSION [WINBUILD]
# "build" makes the package into WORK and unpacks it into WORK/root; the
# other checks read what it left there.
set -u
step=$1 work=$2 build=$3 cpack=$4 version=$5
here=$(cd "$(dirname "$0")" && pwd)
deb=$work/taskreap.deb
root=$work/root
fail() { echo "FAIL: $*"; exit 1; }

case $step in
build)
  rm -rf "$work" && mkdir -p "$work" || fail "cannot make $work"
  # Only what the package holds; installing builds nothing itself.
  cmake --build "$build" --target taskreap taskreap95 taskreap_docs >"$work/build.log" 2>&1 ||
    { cat "$work/build.log"; fail "building the packaged targets"; }
  "$cpack" -G DEB -B "$work/cpack" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack -G DEB"; }
  debs=("$work"/cpack/*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
  arch=$(dpkg --print-architecture)
  [ "$(basename "${debs[0]}")" = "taskreap_${version}-1_${arch}.deb" ] || fail "file name $(basename "${debs[0]}")"
  cp "${debs[0]}" "$deb" && dpkg -x "$deb" "$root" || fail "dpkg -x"
  ;;

contents)
  ok=1
  field() { dpkg-deb -f "$deb" "$1"; }
  check() { [ "$(field "$1")" = "$2" ] || { echo "field $1 is '$(field "$1")', expected '$2'"; ok=0; }; }
  check Package taskreap
  check Version "${version}-1"
  check Architecture "$(dpkg --print-architecture)"
  check Section utils
  check Priority optional
  field Maintainer | grep -Eq '^[^<>]+ <[^@<> ]+@[^@<> ]+>$' || { echo "Maintainer: $(field Maintainer)"; ok=0; }
  field Depends | grep -Eq '(^|, )libc6 \(>= [0-9.]+\)' || { echo "Depends: $(field Depends)"; ok=0; }
  desc=$(field Description)
  [ "$(printf '%s\n' "$desc" | head -1)" = "list processes and terminate them by name pattern or PID" ] ||
    { echo "synopsis: $(printf '%s\n' "$desc" | head -1)"; ok=0; }
  [ "$(printf '%s\n' "$desc" | wc -l)" -ge 5 ] || { echo "no long description"; ok=0; }
  # Modes, owners and paths, without sizes and dates.
  dpkg -c "$deb" | awk '{ $3=""; $4=""; $5=""; print }' | sed 's/   */ /g' >"$work/contents.txt"
  diff -u "$here/expected-contents.txt" "$work/contents.txt" || { echo "dpkg -c differs"; ok=0; }
  for exe in taskreap taskreap95; do
    readelf -S "$root/usr/bin/$exe" | grep -Eq '\.symtab|\.debug_' && { echo "$exe is not stripped"; ok=0; }
  done
  # gzip -n -9: no name flag, no time stamp, "best compression" marker.
  for gz in usr/share/man/man1/taskreap.1.gz usr/share/doc/taskreap/changelog.Debian.gz; do
    read -r flags t0 t1 t2 t3 xfl < <(od -An -tu1 -j3 -N6 "$root/$gz")
    [ $((flags & 8)) -eq 0 ] && [ "$t0$t1$t2$t3" = "0000" ] && [ "$xfl" = 2 ] ||
      { echo "$gz not made by gzip -n -9 (flags $flags, time $t0 $t1 $t2 $t3, xfl $xfl)"; ok=0; }
  done
  zcat "$root/usr/share/doc/taskreap/changelog.Debian.gz" | head -1 | grep -q "^taskreap (${version}-1) " ||
    { echo "changelog does not begin with this version"; ok=0; }
  grep -q '^License: Expat$' "$root/usr/share/doc/taskreap/copyright" || { echo "copyright without license"; ok=0; }
  [ $ok = 1 ] || fail "package contents"
  ;;

programs)
  ok=1
  line() { sed -n "$1p" "$work/list.txt"; }
  # The installed programs, each started under a PID that the shell knows.
  bash -c 'echo $$; exec "$0" /l' "$root/usr/bin/taskreap" >"$work/run.txt"; rc=$?
  pid=$(head -1 "$work/run.txt"); tail -n +2 "$work/run.txt" >"$work/list.txt"
  line 1 | grep -Eq '^Taskreap W32 1\.2 \(NT\) is running with Windows Version [0-9]+\.[0-9]{2}$' ||
    { echo "taskreap banner line: $(line 1)"; ok=0; }
  expected=$'\nProcess Thd     CPU       Memory  Swap    Process\n  ID     #      Time      usage K usage K Name\n------- --- ------------- ------- ------- ------>'
  [ "$(line 2,5)" = "$expected" ] || { echo "taskreap header:"; line 2,5; ok=0; }
  rows=$(tail -n +6 "$work/list.txt" | wc -l)
  [ "$rc" -eq $((rows > 254 ? 254 : rows)) ] || { echo "taskreap /l: status $rc for $rows rows"; ok=0; }
  grep -Eq "^ \\\$$(printf '%04X' "$pid")  [0-9]{3,} .* taskreap\.exe$" "$work/list.txt" ||
    { echo "taskreap /l has no row of its own (PID $pid)"; ok=0; }

  bash -c 'echo $$ $PPID; exec "$0" /l' "$root/usr/bin/taskreap95" >"$work/run.txt"; rc=$?
  read -r pid ppid <"$work/run.txt"; tail -n +2 "$work/run.txt" >"$work/list.txt"
  line 1 | grep -Eq '^Taskreap W32 1\.2 \(W95\+W98\) is running with Windows Version [0-9]+\.[0-9]{2}$' ||
    { echo "taskreap95 banner line: $(line 1)"; ok=0; }
  expected=$'\n Process   Parent    Process\n   ID        ID       Name\n\n.'
  [ "$(line 2,5; echo .)" = "$expected" ] || { echo "taskreap95 header:"; line 2,5; ok=0; }
  rows=$(grep -c '^\$' "$work/list.txt")
  [ "$(tail -1 "$work/list.txt")" = "$rows Processes found." ] ||
    { echo "taskreap95 summary: $(tail -1 "$work/list.txt") for $rows rows"; ok=0; }
  [ "$rc" -eq $((rows > 254 ? 254 : rows)) ] || { echo "taskreap95 /l: status $rc for $rows rows"; ok=0; }
  own=$(printf '$%08X $%08X %s' "$pid" "$ppid" "$root/usr/bin/taskreap95")
  grep -qxF "$own" "$work/list.txt" || { echo "taskreap95 /l has no row '$own'"; ok=0; }
  [ $ok = 1 ] || fail "installed programs"
  ;;

manpage)
  ok=1
  page=$root/usr/share/man/man1/taskreap.1.gz
  for p in "$page" "$root/usr/share/man/man1/taskreap95.1.gz"; do
    MANWIDTH=80 man --warnings -E UTF-8 -l "$p" >"$work/man.txt" 2>"$work/man.err" ||
      { echo "man -l $p failed"; ok=0; }
    [ -s "$work/man.err" ] && { echo "man -l $p:"; cat "$work/man.err"; ok=0; }
    grep -q '^TASKREAP(1)' "$work/man.txt" || { echo "man -l $p shows no TASKREAP(1)"; ok=0; }
  done
  zcat "$page" | groff -man -Tutf8 -ww -z 2>"$work/groff.err" || { echo "groff failed"; ok=0; }
  [ -s "$work/groff.err" ] && { echo "groff warnings:"; cat "$work/groff.err"; ok=0; }
  # Every message that the installed programs write must be in the page as
  # written (blanks aside).
  flat() { tr -s ' \t\n' '   '; }
  zcat "$page" | groff -man -Tascii -P-cbou -rLL=250n 2>/dev/null | flat >"$work/page.flat"
  for args in "taskreap /x" "taskreap95 /x" "taskreap /nfoo /nbar" "taskreap /n.exe" "taskreap /p1 /p2" \
              "taskreap /pabc" "taskreap /p4294967294" "taskreap95 /p4294967294" "taskreap" "taskreap95"; do
    set -- $args
    exe=$1; shift
    while IFS= read -r line; do
      [ -z "${line//[[:space:]]/}" ] && continue
      text=$(printf '%s' "$line" | flat | sed 's/^ //; s/ $//')
      grep -qF -- "$text" "$work/page.flat" || { echo "'$args' writes '$line', which the page lacks"; ok=0; }
    done < <("$root/usr/bin/$exe" "$@")
  done
  [ $ok = 1 ] || fail "manual page"
  ;;

lintian)
  lintian --fail-on error --display-info "$deb" 2>&1 | grep -v 'running with root privileges' | tee "$work/lintian.txt"
  status=${PIPESTATUS[0]}
  grep -q '^E:' "$work/lintian.txt" && fail "lintian reports errors"
  [ "$status" -eq 0 ] || fail "lintian failed with status $status"
  ;;

zip)
  winbuild=$6
  rm -rf "$work/zip" && mkdir -p "$work/zip"
  "$cpack" -G ZIP -B "$work/zip" --config "$winbuild/CPackConfig.cmake" >"$work/zip.log" 2>&1 ||
    { cat "$work/zip.log"; fail "cpack -G ZIP"; }
  zip=$work/zip/taskreap-${version}-win64.zip
  [ -f "$zip" ] || fail "no $zip"
  listing=$(unzip -Z1 "$zip" | sort)
  [ "$listing" = "$(printf 'taskreap-%s-win64/%s\n' "$version" LICENSE.txt "$version" README.txt "$version" taskreap.exe)" ] ||
    { echo "$listing"; fail "ZIP contents"; }
  [ "$(unzip -p "$zip" "taskreap-${version}-win64/taskreap.exe" | head -c 2)" = MZ ] || fail "taskreap.exe is no Windows executable"
  crlf=$(unzip -p "$zip" "taskreap-${version}-win64/README.txt" | grep -c -v $'\r$')
  [ "$crlf" -eq 0 ] || fail "README.txt has $crlf lines without CR LF"
  ;;
*)
  fail "unknown step $step"
  ;;
esac
