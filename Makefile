# The two commands of the README. Both install what they need first.
BUILD ?= build
BUILD_SAN ?= build-san
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test test-plain test-sanitized demo clean

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
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

test: test-plain test-sanitized

# The sample script application, run by the library's own script peer: its console log, the
# messages the session sends it and the object tree.
demo: build
	$(BUILD)/examples/morvix-run --script examples/hello --idle-ms 500 --log-traffic --tree

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
