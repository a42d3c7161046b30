#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks it with lintian, unpacks it into a scratch
# folder with dpkg-deb and starts the programs from there, headless: what a technician gets from the
# .deb, not from the build.
# Usage: package_test.sh BUILD_DIR [CPACK]
# shellcheck disable=SC2015  # "check && check || fail" is meant: fail when either check is false
set -uo pipefail

build=${1:?build folder}
cpack=${2:-cpack}
scratch=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# --- the package ---------------------------------------------------------------------------------
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack could not build the package (are korvane, korvane-sim and korvane-ports built?)"
  exit 1
fi
debs=("$scratch"/out/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  ls -l "$scratch/out"
  echo "FAIL: expected one .deb, found ${#debs[@]}"
  exit 1
fi
deb=${debs[0]}
pass "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = korvane ] || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
echo "      Depends: $depends"
for lib in libqt6widgets6 libqt6serialport6 libqt6gui6 libqt6core6; do
  # Each entry is a whole package name, maybe with a version: "libqt6core6 (>= 6.4.0)".
  echo "$depends" | tr ',' '\n' | grep -Eq "^ *$lib( |$)" || fail "Depends lacks $lib"
done
[ $failures -eq 0 ] && pass "control fields and Depends"

# Debian's own checker. Errors and warnings fail; notes are shown for whoever reads the log.
if command -v lintian >/dev/null; then
  # It complains about running as root (CI does) on stderr; that is not about the package.
  lint=$(lintian --display-info --fail-on error,warning "$deb" 2>&1 | grep -v '^running with root privileges')
  rc=${PIPESTATUS[0]}
  [ -n "$lint" ] && while IFS= read -r line; do echo "      $line"; done <<<"$lint"
  if [ "$rc" -ne 0 ] || echo "$lint" | grep -q '^[EW]: '; then
    fail "lintian reports errors or warnings (exit $rc)"
  else
    pass "lintian: no errors or warnings"
  fi
else
  fail "lintian is not installed (scripts/packages.sh installs it)"
fi

# --- the files -----------------------------------------------------------------------------------
root="$scratch/root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
for f in usr/bin/korvane usr/bin/korvane-sim usr/bin/korvane-ports; do
  [ -f "$root/$f" ] && [ -x "$root/$f" ] || fail "$f missing or not executable"
done
programs=()
for f in "$root"/usr/bin/*; do programs+=("$(basename "$f")"); done
for p in "${programs[@]}"; do
  [ -s "$root/usr/share/man/man1/$p.1.gz" ] || fail "no manual page for $p"
done
# The newest changelog entry is the version being packaged.
changelog="$root/usr/share/doc/korvane/changelog.gz"
top=$(zcat "$changelog" 2>/dev/null | head -1 | sed -n 's/^korvane (\([^)]*\)).*/\1/p')
[ "$top" = "$(field Version)" ] || fail "changelog starts with version '$top', the package is $(field Version)"
grep -q '^License: Expat' "$root/usr/share/doc/korvane/copyright" 2>/dev/null || fail "copyright names no MIT (Expat) licence"
desktop="$root/usr/share/applications/korvane.desktop"
icon="$root/usr/share/icons/hicolor/scalable/apps/korvane.svg"
[ -f "$desktop" ] || fail "desktop entry missing"
[ -s "$icon" ] || fail "icon missing"
if [ -f "$desktop" ]; then
  # The entry names the program and the icon that the package carries.
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  icon_name=$(sed -n 's/^Icon=//p' "$desktop")
  [ -n "$exec_name" ] && [ -x "$root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not in usr/bin"
  [ -n "$icon_name" ] && [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] \
    || fail "Icon=$icon_name is not in the package"
  for key in Name Comment Categories; do grep -q "^$key=." "$desktop" || fail "desktop entry lacks $key"; done
  if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
  fi
fi
# What software centres read: AppStream metadata that validates and names what the package carries.
metainfo="$root/usr/share/metainfo/org.example.korvane.metainfo.xml"
if [ ! -f "$metainfo" ]; then
  fail "AppStream metainfo missing"
elif ! command -v appstreamcli >/dev/null; then
  fail "appstreamcli is not installed (scripts/packages.sh installs it)"
else
  # Warnings and errors fail it, as with lintian; pedantic remarks (I:, P:) do not.
  out=$(appstreamcli validate --no-net --explain "$metainfo" 2>&1)
  rc=$?
  if [ $rc -ne 0 ] || echo "$out" | grep -Eq '^[EW]:'; then
    fail "appstreamcli validate (exit $rc): $out"
  fi
  for p in "${programs[@]}"; do
    grep -q "<binary>$p</binary>" "$metainfo" || fail "the metainfo does not name $p among what it provides"
  done
  grep -q '<launchable type="desktop-id">korvane.desktop</launchable>' "$metainfo" \
    || fail "the metainfo does not launch the packaged desktop entry"
fi
# Bash completion, read by bash alone (no bash-completion helpers): what the last word completes to.
completions="$root/usr/share/bash-completion/completions"
completes() {   # expected, then the command line; the last word is the one completed
  local expected=$1 file=$completions/$2
  shift
  local got
  got=$(bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
                 fn=$(complete -p "$1" | sed "s/.* -F \([^ ]*\) .*/\1/"); "$fn"; echo "${COMPREPLY[*]}"' \
        _ "$file" "$@" 2>&1)
  [ "$got" = "$expected" ] || fail "completion of '$*': '$got', not '$expected'"
}
coms="COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9"
for p in korvane-ports korvane-cli; do
  [ -e "$root/usr/bin/$p" ] && { [ -f "$completions/$p" ] || fail "no bash completion for $p"; }
done
if [ -f "$completions/korvane-ports" ]; then
  completes "list link unlink --help --version" korvane-ports ""
  completes "$coms" korvane-ports link co
  completes "COM4" korvane-ports unlink COM4
fi
if [ -f "$completions/korvane-cli" ] && [ -e "$root/usr/bin/korvane-cli" ]; then
  completes "read reset" korvane-cli r
  completes "$coms" korvane-cli read COM
  completes "Falcon" korvane-cli read COM4 --model F
  completes "-o --output -m --model --quiet --help" korvane-cli read COM4 -
  completes "--yes --record --no-record --quiet --help" korvane-cli reset COM4 -
  completes "info" korvane-cli i
  completes "" korvane-cli reset COM4 --yes ""
fi
if command -v xmllint >/dev/null && [ -s "$icon" ]; then
  xmllint --noout "$icon" 2>/dev/null || fail "the icon is not well-formed XML"
fi
grep -q '<svg' "$icon" 2>/dev/null || fail "the icon is not an SVG"
# Nothing may point back into the build: the package has to stand on the system's libraries.
for f in "${programs[@]}"; do
  if readelf -d "$root/usr/bin/$f" 2>/dev/null | grep -Eq 'RPATH|RUNPATH'; then
    fail "$f carries a library search path: $(readelf -d "$root/usr/bin/$f" | grep -E 'RPATH|RUNPATH')"
  fi
  if ldd "$root/usr/bin/$f" | grep -q 'not found'; then
    fail "$f: $(ldd "$root/usr/bin/$f" | grep 'not found' | tr -s ' \n' ' ')"
  fi
done
[ $failures -eq 0 ] && pass "files, desktop entry, icon, AppStream metainfo, bash completion, no build paths"
(cd "$root" && find usr -type f -o -type l | sort | sed 's/^/      /')

# --- starting the programs from the unpacked tree ------------------------------------------------
home="$scratch/home"
mkdir -p "$home"
run_vars=(HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$scratch")
run_env=(env -u LD_LIBRARY_PATH "${run_vars[@]}" QT_QPA_PLATFORM=offscreen)
cd "$scratch" || exit 1

"${run_env[@]}" timeout 2 "$root/usr/bin/korvane" >"$scratch/korvane.log" 2>&1
rc=$?
if [ $rc -ne 124 ]; then
  fail "korvane did not stay up for 2 s (exit $rc): $(head -c 2000 "$scratch/korvane.log")"
elif grep -q 'error while loading shared libraries' "$scratch/korvane.log"; then
  fail "korvane: $(cat "$scratch/korvane.log")"
else
  pass "korvane ran headless for 2 s until stopped"
fi

help=$("${run_env[@]}" "$root/usr/bin/korvane-ports" --help 2>&1)
rc=$?
[ $rc -eq 0 ] && echo "$help" | grep -q '^Usage: korvane-ports' || fail "korvane-ports --help (exit $rc): $help"
"${run_env[@]}" "$root/usr/bin/korvane-ports" link COM4 "$scratch/no-such-device" >/dev/null 2>&1
[ $? -eq 1 ] || fail "korvane-ports link to a missing device did not exit 1"
"${run_env[@]}" "$root/usr/bin/korvane-sim" --help >/dev/null 2>&1 || fail "korvane-sim --help"

# The packaged simulator links itself as COM4; the packaged helper must see it there.
"${run_env[@]}" "$root/usr/bin/korvane-sim" --port COM4 >"$scratch/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -L "$home/.config/korvane/ports/COM4" ] && break; sleep 0.1; done
list=$("${run_env[@]}" "$root/usr/bin/korvane-ports" list 2>&1)
rc=$?
com4=$(echo "$list" | grep '^  COM4 ')
if [ $rc -ne 0 ] || ! echo "$com4" | grep -q -- '-> /dev/pts/.*present$'; then
  fail "korvane-ports list did not show the simulator on COM4 (exit $rc): $list
simulator: $(cat "$scratch/sim.log")"
else
  pass "korvane-ports --help; list shows the simulator:$com4"
fi

# korvane-cli ships once it is built. It needs no display, so it starts with none at all, and reads
# the packaged simulator through the ports folder like the window.
cli="$root/usr/bin/korvane-cli"
if [ -e "$cli" ]; then
  no_display=(env -u LD_LIBRARY_PATH -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "${run_vars[@]}")
  help=$("${no_display[@]}" "$cli" --help 2>&1)
  rc=$?
  [ $rc -eq 0 ] && echo "$help" | grep -q 'korvane-cli' || fail "korvane-cli --help (exit $rc): $help"
  if readelf -d "$cli" | grep -Eq 'NEEDED.*libQt6(Widgets|Gui)'; then
    fail "korvane-cli links a display library: $(readelf -d "$cli" | grep -E 'libQt6(Widgets|Gui)' | tr -s ' \n' ' ')"
  fi
  "${no_display[@]}" timeout 30 "$cli" read COM4 -o "$scratch/profile.json" --quiet >"$scratch/cli.log" 2>&1
  rc=$?
  if [ $rc -ne 0 ] || ! grep -q '^ *{' "$scratch/profile.json" 2>/dev/null; then
    fail "korvane-cli read COM4 (exit $rc): $(head -c 2000 "$scratch/cli.log")"
  else
    pass "korvane-cli --help without a display; read COM4 from the simulator gave a profile"
  fi
fi

kill "$sim_pid" 2>/dev/null
wait "$sim_pid" 2>/dev/null
sim_pid=""
[ -L "$home/.config/korvane/ports/COM4" ] && fail "the simulator left its link behind"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package test passed"
