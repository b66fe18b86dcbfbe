#!/usr/bin/env bash
# Tessera's two entry points:
#   ./dev.sh demo   build, then show a transfer from the simulated device (GUI with a display)
#   ./dev.sh test   build everything and run every test
#   ./dev.sh asan   the same under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan)
#   ./dev.sh fuzz   the clang build with the fuzz targets, each run for a minute (build-fuzz)
#   ./dev.sh package  the Debian package build-pkg/tessera_<version>_amd64.deb, made from
#                   the Release tree of `test` (build-test), only the installed programs built
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
jobs=$(nproc)
# ccache, where present, keeps rebuilds of unchanged files cheap; paths are taken relative
# to the checkout so that several checkouts share one cache.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD"
fi
case "${1:-}" in
  demo)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSERA_BENCH=OFF -DTESSERA_TESTS=OFF "${launcher[@]}" >/dev/null
    cmake --build build -j "$jobs"
    exec bash scripts/demo.sh "$PWD/build"
    ;;
  test)
    extra=()
    [ "${CI:-}" = "true" ] && extra+=(-DTESSERA_WERROR=ON)
    cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release "${extra[@]}" "${launcher[@]}" >/dev/null
    cmake --build build-test -j "$jobs"
    # Layer checks: includes point down, the programs link only their layers' libraries.
    bash scripts/check-layers.sh && bash scripts/check-links.sh build-test
    # Every C++ source as .clang-format has it (`scripts/check-format.sh --fix` mends it).
    sh scripts/check-format.sh
    # The install as a Linux system sees it: desktop entry, metainfo, MIME type, man pages,
    # completion, and the .deb from this same tree judged by lintian.
    bash scripts/check-package.sh build-test build-pkg
    cd build-test
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 300
    ;;
  asan)
    # Optimised a little and with line tables: fast enough for the whole suite, and every
    # report names its file and line. Leaks inside third-party libraries are suppressed by
    # tests/lsan.supp (the build folder's test environment sets that up).
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
          -DTESSERA_SANITIZE=ON -DTESSERA_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build build-asan -j "$jobs"
    cd build-asan
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 300
    ;;
  fuzz)
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTESSERA_FUZZ=ON \
          -DTESSERA_TESTS=OFF -DTESSERA_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build build-fuzz -j "$jobs"
    cd build-fuzz
    ctest -L fuzz --output-on-failure -j "$jobs"
    ;;
  package)
    cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
    cmake --build build-test -j "$jobs" --target tessera_installed
    rm -rf build-pkg
    (cd build-test && cpack -G DEB -B "$OLDPWD/build-pkg")
    rm -rf build-pkg/_CPack_Packages
    ls -l build-pkg/tessera_*.deb
    ;;
  *)
    echo "usage: ./dev.sh demo|test|asan|fuzz|package" >&2
    exit 1
    ;;
esac
