# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-sanitize test-asan test-tsan bench clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/vantory

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The same tests under the sanitizers: the whole suite with AddressSanitizer + UndefinedBehaviorSanitizer
# (leaks included), and the tests with threads under ThreadSanitizer. Any report fails the run.
SANITIZE_FLAGS = -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DVANTORY_BUILD_BENCH=OFF $(CMAKE_FLAGS)
# The tests that run threads of ours.
TSAN_TESTS ?= tst_findfile tst_searchlisting tst_countfiles tst_flatcopy tst_searchresultlist tst_accountlist

test-sanitize: test-asan test-tsan

test-asan: deps
	@cmake -S . -B $(BUILD_DIR)-asan -DVANTORY_SANITIZE=address $(SANITIZE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	cd $(BUILD_DIR)-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	@cmake -S . -B $(BUILD_DIR)-tsan -DVANTORY_SANITIZE=thread $(SANITIZE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR)-tsan -j $(JOBS) --target $(TSAN_TESTS)
	cd $(BUILD_DIR)-tsan && QT_QPA_PLATFORM=offscreen \
		ctest --output-on-failure -j $(JOBS) -R '^($(subst $(eval) ,|,$(strip $(TSAN_TESTS))))$$'

bench: build
	@VANTORY_BENCH_DEPS=1 scripts/install-deps.sh
	bench/run-all.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
