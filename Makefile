# Two commands for a fresh Debian machine: `make run` and `make test`.
BUILD_DIR   ?= build
ASAN_DIR    ?= build-sanitize
BENCH_DIR   ?= build-bench
FUZZ_DIR    ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS        ?= $(shell nproc)
PREFIX      ?= /usr/local
CMAKE_FLAGS ?=

.PHONY: run test deps configure build install package test-sanitize bench fuzz clean

# Builds only the program; without a display it says in one line what to do instead.
run:
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
	  echo "Kein Bildschirm (DISPLAY ist leer): \"make test\" führt die Tests aus, $(BUILD_DIR)/cli/tesora-cli --help zeigt danach das Werkzeug ohne Fenster."; \
	  exit 0; fi; \
	$(MAKE) --no-print-directory deps configure && \
	cmake --build $(BUILD_DIR) -j $(JOBS) --target tesora && ./$(BUILD_DIR)/app/tesora

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

deps:
	@./scripts/install-deps.sh

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: deps configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Installs the programs, example pictures, menu entry, icons and manual pages.
install: deps configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target tesora tesora-cli tesora_data
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# A Debian package, tesora_VERSION_ARCH.deb, in this folder: apt install ./tesora_*.deb
package: deps configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target tesora tesora-cli tesora_data
	cd $(BUILD_DIR) && cpack -G DEB
	cp $(BUILD_DIR)/tesora_*.deb .

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESORA_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

bench:
	@./scripts/install-deps.sh --bench
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DTESORA_BUILD_BENCH=ON -DTESORA_BUILD_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	./scripts/run-bench.sh $(BENCH_DIR)

# The libFuzzer target (clang, ASan, UBSan) on the seed corpus for FUZZ_SECONDS.
fuzz:
	@./scripts/install-deps.sh --fuzz
	cmake -S fuzz -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	./scripts/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(BENCH_DIR) $(FUZZ_DIR)
