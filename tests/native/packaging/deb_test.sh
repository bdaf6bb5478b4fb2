#!/usr/bin/env bash
# The Debian package the build made: its control fields and contents, then, unpacked into a
# scratch root, its own tervolo-cli writes the samples into its own simulated handset.
#   deb_test.sh DEB VERSION
set -euo pipefail
deb=${1:?the .deb}
version=${2:?its version}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
[ -f "$deb" ] || fail "no package $deb: build it with cmake --build build/native --target package"
work=$(mktemp -d /tmp/deb-test-XXXXXX)
sim_pid=
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tervoloplus ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[ "$(field Maintainer)" = Quorvatek ] || fail "Maintainer: $(field Maintainer)"
# Computed from the binaries by dpkg-shlibdeps.
for library in libc6 libstdc++6; do
    field Depends | grep -q "$library (>=" || fail "Depends lacks $library: $(field Depends)"
done

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' | grep -v '/$' | sort >"$work/contents"
cat >"$work/expected" <<LIST
usr/bin/tervolo-cli
usr/bin/tervolo-sim
usr/share/doc/tervoloplus/CONTROL.md
usr/share/doc/tervoloplus/README.txt
usr/share/man/man1/tervolo-cli.1.gz
usr/share/man/man1/tervolo-sim.1.gz
LIST
diff -u "$work/expected" "$work/contents" || fail "the package's files differ"

dpkg -x "$deb" "$work/root"
zcat "$work/root/usr/share/man/man1/tervolo-cli.1.gz" | grep -q -- 'journal' ||
    fail "the manual page of tervolo-cli does not come from its --help"
# help2man takes the version from the program's --version.
for program in tervolo-cli tervolo-sim; do
    zcat "$work/root/usr/share/man/man1/$program.1.gz" | grep -q "^\.TH .*\"$program $version\"" ||
        fail "the manual page of $program does not show version $version"
done
grep -q dialout "$work/root/usr/share/doc/tervoloplus/README.txt" || fail "no word on dialout"

python3 "$root/scripts/make-samples.py" "$work" >/dev/null
"$work/root/usr/bin/tervolo-sim" --link "$work/handset" --control 0 >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do
    [ -e "$work/handset" ] && break
    sleep 0.1
done
[ -e "$work/handset" ] || fail "the packaged simulator did not start: $(cat "$work/sim.log")"
status=0
"$work/root/usr/bin/tervolo-cli" download --port "$work/handset" --model RT47 \
    --image "$work/RT47_image.rel" --lp "$work/LPT47_language_pack.rel" --json \
    >"$work/out.json" 2>"$work/err.txt" || status=$?
[ "$status" -eq 0 ] || fail "the packaged tervolo-cli ended with $status: $(cat "$work/err.txt")"
grep -q '"verdict":"passed"' "$work/out.json" || fail "no passed verdict: $(cat "$work/out.json")"
echo "tervoloplus $version: fields and files right; unpacked, it downloaded into its simulator"
