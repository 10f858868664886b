# The whole set-up on a fresh Debian 12 machine is `make run` or `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test asan-build asan-test win32-test windows windows-installer soak bench fuzz format tidy clean install deb

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: deps
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "Quilmar needs a desktop session: no X display was found (DISPLAY is not set)."; \
	  echo "Run 'make run' from a terminal inside your desktop, or 'make test' to build and test headlessly."; \
	  exit 1; \
	fi
	@$(MAKE) --no-print-directory build
	$(BUILD)/app/quilmar

test: build
	cd $(BUILD) && ctest --output-on-failure -j 2 --timeout 600
	@$(MAKE) --no-print-directory asan-test
	@$(MAKE) --no-print-directory win32-test

# A second build folder under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer,
# -O1 -g to keep its compilation short. `make asan-build ASAN_TARGETS=...` builds other targets
# in the same folder.
ASAN_BUILD ?= build-asan
ASAN_TARGETS ?= raster_tests picture_tests component_tests quilmar
ASAN_CMAKE_FLAGS = -DQUILMAR_SANITIZE=ON -DQUILMAR_TESTS=ON -DQUILMAR_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
# Any report ends the program with status 86 and fails its test; tests/lsan.supp names the
# libraries' own leaks that are not ours to fix.
SANITIZER_ENV = ASAN_OPTIONS=halt_on_error=1:exitcode=86:detect_leaks=1:detect_stack_use_after_return=1 \
  LSAN_OPTIONS=exitcode=86:suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=halt_on_error=1:exitcode=86:print_stacktrace=1
# The end-to-end tests (built in $(BUILD)) that run the sanitized program: they freeze the
# screen, draw with several tools, and quit it from its menu, so its leak check at exit runs.
ASAN_E2E ?= ^e2e\.(TDrawingTest\.|TAppTest\.ExitIsDisabled)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) $(ASAN_CMAKE_FLAGS)

asan-build: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target $(ASAN_TARGETS)

asan-test: build asan-build
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure --no-tests=error -j 2 --timeout 600 -L 'unit|component'
	cd $(BUILD) && $(SANITIZER_ENV) QUILMAR_APP=$(CURDIR)/$(ASAN_BUILD)/app/quilmar \
	  ctest --output-on-failure --no-tests=error --timeout 600 -R '$(ASAN_E2E)'

# The Windows desktop services (platform/win32) and their tests, cross-built with mingw-w64 in
# $(WIN32_BUILD) and run under Wine in a headless X session; a fresh Wine prefix is made there
# the first time.
# Then the end-to-end scenarios both programs share drive quilmar.exe under Wine (scripts/wine-e2e),
# with the e2e test program of $(BUILD).
WIN32_BUILD ?= build-win32
win32-test: build
	@date +%s > $(BUILD)/win32-test.start
	WIN32_BUILD=$(CURDIR)/$(WIN32_BUILD) JOBS=$(JOBS) scripts/win32-test
	scripts/wine-e2e $(BUILD)/tests/e2e/quilmar_e2e_tests $(WIN32_BUILD)/quilmar.exe
	@echo "win32-test: the Windows part (cross-build, tests under Wine, end-to-end run) took $$(( $$(date +%s) - $$(cat $(BUILD)/win32-test.start) )) s"

# The Windows program: $(WIN32_BUILD)/quilmar.exe, one statically linked windowed executable;
# prints its size and the DLLs it imports, and fails if any is not Windows' own.
windows: deps
	@[ -f $(WIN32_BUILD)/CMakeCache.txt ] || \
	  cmake -S tests/win32 -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake
	cmake --build $(WIN32_BUILD) -j $(JOBS) --target quilmar
	scripts/check-exe $(WIN32_BUILD)/quilmar.exe

# The installer for schools (Debian's nsis): $(WIN32_BUILD)/quilmar-setup.exe, per user, no
# administrator rights; `quilmar-setup.exe /S [/AUTOSTART]` installs silently.
windows-installer: windows
	makensis -V2 -DEXE=$(CURDIR)/$(WIN32_BUILD)/quilmar.exe -DOUTFILE=$(CURDIR)/$(WIN32_BUILD)/quilmar-setup.exe \
	  -DICON=$(CURDIR)/resources/desktop/quilmar.ico -DVERSION=1.0 app/windows/installer.nsi

# The long random soak of the real forms offscreen: SOAK_EVENTS events from SOAK_SEED (a failure
# prints the command that reproduces it). A short run of it is part of `make test`.
SOAK_SEED ?= $(shell date +%s)
SOAK_EVENTS ?= 1000000
soak: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target quilmar_soak
	QT_QPA_PLATFORM=offscreen $(BUILD)/tests/soak/quilmar_soak --seed $(SOAK_SEED) --events $(SOAK_EVENTS)

# The program, its desktop entry and icons under $(PREFIX) (DESTDIR is honoured for staging).
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX) --strip

# The Debian package, in $(BUILD)/quilmar_<version>_<arch>.deb.
deb: build
	cd $(BUILD) && cpack -G DEB

bench: build
	scripts/run-benchmarks

# The BMP decoder under libFuzzer with the address and undefined-behaviour sanitizers, built by
# clang in a folder of its own; not part of `make test`. Runs FUZZ_SECONDS from tiny valid seeds
# of each kind, keeps what it finds in $(FUZZ_BUILD)/corpus and crashes in $(FUZZ_BUILD)/crashes.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++-14
FUZZ_CXXFLAGS = -std=c++20 -g -O1 -fno-omit-frame-pointer -I.

$(FUZZ_BUILD)/bmp_fuzzer: fuzz/bmp_fuzzer.cpp platform/bmp.cpp platform/bmp.h
	@mkdir -p $(FUZZ_BUILD)
	$(FUZZ_CXX) $(FUZZ_CXXFLAGS) -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
	  fuzz/bmp_fuzzer.cpp platform/bmp.cpp -o $@

$(FUZZ_BUILD)/seeds: fuzz/make_seeds.cpp tests/unit/bmp_builder.h
	@mkdir -p $@
	$(FUZZ_CXX) $(FUZZ_CXXFLAGS) fuzz/make_seeds.cpp -o $(FUZZ_BUILD)/make_seeds
	$(FUZZ_BUILD)/make_seeds $@
	@touch $@

fuzz: deps $(FUZZ_BUILD)/bmp_fuzzer $(FUZZ_BUILD)/seeds
	@mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/crashes
	$(FUZZ_BUILD)/bmp_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -max_len=4096 -dict=fuzz/bmp.dict \
	  -artifact_prefix=$(FUZZ_BUILD)/crashes/ $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/seeds

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: build
	@git ls-files 'app/*.cpp' 'shell/*.cpp' 'surface/*.cpp' 'platform/*.cpp' | xargs clang-tidy -p $(BUILD) --quiet

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN32_BUILD)
