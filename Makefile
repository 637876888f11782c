# make deps   install the Debian packages the project needs (idempotent)
# make build  configure and build into build/ (programs in build/bin/)
# make test   deps + build + the whole test suite in private namespaces
# make demo   the whole install flow against local stand-in servers (throw-away home)
# make bench  the benchmarks (see bench/)

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CTEST_ARGS ?=

.PHONY: all deps build test demo bench clean

all: build

deps:
	@deps/install.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	tests/scripts/isolated.sh ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo: build
	tools/demo/run.sh $(BUILD_DIR)

bench: build
	@if [ -x bench/run.sh ]; then bench/run.sh $(BUILD_DIR); else echo "no benchmarks yet" >&2; exit 1; fi

clean:
	rm -rf $(BUILD_DIR)
