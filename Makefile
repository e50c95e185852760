# The two commands of the README, and the few around them. The configurations themselves
# live in CMakePresets.json (release here; asan, tsan and fuzz in the scripts).
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap configure build demo test check bench verify-math fuzz install package format format-check clean

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@mkdir -p $(BUILD)
	@cmake --preset release -B $(BUILD) $(CMAKE_FLAGS) > $(BUILD)/configure.log 2>&1 \
		|| { cat $(BUILD)/configure.log; exit 1; }

build: configure
	@cmake --build $(BUILD) --parallel $(JOBS)

demo: build
	@mkdir -p out
	@$(BUILD)/tools/halvora-render/halvora-render --demo --on key -p key=C -p scale=Major -p morvel=1 \
		--demo-input out/demo-in.wav --pitch-csv out/demo-pitch.csv --pitch-plot out/demo-pitch.png out/demo-out.wav
	@echo "demo: out/demo-in.wav is the demo vocal, out/demo-out.wav the same through Halvora;"
	@echo "      out/demo-pitch.png and out/demo-pitch.csv show what the correction did"

# The layout check and the sanitizer runs come first, so the run closes on the plain
# suite's summary.
test: format-check build
	@scripts/run-sanitized-tests
	@scripts/run-tests $(BUILD)

# The quick loop while working: the release build and its plain suite, without the
# sanitizer builds and the soak. `make test` stays the full gate.
check: build
	@scripts/run-tests $(BUILD) -LE soak

bench: bootstrap
	@mkdir -p $(BUILD)
	@cmake --preset release -B $(BUILD) -DHALVORA_BUILD_BENCHMARKS=ON $(CMAKE_FLAGS) > $(BUILD)/configure.log 2>&1 \
		|| { cat $(BUILD)/configure.log; exit 1; }
	@cmake --build $(BUILD) --parallel $(JOBS) --target halvora_bench
	@$(BUILD)/bench/halvora_bench

# Every float the tone stage's tanh and sin can be asked for, on every vector path,
# against the C library (a few minutes; the test suite samples the same ranges).
verify-math: configure
	@cmake --build $(BUILD) --parallel $(JOBS) --target halvora_verify_math
	@$(BUILD)/tests/halvora_verify_math

fuzz: bootstrap
	@scripts/run-fuzzers

install: build
	@cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

# build/halvora_<version>_<arch>.deb: install it with `sudo apt install ./build/halvora_*.deb`.
package: build
	@cmake --build $(BUILD) --target package

# Our C++ in the house style (.clang-format): `format` rewrites it in place, `format-check`
# lists the files that differ and fails if there are any.
format: bootstrap
	@scripts/format

format-check: bootstrap
	@scripts/format --check

clean:
	@rm -rf $(BUILD) out
