# The two commands: `make run` and `make test`. Everything they need is installed by `make deps`.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
RELEASE := build/release
ASAN := build/asan
FUZZ := build/fuzz
FUZZ_SECONDS ?= 10
SHOTS := $(CURDIR)/build/shots
WINDOWS := build/windows
ARM64 := build/arm64
WEB := build/web
WEB_BUILD := build/web-build
WEB_PORT ?= 8000

.PHONY: all deps deps-windows windows package-windows test-windows deps-arm64 arm64 package-arm64 test-arm64 deps-web web package-web test-web serve-web build build-run build-asan build-tsan build-fuzz run demo compare compare-layer test test-release test-asan test-tsan test-fuzz fuzz shots package clean format

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

# Only what `make run` starts: the program and its data, not the tests, tools or benchmarks.
build-run: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target velmora data

build-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

# ThreadSanitizer over the tests that run the device's threads (a binary of their own).
build-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS)

# The libFuzzer targets need clang; they build in their own tree.
build-fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

# Starts the real window where a display is reachable, otherwise the headless demo.
run: build-run
	@if [[ -n "$$DISPLAY" || -n "$$WAYLAND_DISPLAY" ]]; then \
		$(RELEASE)/velmora; \
	else \
		$(MAKE) --no-print-directory demo; \
	fi

demo: build-run
	@mkdir -p $(SHOTS)
	@echo "No display found: running the headless demo."
	@$(RELEASE)/velmora --headless --frames 400 --seed 1 --stats \
		--shot 100:$(SHOTS)/frame-100.png --shot 250:$(SHOTS)/frame-250.png \
		--shot 400:$(SHOTS)/frame-400.png
	@echo "Pictures written to $(SHOTS)/"

# The pictures for people: start view, burning palm, under water, wireframe, 320x240; the
# start view also refreshes the README's picture in docs/.
shots: build-run
	@scripts/shots.sh $(RELEASE)/velmora $(SHOTS)
	@convert $(SHOTS)/start.png -resize 480x360 -dither None -colors 256 PNG8:docs/start.png
	@echo "  docs/start.png (the README's picture)"

# A Debian package of the program, its data, desktop entry, icon, manual page, copyright file
# and changelog, laid out as Debian's games are.
package: build-run
	@cd $(RELEASE) && cpack -B $(CURDIR)/build/package >/dev/null
	@ls $(CURDIR)/build/package/velmora_*.deb

# The software device against the same frames through OpenGL (llvmpipe without a GPU):
# records a flight, then prints the compare line. PASSES, THREADS and RES (hi|lo) may be given.
compare: build
	@scripts/compare-renderers.sh $(RELEASE) $(or $(PASSES),2000) $(or $(THREADS),$(JOBS)) $(or $(RES),hi)

# The full-screen layer (textured, fogged, additive, 640x480 565) on the software device and on
# llvmpipe, 1 and 2 threads each, in one run: prints the layer line (medians of REPS repetitions).
compare-layer: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target velmora_bench
	@$(RELEASE)/velmora_bench --benchmark_filter='^Layer' --benchmark_repetitions=$(or $(REPS),5) \
		--benchmark_report_aggregates_only=true

test: test-release test-asan test-tsan test-fuzz

test-release: build
	@ctest --preset release

test-asan: build-asan
	@ctest --preset asan

test-tsan: build-tsan
	@ctest --preset tsan

# Each fuzzer runs FUZZ_SECONDS from the kept corpus and fresh seeds; any finding fails it.
test-fuzz: build-fuzz
	@scripts/run-fuzzers.sh $(FUZZ) $(FUZZ_SECONDS)

# A longer campaign: make fuzz FUZZ_SECONDS=1800 runs every target that long (FUZZ_TARGETS
# chooses some), then minimises what it found into fuzz/corpus for the next run.
fuzz: build-fuzz
	@scripts/run-fuzzers.sh $(FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)
	@scripts/keep-fuzz-corpus.sh $(FUZZ) $(FUZZ_TARGETS)

# Windows x64 from this machine: mingw-w64 and Wine from apt, SDL2 and GoogleTest for Windows
# built once into ~/.cache/velmora/win64 (kept across `make clean` and clones).
deps-windows:
	@scripts/install-windows-deps.sh

# velmora.exe, kqx.exe, assetgen.exe and the tests, cross-built in build/windows.
windows: deps-windows
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows -j $(JOBS)

# velmora-X.Y.Z-win64.zip: unzip, double-click velmora.exe.
package-windows: windows
	@cd $(WINDOWS) && cpack -B $(CURDIR)/build/package >/dev/null
	@ls $(CURDIR)/build/package/velmora-*-win64.zip

# velmora.exe's disassembly checked for aligned wide-vector moves on the stack, the Windows suite
# under Wine (its path tests again under a Russian locale), the headless flight compared with the
# Linux build's byte for byte, and the window under Wine on a private X server.
test-windows: windows build-run
	@scripts/test-windows.sh $(RELEASE) $(WINDOWS)

# Linux arm64 from this machine: Debian's aarch64 cross compiler, the arm64 multiarch -dev
# packages and qemu's user-mode emulator, all from apt.
deps-arm64:
	@scripts/install-arm64-deps.sh

# velmora, kqx, assetgen, Data.kqx and the emulated tests, cross-built in build/arm64.
arm64: deps-arm64
	@cmake --preset arm64 >/dev/null
	@cmake --build --preset arm64 -j $(JOBS)

# velmora_X.Y.Z_arm64.deb, laid out as the amd64 package.
package-arm64: arm64
	@cd $(ARM64) && cpack -B $(CURDIR)/build/package >/dev/null
	@ls $(CURDIR)/build/package/velmora_*_arm64.deb

# The arm64 tests under qemu and the headless flight compared byte for byte with this
# machine's build.
test-arm64: arm64 build-run
	@scripts/test-arm64.sh $(RELEASE) $(ARM64)

# The browser: Debian's emscripten, GoogleTest's sources, Chromium and ChromeDriver, from apt.
deps-web:
	@scripts/install-web-deps.sh

# build/web/: the page, velmora.js and velmora.wasm, Data.kqx (the native build's), to serve as
# static files; build/web/node/velmora.js, the same program under Node (--headless ...).
web: deps-web build-run
	@cmake --preset web >/dev/null
	@cmake --build --preset web -j $(JOBS)
	@echo "The page: $(WEB)/index.html (make serve-web serves it); under Node: node $(WEB)/node/velmora.js --headless"

# velmora-X.Y.Z-web.zip: the page's files, to unpack on any static web host.
package-web: web
	@cmake --build --preset web --target package_web
	@ls $(CURDIR)/build/package/velmora-*-web.zip

# The browser build's tests under Node (span kernels against this machine's, key names), the
# headless flight under Node against the native one byte for byte, and the page in headless
# Chromium on 127.0.0.1.
test-web: web build
	@scripts/test-web.sh $(RELEASE) $(WEB_BUILD) $(WEB)

# The page on http://127.0.0.1:$(WEB_PORT)/ for a person to open, with the headers that let it
# use threads; Ctrl+C stops it.
serve-web: web
	@scripts/serve-web.py $(WEB) --port $(WEB_PORT)

format:
	@git ls-files '*.cpp' '*.h' '*.inc' | xargs clang-format -i

clean:
	rm -rf build
