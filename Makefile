# Set-up, build and test entry points. `make test` is what CI runs.

BUILD       ?= build
BUILD_ASAN  ?= build-asan
BUILD_FUZZ  ?= build-fuzz
FUZZ_SECONDS  ?= 60
FUZZ_PARALLEL ?= 2
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup build build-asan build-fuzz test test-fast test-asan fuzz fuzz-smoke bench compare \
        peak-memory demo format clean

all: build

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

$(BUILD_ASAN)/build.ninja:
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTINTERY_SANITIZE=ON -DTINTERY_BENCH=OFF $(CMAKE_FLAGS)

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) -j $(JOBS)

# The libFuzzer programs (fuzz/), built with clang under the address and
# undefined-behaviour sanitizers.
$(BUILD_FUZZ)/build.ninja:
	cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DTINTERY_FUZZ=ON -DTINTERY_BENCH=OFF $(CMAKE_FLAGS)

build-fuzz: setup $(BUILD_FUZZ)/build.ninja
	cmake --build $(BUILD_FUZZ) --target fuzzers -j $(JOBS)

# The whole suite, in the normal build and again under the address and
# undefined-behaviour sanitizers, then a short run of every fuzz target.
test: test-fast test-asan
	$(MAKE) fuzz-smoke

test-fast: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Leaks are findings too; any sanitizer report fails the test that made it.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_string_checks=1 \
                UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
                LSAN_OPTIONS=report_objects=1

test-asan: build-asan
	cd $(BUILD_ASAN) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS seconds, seeded from tests/data; fails
# when one finds something (the input is kept under $(BUILD_FUZZ)/fuzz-artifacts).
fuzz: build-fuzz
	bash scripts/fuzz.sh --build $(BUILD_FUZZ) --seconds $(FUZZ_SECONDS) --parallel $(FUZZ_PARALLEL)

# The same for about 20 seconds per target, two at a time; part of `make test`.
fuzz-smoke: build-fuzz
	bash scripts/fuzz.sh --build $(BUILD_FUZZ) --seconds 20 --parallel 2 --seed 1

bench: build
	$(BUILD)/bin/hsv_bench

# Times tintery-cli, the decode-once-encode-N floor and general image tools on
# the same pictures, side by side; COMPARE_ARGS=--quick for a short check.
COMPARE_ARGS ?=

compare: build
	bash bench/compare --build $(BUILD) $(COMPARE_ARGS)

# Peak heap of decoding each test picture and some large generated ones,
# against 16 MiB plus 12 bytes per decoded pixel.
peak-memory: build
	bash bench/peak-memory.sh $(BUILD)/bin/decode_peak

# Converts the sample picture with tintery-cli, once per channel. The picture
# is copied into $(DEMO_DIR) first, which is emptied before every run, so that
# examples/ stays clean and repeated runs do not pile up folders.
DEMO_DIR = $(BUILD)/demo

demo: build
	@rm -rf $(DEMO_DIR)
	@mkdir -p $(DEMO_DIR)
	@cp examples/colour-chart.bmp examples/colour-wheel.png examples/colour-wheel.jpg $(DEMO_DIR)/
	$(BUILD)/bin/tintery-cli --convert-to hue $(DEMO_DIR)/colour-chart.bmp
	$(BUILD)/bin/tintery-cli --convert-to saturation $(DEMO_DIR)/colour-chart.bmp
	$(BUILD)/bin/tintery-cli --convert-to brightness $(DEMO_DIR)/colour-chart.bmp
	$(BUILD)/bin/tintery-cli --convert-to hue $(DEMO_DIR)/colour-wheel.png $(DEMO_DIR)/colour-wheel.jpg
	@echo
	@echo "The variants of examples/colour-chart.bmp and examples/colour-wheel.png/.jpg are in $(abspath $(DEMO_DIR))/"

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
