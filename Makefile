# Quick start: `make run` and `make test`; both install what is missing first.
JOBS ?= $(shell nproc)
BUILD_DIR ?= build
TEST_DIR ?= build-test
BENCH_DIR ?= build-bench
FUZZ_DIR ?= build-fuzz
VALGRIND_DIR ?= build-valgrind
# -noreset: Xvfb otherwise restarts whenever its last client leaves, and a test process that
# connects during that restart cannot open the display.
XVFB = xvfb-run -a -s "-screen 0 1600x1200x24 -noreset"

.PHONY: all deps build run test test-build bench fuzz valgrind clean install mutants mutants-list

all: build

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DVOCALITH_TESTS=OFF
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The two programs, the Python package (on the system Python's path under PREFIX), a desktop
# entry and an icon. DESTDIR stages the files elsewhere, as packaging does.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

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
	/usr/bin/python3 bench/corpus_bench.py $(BENCH_DIR) $(if $(BENCH_HOUR),--hour)

# Fuzzes every reader of outside data for FUZZ_SECONDS each, one after the other on one core
# (FUZZ_TARGETS picks some). Crashes become minimised files in fuzz/regressions/, which the
# engine tests replay.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DVOCALITH_FUZZ=ON -DVOCALITH_TESTS=OFF
	cmake --build $(FUZZ_DIR) --target fuzzers -j $(JOBS)
	fuzz/run $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# The reader tests and the fuzz corpus under memcheck, in a build without sanitizers: any
# uninitialised read, invalid access or definite leak fails.
VALGRIND_TESTS ?= CWavPara.*:MemoListFile.*:TranscriptFile.*:TextEncoding.*:ParameterBlock.*:*FuzzRegressions.*
valgrind: deps
	cmake -S . -B $(VALGRIND_DIR) -DCMAKE_BUILD_TYPE=Debug -DVOCALITH_SANITIZE=
	cmake --build $(VALGRIND_DIR) --target engine_tests -j $(JOBS)
	cd $(VALGRIND_DIR)/tests && valgrind --tool=memcheck --error-exitcode=1 --track-origins=yes \
		--leak-check=full --errors-for-leak-kinds=definite \
		--suppressions=$(CURDIR)/tests/support/valgrind.supp ./engine_tests --gtest_filter='$(VALGRIND_TESTS)'

# The thread tests (voiceprint worker, memo tour, logging from threads, the stress set) under
# ThreadSanitizer in a build of their own; tests/support/tsan.supp names the libraries whose
# own reports are left out. Any report fails the run.
TSAN_DIR ?= build-tsan
TSAN_TESTS ?= WorkerTest.*:MemoTour*:LoggerTest.*:Stress*
.PHONY: tsan
tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DVOCALITH_SANITIZE=thread
	cmake --build $(TSAN_DIR) --target gui_tests -j $(JOBS)
	cd $(TSAN_DIR)/tests && GDK_BACKEND=x11 NO_AT_BRIDGE=1 \
		TSAN_OPTIONS="suppressions=$(CURDIR)/tests/support/tsan.supp halt_on_error=0" \
		$(XVFB) ./gui_tests --gtest_filter='$(TSAN_TESTS)'

# The tests' power on faults drawn by rule at random from src/ (scripts/mutant_rules.py), the same
# ones for the same seed and sources: killed, survived and compile errors per layer, survivors
# listed in /tmp/vocalith-mutants/random-SEED.txt. About 30 s a fault on two cores.
MUTANT_SEED ?= 1
MUTANT_COUNT ?= 60
mutants: deps
	scripts/mutants --random $(MUTANT_SEED) --count $(MUTANT_COUNT)

# The hand-written faults of scripts/mutants.txt, in the sanitizer build.
mutants-list: deps
	scripts/mutants

clean:
	rm -rf $(BUILD_DIR) $(TEST_DIR) $(BENCH_DIR) $(FUZZ_DIR) $(VALGRIND_DIR) $(TSAN_DIR)
