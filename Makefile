# KV_SETUP: configure, build, test and stage both builds.
#   make run     the sample package on the default simulated machine
#   make demo    the wizard's paths on a scratch machine, answered by UI scripts
#   make test    every test: native, then the Win32 conformance tests under Wine,
#                then the same UI scripts on both builds (when Xvfb can be started)
#   make pages   pictures of every page under Wine, in three languages (docs/pages.md)
#   make dist    the release zips of the Windows build (build/mingw/dist)
# CI and developers build with warnings as errors (KV_WERROR); a plain cmake
# build leaves it off.
SHELL := /bin/bash
NATIVE := build/native
MINGW := build/mingw
PACKAGE := build/package
JOBS ?= $(shell nproc)

.PHONY: all deps deps-native native mingw programs stage run demo dist test test-native test-wine test-wine-e2e test-dist pages fuzz fuzz-run fuzz-smoke bench clean

all: native mingw stage

deps:
	@scripts/deps.sh

# What the native build, `make run` and `make demo` need: no Wine, MinGW or clang.
deps-native:
	@scripts/deps.sh native

$(NATIVE)/build.ninja: | deps-native
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_WERROR=ON

$(MINGW)/build.ninja: | deps
	cmake -S . -B $(MINGW) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKV_WERROR=ON \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_CROSSCOMPILING_EMULATOR=$(CURDIR)/scripts/wine-run.sh

native: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS)

mingw: $(MINGW)/build.ninja
	cmake --build $(MINGW) -j $(JOBS)

# The programs a user runs (build/native/bin/) and what stages beside them,
# without the test suites and benchmarks.
programs: $(NATIVE)/build.ninja
	cmake --build $(NATIVE) -j $(JOBS) --target programs

# The package as a maker ships it: the sample package with the programs beside it.
stage: programs
	@scripts/stage.sh $(NATIVE) $(PACKAGE)

run: stage
	cd $(PACKAGE) && ./kv_setup

# The add, update, delete and batch paths on a scratch machine, answered by
# UI scripts: the pages shown, the printers before and after, the status word.
demo: stage
	@scripts/demo.sh $(NATIVE) $(PACKAGE)

# KV_TEST_TZ runs the native tests in that time zone (CI: Asia/Tokyo), so
# that times compared in two bases fail somewhere other than UTC too.
test-native: native
	$(if $(KV_TEST_TZ),TZ=$(KV_TEST_TZ) )ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

# Windows need a display under Wine: the tests run in Xvfb when it is there.
test-wine: mingw
	@prefix=$$(mktemp -d /tmp/kvwine.XXXXXX); \
	scripts/wine-prefix.sh create $$prefix || exit 1; \
	if command -v xvfb-run >/dev/null; then \
	  KV_WINEPREFIX=$$prefix $(XVFB) ctest --test-dir $(MINGW) --output-on-failure; rc=$$?; \
	else \
	  KV_WINEPREFIX=$$prefix ctest --test-dir $(MINGW) --output-on-failure; rc=$$?; \
	fi; \
	scripts/wine-prefix.sh destroy $$prefix; exit $$rc

# The Windows program driven page by page under Wine by kvdrive, against the
# native program with the same UI scripts (tests/wine_e2e).
XVFB := xvfb-run -a -s "-screen 0 1024x768x24"
test-wine-e2e: native mingw
	@if ! command -v xvfb-run >/dev/null; then echo "test-wine-e2e: no xvfb-run, skipped"; exit 0; fi; \
	$(XVFB) tests/wine_e2e/run.sh $(NATIVE) $(MINGW)

# The pictures are kept in docs/pages/ and listed in docs/pages.md; the
# script stops with a message when a tool or font it needs is missing.
pages: native mingw
	@tests/wine_e2e/pages.sh $(NATIVE) $(MINGW)

# The release a maker ships: KV_SETUP-<version>-win64.zip, and the sample
# package's drivers and stand-ins in a second zip.
dist: mingw
	cd $(MINGW) && rm -rf dist && cpack --config CPackConfig.cmake >/dev/null
	@ls $(MINGW)/dist/*.zip

# The release unzipped beside the sample drivers under Wine: a batch add.
test-dist: dist
	@if command -v xvfb-run >/dev/null; then $(XVFB) scripts/dist-test.sh $(MINGW)/dist; \
	else scripts/dist-test.sh $(MINGW)/dist; fi

test: test-native test-wine test-wine-e2e test-dist

# The libFuzzer harnesses only (clang, sanitizers, LeakSanitizer on).
FUZZ := build/fuzz
SECONDS ?= 60
fuzz:
	cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKV_FUZZ=ON -DKV_BENCH=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g"
	cmake --build $(FUZZ) -j $(JOBS) --target kv_fuzzers

# Every harness for SECONDS seconds, two at a time; a table of executions and findings.
fuzz-run: fuzz
	@scripts/fuzz-run.sh $(FUZZ) $(SECONDS) 2

# The check CI runs: every harness builds and runs a few seconds from its seeds.
fuzz-smoke: fuzz
	@scripts/fuzz-run.sh $(FUZZ) 5 2

bench: native stage
	@for b in $(NATIVE)/bench/*_bench; do [ -x $$b ] && $$b; done; true

clean:
	rm -rf build
