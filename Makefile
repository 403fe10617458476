# The two commands: `make run` and `make test`. Everything they need is installed by `make deps`.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
RELEASE := build/release
ASAN := build/asan
FUZZ := build/fuzz
FUZZ_SECONDS ?= 10
SHOTS := $(CURDIR)/build/shots

.PHONY: compare all deps build build-asan build-fuzz run demo test test-release test-asan test-fuzz shots clean format

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

build-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

# The libFuzzer targets need clang; they build in their own tree.
build-fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

# Starts the real window where a display is reachable, otherwise the headless demo.
run: build
	@if [[ -n "$$DISPLAY" || -n "$$WAYLAND_DISPLAY" ]]; then \
		$(RELEASE)/velmora; \
	else \
		$(MAKE) --no-print-directory demo; \
	fi

demo: build
	@mkdir -p $(SHOTS)
	@echo "No display found: running the headless demo."
	@$(RELEASE)/velmora --headless --frames 400 --seed 1 --stats \
		--shot 100:$(SHOTS)/frame-100.png --shot 250:$(SHOTS)/frame-250.png \
		--shot 400:$(SHOTS)/frame-400.png
	@echo "Pictures written to $(SHOTS)/"

# The pictures for people: start view, burning palm, under water, wireframe, 320x240.
shots: build
	@scripts/shots.sh $(RELEASE)/velmora $(SHOTS)

# The software device against the same frames through OpenGL (llvmpipe without a GPU):
# records a flight, then prints the compare line. PASSES and THREADS may be given.
compare: build
	@scripts/compare-renderers.sh $(RELEASE) $(or $(PASSES),2000) $(or $(THREADS),1)

test: test-release test-asan test-fuzz

test-release: build
	@ctest --preset release

test-asan: build-asan
	@ctest --preset asan

# Each fuzzer runs FUZZ_SECONDS from the seed corpus; any finding fails the target.
test-fuzz: build-fuzz
	@scripts/run-fuzzers.sh $(FUZZ) $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
