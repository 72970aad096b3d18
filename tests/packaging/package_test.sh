#!/usr/bin/env bash
# The Debian package as a person gets it: built by scripts/package.sh from the build folder, it
# holds every file an installed Quorvin needs, lintian finds nothing it does not accept, and (as
# root on CI, or with QUORVIN_PACKAGE_INSTALL=1) apt installs it, its programs run, and it
# removes cleanly.
#   package_test.sh BUILD_FOLDER VERSION
set -euo pipefail
build=$1
version=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
id=$(sed -n 's/.*QStringLiteral("\([^"]*\)"); *\/\/ desktop id$/\1/p' "$root/src/support/names.h")
[ -n "$id" ] || { echo "FAIL: no desktop id in src/support/names.h" >&2; exit 1; }
work=$(mktemp -d)
installed=0
cleanup() {
  if [ $installed -eq 1 ]; then apt-get remove -y -q quorvin >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

deb=$(bash "$root/scripts/package.sh" --no-build "$build")
echo "package: $deb"
[[ $(basename "$deb") == quorvin_${version}_*.deb ]] || fail "file name $(basename "$deb") lacks version $version"

# Every file an installed Quorvin needs.
expected=(
  usr/share/doc/quorvin/copyright
  usr/share/doc/quorvin/changelog.gz
  usr/share/applications/$id.desktop
  usr/share/metainfo/$id.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/$id.svg
)
for program in quorvin quorvin-login quorvin-cli; do
  expected+=(usr/bin/$program usr/share/man/man1/$program.1.gz)
done
icon_sizes=(16 22 24 32 48 64 128 256 512)
for size in "${icon_sizes[@]}"; do expected+=(usr/share/icons/hicolor/${size}x${size}/apps/$id.png); done
expected+=(usr/share/icons/hicolor/symbolic/apps/$id-symbolic.svg)
dpkg-deb -c "$deb" >"$work/contents"
for file in "${expected[@]}"; do
  grep -qE "^-[rwx-]{9} root/root +[0-9]+ [0-9-]+ [0-9:]+ \./$file\$" "$work/contents" ||
    fail "the package lacks ./$file (or it is not a root-owned file)"
done
for program in quorvin quorvin-login quorvin-cli; do
  grep -q "^-rwxr-xr-x root/root .* \./usr/bin/$program\$" "$work/contents" ||
    fail "/usr/bin/$program is not executable"
done

# Control fields: what shlibdeps found plus what it cannot see.
depends=$(dpkg-deb -f "$deb" Depends)
needs=(libqt6core6 qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
  libqt6svg6 yt-dlp ffmpeg fonts-noto-cjk libqt6gui6 libqt6widgets6 libqt6quick6 libqt6dbus6
  libqt6webenginewidgets6)
# Every QML module the panel imports, and every module those import in turn (the non-optional
# imports of their qmldir files), must come from a package in Depends. (Modules that a module's
# own QML files import, such as QtQuick.Templates for the controls, are listed by hand.)
qml_root=$(qtpaths6 --query QT_INSTALL_QML)
# The panel's own module, Quorvin.Panel, is compiled into the program.
modules=$(find "$root/src/gui/qml" -name "*.qml" -exec cat {} + | sed -n 's/^import \([A-Z][A-Za-z0-9.]*\).*/\1/p' |
  grep -v '^Quorvin\.' | sort -u)
seen=" "
while [ -n "$modules" ]; do
  next=""
  for module in $modules; do
    [[ $seen == *" $module "* ]] && continue
    seen+="$module "
    qmldir="$qml_root/${module//.//}/qmldir"
    if [ ! -f "$qmldir" ]; then
      fail "the QML module $module is not installed on this machine (add its package to setup.sh)"
      continue
    fi
    needs+=("$(dpkg -S "$qmldir" | cut -d: -f1)")
    next+=" $(sed -n 's/^\(default \)\{0,1\}import \([A-Za-z0-9.]*\).*/\2/p' "$qmldir")"
  done
  modules=$next
done
for needed in $(printf '%s\n' "${needs[@]}" | sort -u); do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
[ "$(dpkg-deb -f "$deb" Section)" = "video" ] || fail "Section is not video"
# Fields are read whole before they are searched: with pipefail, a grep -q that stops at its match
# can fail the pipeline by leaving the writer a broken pipe.
grep -qw fonts-noto-color-emoji <<<"$(dpkg-deb -f "$deb" Recommends)" ||
  fail "Recommends lacks the colour emoji font titles need"
grep -q '视频就保存到桌面' <<<"$(dpkg-deb -f "$deb" Description)" ||
  fail "the description has no Chinese part"

# The shipped metadata as the desktop reads it.
dpkg-deb -x "$deb" "$work/root"
# Hints are advice (the four categories the menu files it under count as "more than one main
# category"); warnings and errors are faults.
desktop-file-validate "$work/root/usr/share/applications/$id.desktop" >"$work/dfv" 2>&1 || true
if grep -v ': hint: ' "$work/dfv"; then fail "desktop-file-validate complains about the desktop entry"; fi
# validate-tree also checks that the metainfo's launchable matches the shipped desktop entry.
appstreamcli validate-tree --no-net "$work/root" >"$work/appstream" 2>&1 ||
  { cat "$work/appstream"; fail "appstreamcli rejects the metainfo"; }
grep -q '^StartupWMClass=Quorvin$' "$work/root/usr/share/applications/$id.desktop" ||
  fail "the desktop entry does not name the window class Quorvin"
for size in "${icon_sizes[@]}"; do
  file "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" |
    grep -q "PNG image data, $size x $size, 8-bit/color RGBA" || fail "the ${size}px icon is not a $size x $size RGBA PNG"
done
python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1]).getElementsByTagName("svg")[0]' \
  "$work/root/usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "the scalable icon is not SVG"

