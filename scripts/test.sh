#!/usr/bin/env bash
# Sets up, builds and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# The fuzz targets, built with clang, replay the kept corpus: every input that
# once found a fault stays a regression test.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTRELVO_FUZZ=ON \
  -DTRELVO_GUI=OFF -DTRELVO_TESTS=OFF -DTRELVO_BENCH=OFF >/dev/null
fuzz_targets="DictionaryFileFuzz CharacterTablesFuzz ConfigurationFuzz UpdateLocationsFuzz
  UpdateConfigurationFuzz ImportTextFuzz SignatureFilesFuzz LanguageCodesFuzz PictureFileFuzz"
cmake --build build-fuzz -j "$jobs" --target $fuzz_targets
for target in $fuzz_targets; do
  ./build-fuzz/bin/$target -runs=0 fuzz/corpus/$target >/dev/null 2>&1 ||
    { echo "$target: a kept input fails"; ./build-fuzz/bin/$target -runs=0 fuzz/corpus/$target; exit 1; }
done
echo "fuzz corpora replayed without a fault"
