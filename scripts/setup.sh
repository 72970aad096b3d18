#!/usr/bin/env bash
# Installs every Debian package Quorvin needs to build, test and run. Idempotent: a second run
# only checks. Works as root and through sudo.
set -euo pipefail

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# yt-dlp comes from bookworm-backports: Debian 12's own release rejects options the download
# command line depends on. The suite reuses the mirror of the existing sources file, so no
# host name is written here.
backports=/etc/apt/sources.list.d/quorvin-backports.sources
if [ -r /etc/os-release ] && grep -q 'VERSION_CODENAME=bookworm' /etc/os-release; then
  if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    uris=$(awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    if [ -z "$uris" ]; then
      uris=$(awk '$1=="deb" && $3 ~ /^bookworm$/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
    fi
    if [ -z "$uris" ]; then
      echo "setup: no Debian mirror found in the apt sources; cannot add bookworm-backports" >&2
      exit 1
    fi
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$uris" | $SUDO tee "$backports" >/dev/null
  fi
fi

packages=(
  build-essential cmake ninja-build pkg-config git curl python3 procps clang-format
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-tools-dev
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
  qml6-module-qtquick-window qml6-module-qtqml-workerscript qml6-module-qtquick-templates
  libqt6svg6 qt6-svg-dev qt6-webengine-dev qml6-module-qtwebengine qml6-module-qtqml
  qml6-module-qtqml-models
  qcoro-qt6-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg fonts-noto-cjk fonts-noto-color-emoji
  xvfb xauth dbus-x11
  libxcb1-dev
  openbox trayer xdotool x11-utils libglib2.0-bin dbus-daemon python3-dbus python3-gi
  haskell-status-notifier-item-utils
  wmctrl
  # the Debian package (dpkg-shlibdeps) and its checks
  dpkg-dev file lintian appstream desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
need_ytdlp=1
if command -v yt-dlp >/dev/null 2>&1; then
  v=$(yt-dlp --version 2>/dev/null || echo 0)
  [ "${v%%.*}" -ge 2024 ] 2>/dev/null && need_ytdlp=0
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_ytdlp -eq 1 ]; then
  $SUDO apt-get update -q
  if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
  if [ $need_ytdlp -eq 1 ]; then
    if grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
      $SUDO apt-get install -y -q -t bookworm-backports yt-dlp
    else
      $SUDO apt-get install -y -q yt-dlp
    fi
  fi
fi
echo "setup: all packages present (yt-dlp $(yt-dlp --version))"
