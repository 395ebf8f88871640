# The two commands of the README. Both install what they need first.
BUILD ?= build
BUILD_SAN ?= build-san
BUILD_TSAN ?= build-tsan
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test test-plain test-sanitized test-threads demo clean

all: build

deps:
	tools/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitized: deps
	cmake -S . -B $(BUILD_SAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVIX_SANITIZE=ON
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The tests that cross threads again under ThreadSanitizer (CTest label "threads"). Address-space
# randomisation is turned off for the run, since some kernels' layouts clash with the sanitizer's.
test-threads: deps
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVIX_TSAN=ON
	cmake --build $(BUILD_TSAN) -j $(JOBS)
	cd $(BUILD_TSAN) && TSAN_OPTIONS="suppressions=$(CURDIR)/tools/tsan.supp second_deadlock_stack=1 halt_on_error=1" \
		setarch $$(uname -m) -R ctest --output-on-failure -L threads -j $(JOBS)

test: test-plain test-sanitized test-threads

# The sample script application, run by the library's own script peer: its console log, the
# messages the session sends it, the object tree, and the window as a picture in $(BUILD)/hello.png.
# Only the library and morvix-run are built for it, not the tests or benchmarks.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target morvix-run
	$(BUILD)/examples/morvix-run --script examples/hello --idle-ms 500 --log-traffic --tree --png $(BUILD)/hello.png

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_TSAN)
