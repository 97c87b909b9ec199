#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# from there, checks the desktop entry and the AppStream metadata with the
# desktop's own tools, and builds the Debian package and reads its contents.
#
#   check-install.sh BUILD_DIR FIXTURE_SITE CMAKE CPACK VERSION WITH_GUI
#
# Nothing outside a fresh temporary folder is written (besides what cmake
# --install notes in the build folder), and the fixture site listens on a free
# port, so it runs beside other tests.
set -euo pipefail
build=$1 site=$2 cmake=$3 cpack=$4 version=$5 gui=$6

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-install.XXXXXX")
site_pid=
cleanup() {
  if [ -n "$site_pid" ]; then kill "$site_pid" 2>/dev/null || true; wait "$site_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "check-install: $*" >&2; exit 1; }
show() { sed 's/^/    /' "$1" >&2; }

case $gui in ON|on|TRUE|true|1) gui=1 ;; *) gui=0 ;; esac
programs=(quillmoor-cli)
[ "$gui" = 1 ] && programs+=(quillmoor quillmoor-cli-browser)
metainfo=share/metainfo/io.github.quillmoor.quillmoor.metainfo.xml
icons=()
for size in 16 32 48 64 128 256; do icons+=("share/icons/hicolor/${size}x${size}/apps/quillmoor.png"); done
icons+=(share/icons/hicolor/scalable/apps/quillmoor.svg)

# --- Install into a temporary prefix -----------------------------------------
prefix=$tmp/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 \
  || { show "$tmp/install.log"; fail "cmake --install failed"; }
for program in "${programs[@]}"; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program was not installed"
done
[ "$(ls "$prefix/bin" | wc -l)" = "${#programs[@]}" ] || fail "unexpected files in bin: $(ls "$prefix/bin")"
if [ "$gui" = 1 ]; then
  for file in share/applications/quillmoor.desktop "$metainfo" "${icons[@]}"; do
    [ -s "$prefix/$file" ] || fail "$file was not installed"
  done
fi

# --- Run the installed command-line program ----------------------------------
# A home of its own, so the per-user folders are fresh and inside $tmp.
home=$tmp/home
mkdir -p "$home"
run() {
  env HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
    XDG_CACHE_HOME="$home/.cache" "$@"
}
run "$prefix/bin/quillmoor-cli" --help >"$tmp/help.txt" 2>&1 \
  || { show "$tmp/help.txt"; fail "quillmoor-cli --help failed"; }
grep -q 'download' "$tmp/help.txt" || { show "$tmp/help.txt"; fail "--help does not name download"; }

mkdir -p "$tmp/site"
{ printf '%%PDF-1.4\n'; head -c 40000 /dev/urandom; } >"$tmp/site/paper.pdf"
mkfifo "$tmp/port"
"$site" --root "$tmp/site" >"$tmp/port" 2>"$tmp/site.log" &
site_pid=$!
read -r -t 30 port <"$tmp/port" || { show "$tmp/site.log"; fail "the fixture site did not start"; }

# One file arrives whole; the other address fails, and says so in the exit
# status. The installed program writes nothing beside itself.
status=0
run "$prefix/bin/quillmoor-cli" download --method 1 --no-cookies --to "$tmp/papers" \
  --report "$tmp/report.tsv" "http://127.0.0.1:$port/paper.pdf" \
  "http://127.0.0.1:$port/status/404" >"$tmp/download.log" 2>&1 || status=$?
[ "$status" = 1 ] || { show "$tmp/download.log"; fail "download ended with $status, expected 1 (one row failed)"; }
cmp -s "$tmp/site/paper.pdf" "$tmp/papers/paper.pdf" \
  || { show "$tmp/download.log"; fail "the downloaded file differs from the served one"; }
grep -q $'^paper\tpdf\t.*\t3$' "$tmp/report.tsv" || { show "$tmp/report.tsv"; fail "the report does not show paper.pdf completed"; }
[ "$(ls "$prefix/bin" | wc -l)" = "${#programs[@]}" ] || fail "the installed program wrote into bin: $(ls "$prefix/bin")"

# --- The desktop's own checks --------------------------------------------------
if [ "$gui" = 1 ]; then
  entry=$prefix/share/applications/quillmoor.desktop
  meta=$prefix/$metainfo
else
  here=$(cd "$(dirname "$0")/../.." && pwd)
  entry=$here/resources/desktop/quillmoor.desktop
  meta=$here/resources/desktop/io.github.quillmoor.quillmoor.metainfo.xml
fi
# Hints are advice (several main categories are meant); errors and warnings fail.
desktop-file-validate "$entry" >"$tmp/desktop.log" 2>&1 || { show "$tmp/desktop.log"; fail "desktop-file-validate failed"; }
if grep -qE ': (error|warning):' "$tmp/desktop.log"; then show "$tmp/desktop.log"; fail "desktop entry has warnings"; fi
appstreamcli validate --no-net "$meta" >"$tmp/appstream.log" 2>&1 \
  || { show "$tmp/appstream.log"; fail "appstreamcli validate failed"; }
grep -q "<release version=\"$version\"" "$meta" || fail "the metadata has no release $version"
if [ "$gui" = 1 ]; then
  # The installed tree as a whole: the metadata's desktop entry and icon are there.
  appstreamcli validate-tree --no-net "$prefix" >"$tmp/tree.log" 2>&1 \
    || { show "$tmp/tree.log"; fail "appstreamcli validate-tree failed"; }
fi

# --- The Debian package ----------------------------------------------------------
(cd "$build" && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/package") \
  >"$tmp/cpack.log" 2>&1 || { show "$tmp/cpack.log"; fail "cpack -G DEB failed"; }
debs=("$tmp/package"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { show "$tmp/cpack.log"; fail "cpack made no single .deb"; }
deb=${debs[0]}
[ "$(dpkg-deb -f "$deb" Package)" = quillmoor ] || fail "package name is not quillmoor"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"

dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|' >"$tmp/contents.txt"
wanted=()
for program in "${programs[@]}"; do wanted+=("/usr/bin/$program"); done
if [ "$gui" = 1 ]; then
  wanted+=(/usr/share/applications/quillmoor.desktop "/usr/$metainfo")
  for icon in "${icons[@]}"; do wanted+=("/usr/$icon"); done
fi
for file in "${wanted[@]}"; do
  grep -qxF "$file" "$tmp/contents.txt" || { show "$tmp/contents.txt"; fail "the package lacks $file"; }
done

# Libraries computed from the programs, and what they need without linking it.
depends=$(dpkg-deb -f "$deb" Depends)
needed=(libc6 libcurl4 libqt6core6 libqt6sql6 libqt6sql6-sqlite)
[ "$gui" = 1 ] && needed+=(libqt6widgets6 libqt6webenginewidgets6 fonts-noto-cjk qt6-translations-l10n)
for package in "${needed[@]}"; do
  grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
echo "check-install: installed, ran, validated and packaged $version (${programs[*]})"
