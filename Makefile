# The two commands of the README: `make demo` and `make test`.
# Each does its own set-up on a fresh machine: missing Debian packages are
# installed when run as root, then the project is configured and built.

BUILD     ?= build
ASAN_BUILD ?= build-asan
JOBS      ?= $(shell nproc)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
DEB_PACKAGES := cmake g++ ninja-build libgtest-dev libgmock-dev libbenchmark-dev \
                nlohmann-json3-dev libcli11-dev clang libclang-rt-14-dev \
                libsqlite3-dev

.PHONY: all setup build demo test test-asan test-browser test-fuzz bench clean format

all: build

setup:
	@missing=""; for p in $(DEB_PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing:$$missing"; \
	    (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing) >/dev/null; \
	  else echo "missing Debian packages:$$missing (run as root to install)"; exit 1; fi; fi

$(BUILD)/build.ninja $(BUILD)/Makefile:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: setup $(BUILD)/$(if $(GENERATOR),build.ninja,Makefile)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: setup
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DKRAVO_SANITIZE=ON -DKRAVO_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

demo: build
	@for program in examples/demo.vyn $(filter-out examples/demo.vyn,$(wildcard examples/*.vyn)); do \
	  echo "=== $$program"; $(BUILD)/bin/vyn $$program || exit 1; done
	@mkdir -p $(BUILD)/demo
	$(BUILD)/bin/vyn examples/demo.vyn --listing $(BUILD)/demo/listing.txt \
	  --html $(BUILD)/demo/report.html --graphs-dir $(BUILD)/demo/graphs
	@echo "The report with graphs: $(BUILD)/demo/report.html"

# Every example's HTML report drawn in headless Chromium and checked in the
# page; screenshots go to $(BUILD)/browser/.
test-browser: build
	@command -v chromium >/dev/null 2>&1 || \
	if [ "$$(id -u)" = 0 ]; then \
	  echo "installing: chromium"; \
	  (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq chromium) >/dev/null; \
	else echo "missing Debian packages: chromium (run as root to install)"; exit 1; fi
	tests/browser/run.sh $(BUILD)

# The three fuzz targets built with clang and run briefly: they must build and find
# nothing in a fixed number of inputs from a fixed seed, so the run is the same each time.
test-fuzz: setup
	fuzz/run.sh 300 -seed=1 -runs=20000
	fuzz/run_parse.sh 300 -seed=1 -runs=10000
	fuzz/run_program.sh 300 -seed=1 -runs=3000

bench: build
	bench/run.sh $(BUILD)

format:
	find . -path ./build -prune -o -path ./$(ASAN_BUILD) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
