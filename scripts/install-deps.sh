#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those
# that are missing. Runs apt-get update only when something must be installed.
set -euo pipefail

packages=(
  build-essential
  cmake
  ninja-build
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  espeak-ng
  libsdl2-dev
  xvfb libx11-dev
  # The image library's codecs (JPEG, GIF, TIFF, PNG).
  libjpeg62-turbo-dev libgif-dev libtiff-dev libpng-dev
  # Independent readers and writers the image, flic and AVI tests compare with.
  imagemagick ffmpeg
  # The compressor's benchmark compares its sizes with gifsicle's.
  gifsicle
  # The sound tests: sox reads the wave files the sound converter writes,
  # espeak-ng speaks the sentence the mixer's test puts into a track.
  sox espeak-ng
  # Manual pages (checked with groff, read with man by the tests) and the
  # Debian package (dpkg-shlibdeps and file for its dependencies, lintian
  # to check it).
  groff-base man-db dpkg-dev file lintian
  # The status window's tests: a terminal (tmux) for the progress line and
  # Ctrl-C, clicks injected into its window on Xvfb (xdotool).
  tmux xdotool
  # The front end: Qt 6 Widgets and Network (the report channel's socket),
  # Qt Test, and a font for its windows under Xvfb and offscreen.
  qt6-base-dev fonts-dejavu-core
  # The front end's data-rate graph: Qt Charts (whose CMake files need the
  # OpenGL module's), and poppler's pdftoppm for the test of its printout.
  qt6-charts-dev libqt6opengl6-dev poppler-utils
)
# Extra packages may be asked for on the command line (e.g. clang for fuzzing).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing+=("$p") ;;
  esac
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
    echo "install-deps: not root and no sudo; please install: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
