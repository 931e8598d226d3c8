# Quick start: `make run` and `make test`; both install what is missing first.
JOBS ?= $(shell nproc)
BUILD_DIR ?= build
TEST_DIR ?= build-test
BENCH_DIR ?= build-bench
XVFB = xvfb-run -a -s "-screen 0 1600x1200x24"

.PHONY: all deps build run test test-build bench clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DVOCALITH_TESTS=OFF
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Opens the bundled demo recording unless RUN_ARGS names another file.
RUN_ARGS ?= $(BUILD_DIR)/demo/demo.wav
run: build
	$(BUILD_DIR)/vocalith $(RUN_ARGS)

test-build: deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DVOCALITH_SANITIZE=address,undefined
	cmake --build $(TEST_DIR) -j $(JOBS)

# One virtual display for the whole run; engine tests do not need it, GUI tests do.
test: test-build
	cd $(TEST_DIR) && $(XVFB) ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DVOCALITH_TESTS=OFF -DVOCALITH_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	$(BENCH_DIR)/bench/engine_bench
	GDK_BACKEND=x11 NO_AT_BRIDGE=1 $(XVFB) $(BENCH_DIR)/bench/gui_bench

clean:
	rm -rf $(BUILD_DIR) $(TEST_DIR) $(BENCH_DIR)
