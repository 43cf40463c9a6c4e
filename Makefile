# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test test-sanitize test-asan test-tsan bench fuzz install package check-package screenshots clean

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
TSAN_TESTS ?= tst_backgroundworker tst_findfile tst_packsearch tst_textcache tst_searchlisting tst_countfiles tst_flatcopy tst_searchresultlist \
	tst_searchresultmodel tst_hostilefolders tst_readahead tst_accountlist tst_accountbook tst_searchwindow tst_searchaccounts

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

# The fuzzers (clang, libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer), one after the other,
# FUZZ_SECONDS each. Each starts from its seed corpus in fuzz/corpus/<target>/ and keeps what it finds
# new in $(FUZZ_DIR)/corpus/<target>/; an input that crashes a fuzzer is left in
# $(FUZZ_DIR)/crashes/<target>/ and fails the make. Scratch files go to memory where there is one.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= data_file decode_str float_text name_mask pack_reader phrase_search sealed_field
FUZZ_DIR ?= $(BUILD_DIR)-fuzz
FUZZ_FLAGS ?=
FUZZ_NICE ?= nice -n 10
FUZZ_TMPDIR ?= $(shell [ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo $${TMPDIR:-/tmp})

fuzz:
	@VANTORY_FUZZ_DEPS=1 scripts/install-deps.sh
	@cmake -S . -B $(FUZZ_DIR) -DVANTORY_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DVANTORY_BUILD_TESTS=OFF -DVANTORY_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_DIR)/corpus/$$t $(FUZZ_DIR)/crashes/$$t && \
		echo "fuzz: $$t, $(FUZZ_SECONDS) s" && \
		TMPDIR=$(FUZZ_TMPDIR) $(FUZZ_NICE) $(FUZZ_DIR)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) \
			-artifact_prefix=$(FUZZ_DIR)/crashes/$$t/ $(FUZZ_FLAGS) $(FUZZ_DIR)/corpus/$$t fuzz/corpus/$$t \
			|| { echo "fuzz: $$t failed; the input is in $(FUZZ_DIR)/crashes/$$t/" >&2; exit 1; }; \
	done

# Installs under PREFIX (DESTDIR, when set, is put in front of it, as for a package build).
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package, build/vantory_<version>_<arch>.deb, installed under /usr.
package: build
	@VANTORY_PACKAGE_DEPS=1 scripts/install-deps.sh
	cd $(BUILD_DIR) && cpack -G DEB

# Installs that package into a fresh minimal Debian 12 root and starts it there (slow; as root).
check-package: package
	scripts/check-package.sh $(BUILD_DIR)

# Every window and dialog rendered from generated sample data, at scale 1 into docs/screenshots/
# and at scale 2 into docs/screenshots/2x/. The offscreen screen is made as large as a desktop's
# (its own is 800 x 600), since message boxes take their width from the screen.
SHOT_PLATFORM = offscreen:configfile=tools/screenshots-screen.json
screenshots: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target screenshots
	QT_QPA_PLATFORM=$(SHOT_PLATFORM) QT_SCALE_FACTOR=1 $(BUILD_DIR)/tools/screenshots docs/screenshots
	QT_QPA_PLATFORM=$(SHOT_PLATFORM) QT_SCALE_FACTOR=2 $(BUILD_DIR)/tools/screenshots docs/screenshots/2x

clean:
	rm -rf $(BUILD_DIR)
