#!/bin/sh
# Installs what building and testing need on a Debian machine (run as root),
# skipping what is already there.
set -e
packages="cmake make g++ python3 curl mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb x11-utils
  imagemagick googletest default-jdk-headless clang libclang-rt-dev nlohmann-json3-dev locales openssl osslsigncode
  nginx-light"
missing=""
for package in $packages; do
  dpkg -s "$package" >/dev/null 2>&1 || missing="$missing $package"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq $missing >/dev/null
fi
