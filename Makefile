# Front door of the build. `make run` and `make test` are the whole set-up on
# a fresh Debian 12 machine: both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
# Extra configure options, e.g. CMAKE_EXTRA=-DVELTRAX_WERROR=ON (CI).
CMAKE_EXTRA ?=

.PHONY: all deps configure build run test asan bench fuzz format-check clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_EXTRA)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/app/veltrax

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DVELTRAX_SANITIZE=ON -DVELTRAX_BUILD_BENCH=OFF $(CMAKE_EXTRA)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVELTRAX_BUILD_FUZZ=ON -DVELTRAX_BUILD_GUI=OFF -DVELTRAX_BUILD_BENCH=OFF $(CMAKE_EXTRA)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Every C++ file of ours as .clang-format lays it out.
format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
