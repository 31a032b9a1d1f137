# The two commands of the README:
#   make run    builds the kel executable (Release) and starts the console
#   make test   builds everything and runs every test (release, sanitizers, GC stress)
# Both first install the Debian packages the build needs when they are missing.

BUILD   ?= build
JOBS    ?= $(shell nproc)
PACKAGES = cmake ninja-build g++ python3 tmux zlib1g-dev libzstd-dev libssl-dev googletest libgtest-dev ccache clang libclang-rt-14-dev \
           libcurl4-openssl-dev ca-certificates openssl xclip xvfb clang-format \
           libpng-dev libjpeg62-turbo-dev libgif-dev libtiff-dev

.PHONY: run test build deps configure clean fuzz

deps:
	@tools/install-deps.sh $(PACKAGES)

# The packages come first (order-only: `make -j` would otherwise configure
# beside the install, before cmake or the compiler is there).
$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G "Ninja Multi-Config" -Wno-dev >/dev/null

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) --config Release -j $(JOBS)

# Only the executable: the test programs and benchmarks are `make test`'s.
run: configure
	cmake --build $(BUILD) --config Release --target kel -j $(JOBS)
	@$(BUILD)/Release/kel $(ARGS)

# Release builds everything; Sanitize builds kel, the test programs and the
# probes (the benchmarks measure nothing with sanitizers).
test: configure
	@tools/check-format.sh
	cmake --build $(BUILD) --config Release -j $(JOBS)
	cmake --build $(BUILD) --config Sanitize -j $(JOBS)
	@JOBS=$(JOBS) tools/run-tests.sh $(BUILD)
	@$(MAKE) --no-print-directory fuzz

# The fuzz build (clang, libFuzzer, ASan and UBSan) in a directory of its own;
# the targets run side by side, each for FUZZ_SECONDS from its committed seed
# corpus (FUZZ_SECONDS=0 builds them and skips the run).
FUZZ_SECONDS ?= 60
$(BUILD)/fuzz/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)/fuzz -G Ninja -DKEL_FUZZ=ON -Wno-dev >/dev/null

fuzz: $(BUILD)/fuzz/build.ninja
	cmake --build $(BUILD)/fuzz -j $(JOBS)
	@tools/run-fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
