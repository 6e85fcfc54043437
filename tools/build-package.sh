#!/usr/bin/env bash
# Builds the Debian package of Vantrel: a Release build in build-package/
# without tests or benchmarks, packed by CPack. Prints the .deb's path.
#
# The package is reproducible: built from the same commit it comes out byte
# for byte the same, since every time stamp is the last commit's time
# (SOURCE_DATE_EPOCH), the binaries are stripped, build paths are mapped
# away and the archive's owners, modes and order are fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-dev for dpkg-shlibdeps, git for the commit time.
tools/install-deps.sh --build dpkg-dev file git

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || true)
    if [ -z "$SOURCE_DATE_EPOCH" ]; then
        echo "build-package: not a git checkout; set SOURCE_DATE_EPOCH" >&2
        exit 1
    fi
fi
export SOURCE_DATE_EPOCH
export TZ=UTC LC_ALL=C.UTF-8
umask 022

# Debian's hardening flags, as a Debian build of the package would use;
# -ffile-prefix-map keeps the checkout's path out of the binary.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) -ffile-prefix-map=$PWD=."
ldflags=$(dpkg-buildflags --get LDFLAGS)

build=build-package
# Time stamps are compiled in (the resources', for one); a build made at
# another commit time would keep stale ones, so it starts over.
if [ "$(cat "$build/source-date-epoch" 2>/dev/null)" != "$SOURCE_DATE_EPOCH" ]; then
    rm -rf "$build"
    mkdir -p "$build"
    echo "$SOURCE_DATE_EPOCH" >"$build/source-date-epoch"
fi
rm -rf "$build/_CPack_Packages" "$build"/vantrel_*.deb
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j2
(cd "$build" && cpack -G DEB >/dev/null)

deb=$(ls "$build"/vantrel_*.deb)
echo "$PWD/$deb"
