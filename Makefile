# Vidzoer toolkit: top-level commands.
#   make demo   install what is missing, build, make a sample animation and play it
#   make test   install what is missing, build (Release and sanitizers), run every test
#   make test-tsan  the sound output's thread stress tests under ThreadSanitizer
#   make bench  build and run the benchmarks (figures as ratios against a baseline)
#   make fuzz   build the libFuzzer targets with clang
#   make fuzz-run  run every fuzz target for 10 CPU-minutes (after make fuzz)
#   make install   install the Release build (PREFIX=/usr/local, DESTDIR= for staging)
#   make package   the Debian package (build/release/vidzoer_*.deb)
#   make test-package  build the package and check it (file list, dpkg -x, lintian)
# A plain `make` only builds (Release); it never installs system packages,
# which `make demo`, `make test` and `make fuzz` do (scripts/install-deps.sh).
# The project's own builds treat warnings as errors (VIDZOER_WERROR=ON); a
# plain cmake build does not.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
PREFIX ?= /usr/local
DESTDIR ?=
# The Release build is set up for the prefix /usr (Debian's library folder),
# which the package uses; `make install` installs it under PREFIX.
RELEASE_FLAGS := -DCMAKE_BUILD_TYPE=Release -DVIDZOER_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr

.PHONY: all deps build build-release build-asan demo test test-release test-asan test-tsan test-package install package bench fuzz fuzz-run format clean

all: build-release

deps:
	@scripts/install-deps.sh

build/release/CMakeCache.txt:
	cmake -S . -B build/release -G "$(GENERATOR)" $(RELEASE_FLAGS)

build/asan/CMakeCache.txt:
	cmake -S . -B build/asan -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIDZOER_SANITIZE=ON -DVIDZOER_WERROR=ON

# The demo: a sample animation (pictures and sound from vdzsample, coded by
# vdzenc) in build/demo-files/sample.vdz, made again when vdzsample or vdzenc
# changes, played with the summary. With no display the pictures go to SDL's
# dummy video driver; with no sound card the sound goes to SDL's dummy audio
# driver (the sound output falls back to it by itself), which keeps the pace.
DEMO_DIR := build/demo-files
DEMO_BUILD ?= build/release
DEMO_BIN = $(CURDIR)/$(DEMO_BUILD)/bin

demo: deps
	@[ -f $(DEMO_BUILD)/CMakeCache.txt ] || \
	  cmake -S . -B $(DEMO_BUILD) -G "$(GENERATOR)" $(RELEASE_FLAGS)
	cmake --build $(DEMO_BUILD) -j $(JOBS) --target vdzsample vdzenc vidzoplw vidzoscw
	@if [ ! -f $(DEMO_DIR)/sample.vdz ] || [ $(DEMO_BIN)/vdzsample -nt $(DEMO_DIR)/sample.vdz ] || \
	  [ $(DEMO_BIN)/vdzenc -nt $(DEMO_DIR)/sample.vdz ]; then \
	  set -e; rm -rf $(DEMO_DIR); mkdir -p $(DEMO_DIR); \
	  echo "demo: making $(DEMO_DIR)/sample.vdz"; \
	  $(DEMO_BIN)/vdzsample $(DEMO_DIR)/frames; \
	  $(DEMO_BIN)/vdzenc --frame-rate 50 --sound $(DEMO_DIR)/frames/sound.wav $(DEMO_DIR)/frames \
	    $(DEMO_DIR)/sample.vdz; \
	  rm -rf $(DEMO_DIR)/frames; \
	fi
	@cd $(DEMO_DIR) && \
	if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -z "$$SDL_VIDEODRIVER" ]; then \
	  echo "demo: no display, so the pictures go to SDL's dummy video driver"; \
	  export SDL_VIDEODRIVER=dummy; \
	fi; \
	echo "demo: $(DEMO_BUILD)/bin/vidzoplw /S sample.vdz"; \
	$(DEMO_BIN)/vidzoplw /S sample.vdz
	@echo "demo: a script application that plays it: $(DEMO_BUILD)/bin/vidzoscw examples/menu.ss"

# ThreadSanitizer: only the sound test program, and only its stress tests.
build/tsan/CMakeCache.txt:
	cmake -S . -B build/tsan -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIDZOER_TSAN=ON -DVIDZOER_BENCH=OFF \
	  -DVIDZOER_WERROR=ON

build-release: build/release/CMakeCache.txt
	cmake --build build/release -j $(JOBS)

build-asan: build/asan/CMakeCache.txt
	cmake --build build/asan -j $(JOBS)

build: build-release build-asan

test-release: build-release
	cd build/release && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

test-tsan: build/tsan/CMakeCache.txt
	cmake --build build/tsan --target sound_tests -j $(JOBS)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build/tsan/tests/sound_tests --gtest_filter='SoundStress.*'

# The Debian package of the Release build; checked by scripts/check-package.sh
# (its file list, an unpacked copy run from a throw-away root, lintian).
package: build-release
	cd build/release && cpack -G DEB

test-package: package
	scripts/check-package.sh build/release

install: build-release
	DESTDIR="$(DESTDIR)" cmake --install build/release --prefix "$(PREFIX)"

# The thread stress tests and the package first, so that the run ends with
# the ctest summaries.
test: deps test-tsan test-package test-release test-asan

bench: build-release
	bench/run.sh build/release

fuzz: deps
	scripts/install-deps.sh clang
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVIDZOER_SANITIZE=ON -DVIDZOER_LIBFUZZER=ON -DVIDZOER_BENCH=OFF -DVIDZOER_WERROR=ON
	cmake --build build/fuzz -j $(JOBS) --target fuzz_all
	@echo "fuzz targets are in build/fuzz/fuzz/ (run e.g. build/fuzz/fuzz/fuzz_qelfile fuzz/corpus/qelfile)"

fuzz-run:
	scripts/fuzz-run.sh -s 600 -b build/fuzz

format:
	find platform qelutil playback script tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
