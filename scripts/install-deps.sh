#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Mirelune needs.
# Idempotent and cheap when everything is present: one dpkg-query, no apt call.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-format ccache
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-svg-dev qt6-multimedia-dev libqt6sql6-sqlite libqt6svg6 qt6-qpa-plugins
  qtkeychain-qt6-dev libgl-dev
  # PDF and conversion tools
  qpdf libqpdf-dev poppler-utils img2pdf
  # the service's PDF layout engine: MuPDF's drawing trace (run as a program, never linked), and
  # fonts with the metrics of the common PDF fonts, so that converted text wraps as it did
  # (Computer Modern Unicode for TeX's Cyrillic and Greek, which Latin Modern lacks)
  mupdf-tools fontconfig fonts-liberation2 fonts-crosextra-carlito fonts-crosextra-caladea fonts-lmodern fonts-urw-base35
  fonts-cmu
  libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui libreoffice-draw-nogui
  # hyphenation patterns, so that documents hyphenated as their sources were break their lines alike
  hyphen-en-us
  # the bidi algorithm that puts right-to-left text drawn in a PDF back in typed order
  libicu-dev
  # the HTTP client's uploads and downloads
  libcurl4-openssl-dev curl
  # service
  libssl-dev openssl sqlite3 python3-uno libzip-dev libxlsxwriter-dev
  # the service on PostgreSQL: Qt's driver, and the server the multi-node tests start
  libqt6sql6-psql postgresql
  # tests: a real X server, D-Bus, fonts with CJK coverage, screenshots
  xvfb xauth dbus dbus-x11 fonts-noto-cjk fonts-dejavu-core imagemagick
  # desktop integration: icons rendered at build time, the menu entry checked by a test
  librsvg2-bin desktop-file-utils
)

# One dpkg-query for all names; a package it does not know prints nothing, so
# anything not reported as installed is missing.
declare -A installed=()
while read -r name status; do
  if [[ "$status" == "installed" ]]; then installed["${name%%:*}"]=1; fi
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${PACKAGES[@]}" 2>/dev/null || true)
missing=()
for p in "${PACKAGES[@]}"; do
  [[ -n "${installed[$p]:-}" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi
echo "install-deps: installing ${missing[*]}" >&2

SUDO=()
if [[ $(id -u) -ne 0 ]]; then SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