# lintian: every tag it reports is either fixed or accepted, with a reason, in
# packaging/lintian-overrides; so any new warning or error fails here.
if lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1; then
  echo "lintian: clean (accepted tags are overridden in packaging/lintian-overrides)"
else
  cat "$work/lintian"
  fail "lintian reports errors or warnings"
fi

# Installing for real changes the machine: only as root, on CI or when asked, and never over a
# Quorvin that is already installed.
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP install step: not root (apt-get install needs root)"
elif [ "${CI:-}" != "true" ] && [ "${QUORVIN_PACKAGE_INSTALL:-}" != "1" ]; then
  echo "SKIP install step: runs on CI, or here with QUORVIN_PACKAGE_INSTALL=1"
elif grep -q 'install ok installed' <<<"$(dpkg-query -W -f='${Status}' quorvin 2>/dev/null)"; then
  echo "SKIP install step: a quorvin package is already installed on this machine; left alone"
else
  installed=1
  apt-get install -y -q -o DPkg::Lock::Timeout=120 "$deb" >"$work/apt" 2>&1 ||
    { cat "$work/apt"; fail "apt-get install $deb failed"; }
  detected=$(printf '复制打开抖音 https://v.douyin.com/MuEswcb/ 看看\n' | env -i HOME="$work" /usr/bin/quorvin-cli detect)
  [ "$detected" = "$(printf 'https://v.douyin.com/MuEswcb/\tdouyin')" ] ||
    fail "installed quorvin-cli detect printed: $detected"
  shown=$(env -i HOME="$work" QT_QPA_PLATFORM=offscreen timeout 20 /usr/bin/quorvin --version 2>&1) ||
    fail "installed quorvin --version failed: $shown"
  [[ $shown == *"$version"* ]] || fail "installed quorvin --version printed: $shown"
  apt-get remove -y -q -o DPkg::Lock::Timeout=120 quorvin >"$work/apt" 2>&1 ||
    { cat "$work/apt"; fail "apt-get remove quorvin failed"; }
  installed=0
  [ ! -e /usr/bin/quorvin-cli ] || fail "/usr/bin/quorvin-cli is still there after removal"
  echo "install step: installed, ran, removed"
fi

if [ $failures -gt 0 ]; then
  echo "package test: $failures failure(s)" >&2
  exit 1
fi
echo "package test: passed"
