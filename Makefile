# The whole set-up on a fresh Debian 12 machine is `make run` or `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test bench format tidy clean

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

bench: build
	scripts/run-benchmarks

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: build
	@git ls-files 'app/*.cpp' 'shell/*.cpp' 'surface/*.cpp' 'platform/*.cpp' | xargs clang-tidy -p $(BUILD) --quiet

clean:
	rm -rf $(BUILD)
