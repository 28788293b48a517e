# Two commands do everything on a fresh Debian 12 machine:
#   make run   - install missing packages, build, start Tavolin from its program folder
#   make test  - the same set-up, then every test through ctest
# Other targets: build, demo, bench, test-asan, format, format-check, install, clean.
# The builds are the presets of CMakePresets.json: `release` in build/ (build, run, test)
# and `asan-ubsan` in build-asan/ (test-asan); `debug` (build-debug/) is for
# `cmake --preset debug` by hand.

PRESET      ?= release
BUILD       ?= build
ASAN_BUILD  ?= build-asan
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-asan demo bench format format-check install clean

all: build

deps:
	@./scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake --preset $(PRESET) -B $(BUILD) $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/dist && ./tavolin

test: build
	ctest --preset $(PRESET) --test-dir $(BUILD) -j $(JOBS)

# AddressSanitizer + UndefinedBehaviorSanitizer over every test but the slow
# round trips through LibreOffice/Gnumeric (those read our files, not our memory).
# LeakSanitizer is on (the preset's ASAN_OPTIONS=detect_leaks=1): a leak fails the
# test that leaked. tests/lsan.supp (the preset's LSAN_OPTIONS) names the few system
# libraries that keep memory until exit on purpose. LeakSanitizer stops the process's
# threads with ptrace; where that is forbidden it reports a fatal error, which fails
# the run rather than passing it unchecked.
test-asan: deps
	cmake --preset asan-ubsan -B $(ASAN_BUILD) $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --preset asan-ubsan --test-dir $(ASAN_BUILD) -j $(JOBS)

demo: build
	./scripts/demo $(BUILD)/dist

bench: build
	@echo "Benchmarks are in $(BUILD)/dist/bench_*; see bench/README.md for the commands."

FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')

format:
	clang-format -i $(FORMAT_FILES)

format-check:
	@clang-format --dry-run --Werror $(FORMAT_FILES) && echo "format-check: every file is clang-format clean"

install: build
	./scripts/install-program $(BUILD)/dist

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-debug
