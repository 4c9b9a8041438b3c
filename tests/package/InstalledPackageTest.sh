#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, unpacks it into a scratch
# root and runs what it installed there as a user would: trelvo-tool on a
# delivered dictionary, and the program, which makes the user's folder at its
# first start and writes its settings when it is asked to end.
#   InstalledPackageTest.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d /tmp/trelvo-package-XXXXXX)
program=
cleanup() {
  if [ -n "$program" ] && kill -0 "$program" 2>/dev/null; then kill -KILL "$program"; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >cpack.log 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(ls "$scratch"/out/trelvo_*.deb)
echo "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for library in libqt6widgets6 libqt6svg6 libcurl4 libc6; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library"
done

# Errors fail the test; warnings are listed.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

root=$scratch/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root"/usr/share/applications/cz.trelvo.Trelvo.desktop || fail "desktop entry"
appstreamcli validate --no-net "$root"/usr/share/metainfo/cz.trelvo.Trelvo.metainfo.xml || fail "metainfo"
for size in 16 22 24 32 48 64 128 256; do
  [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/cz.trelvo.Trelvo.png" ] || fail "icon ${size}px"
done
[ -f "$root/usr/share/man/man1/trelvo-tool.1.gz" ] || fail "manual page"
bash -n "$root/usr/share/bash-completion/completions/trelvo-tool" || fail "completion"

export HOME=$scratch/home
unset XDG_DATA_HOME
mkdir -p "$HOME"
user=$HOME/.local/share/trelvo
# The program checks for updates when it opens a dictionary: here only at a
# closed port of this machine, never at the delivered location.
mkdir -p "$user"
echo "127.0.0.1:9/trelvo" >"$user/net.ini"

# The tool reads the installed tables: nothing beside it, no user's folder yet.
info=$("$root/usr/bin/trelvo-tool" info "$root/usr/share/trelvo/DSL/cs-en.dsl")
grep -q "Zabezpečovací technika česko-anglický" <<<"$info" || { echo "$info"; fail "trelvo-tool info"; }
search=$("$root/usr/bin/trelvo-tool" search "$root/usr/share/trelvo/DSL/cs-en.dsl" navestidlo)
[ -n "$search" ] || fail "trelvo-tool search"
# The package trusts no key and holds no private one: the demo server's
# edition, signed by the build folder's own demo key, does not verify with
# what it installed, and nothing in it is a key to sign with.
grep -v '^#' "$root/usr/share/trelvo/trusted-keys" | grep -q . && fail "the package trusts a key"
if grep -rlIE '^secret ' "$root"; then fail "the package holds a private key"; fi
cp "$build/bin/updates/trelvo/cs-en.dsl" "$build/bin/updates/trelvo/cs-en.dsl.sig" "$scratch/"
if "$root/usr/bin/trelvo-tool" verify "$scratch/cs-en.dsl" --trusted-keys "$root/usr/share/trelvo/trusted-keys"; then
  fail "the installed tool trusts the demo key"
fi
# Nor does it name a port on this machine, which any user of it could serve on.
grep -q '127\.0\.0\.1\|localhost' "$root/usr/share/trelvo/net.ini" && fail "the package's net.ini names this machine"

# The program: started headless, asked to end once it has made the user's
# folder; it ends as when its window is closed, which writes trelvo.cfg.
QT_QPA_PLATFORM=offscreen "$root/usr/bin/trelvo" >"$scratch/trelvo.out" 2>&1 &
program=$!
for _ in $(seq 600); do
  [ -f "$user/DSL/cs-en.dsl" ] && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
[ -f "$user/DSL/cs-en.dsl" ] || { cat "$scratch/trelvo.out"; fail "the program made no user's folder"; }
kill -TERM "$program"
status=0
for _ in $(seq 600); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
wait "$program" || status=$?
program=
[ "$status" -eq 0 ] || { cat "$scratch/trelvo.out"; fail "the program ended with status $status"; }
for f in upchar.dat net.ini trusted-keys trelvo.html DSL/cs-ru.dsl trelvo.cfg; do
  [ -f "$user/$f" ] || { ls -la "$user"; cat "$scratch/trelvo.out"; fail "no $f in the user's folder"; }
done
echo "installed package works"
