# Entry points of the suite. The release build lives in build/, the sanitizer build used by
# `make check` in build-check/, so the two never fight over one cache.
#
# What each needs: `make`, `make demo` and `make install` a C++20 compiler, CMake and make only:
# build/ is first configured without the tests and only what is installed is built. `make check` and
# `make bench` also need GoogleTest (libgtest-dev): the tests, and the benchmarks' data
# generators, which write their files with the test kit.
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all build check demo bench install package clean fuzz fuzz-run

all: build

build:
	@test -f build/CMakeCache.txt || cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	    -DDBC_BUILD_TESTS=OFF
	cmake --build build -j $(JOBS) --target shipped

check:
	@test -f build-check/CMakeCache.txt || cmake -S . -B build-check $(GENERATOR) \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDBC_SANITIZE=ON
	cmake --build build-check -j $(JOBS)
	cd build-check && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	    ctest --output-on-failure -j $(JOBS) --timeout 600

demo: build
	sh examples/demo.sh build/bin

bench:
	cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DDBC_BUILD_TESTS=ON
	cmake --build build -j $(JOBS)
	sh bench/run.sh build/bin

# The fuzz targets, built with clang and libFuzzer under both sanitizers into build-fuzz/bin/.
# fuzz-run runs each for FUZZ_SECONDS on a scratch copy of its seed corpus.
FUZZ_SECONDS ?= 60
fuzz:
	@test -f build-fuzz/CMakeCache.txt || CC=clang CXX=clang++ cmake -S . -B build-fuzz $(GENERATOR) \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDBC_SANITIZE=ON -DDBC_FUZZ=ON -DDBC_BUILD_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS) --target fuzzers

fuzz-run: fuzz
	sh fuzz/run.sh build-fuzz/bin $(FUZZ_SECONDS)

# DESTDIR stages the installation under another root, as packagers do: the files land in
# $(DESTDIR)$(PREFIX) and name $(PREFIX) wherever they name a path.
DESTDIR ?=
install: build
	DESTDIR="$(DESTDIR)" cmake --install build --prefix $(PREFIX)

# The Debian packages, in $(PACKAGE_BUILD)/: a plain release build (no sanitizers, no tests, so no
# GoogleTest) of only what they ship, compiled with the hardening Debian builds its own packages
# with. CPack's DEB generator writes one package for the suite and one for DBCSORT. The set-up is
# applied on every run, so that a changed flag reaches an existing build folder.
PACKAGE_BUILD ?= build-package
PACKAGE_CXXFLAGS := -D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection -fcf-protection
PACKAGE_LDFLAGS := -Wl,-z,relro -Wl,-z,now
package:
	cmake -S . -B $(PACKAGE_BUILD) $(GENERATOR) \
	    -DCMAKE_BUILD_TYPE=Release -DDBC_SANITIZE=OFF -DDBC_BUILD_TESTS=OFF \
	    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
	    "-DCMAKE_CXX_FLAGS=$(PACKAGE_CXXFLAGS)" "-DCMAKE_EXE_LINKER_FLAGS=$(PACKAGE_LDFLAGS)"
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target shipped
	rm -f $(PACKAGE_BUILD)/*.deb
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls -l $(PACKAGE_BUILD)/*.deb

clean:
	rm -rf build build-check build-fuzz build-package
