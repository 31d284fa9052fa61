# Two commands for a fresh Debian machine: `make run` and `make test`. The build
# settings live in CMakePresets.json (release, debug, sanitize, bench).
FUZZ_DIR    ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS        ?= $(shell nproc)
PREFIX      ?= /usr/local
CMAKE_FLAGS ?=
# The release preset's folder: run, install and package use its build.
BUILD_DIR   := build

.PHONY: run test deps configure build install package test-sanitize bench fuzz clean

# Builds only the program; without a display it says in one line what to do instead.
run:
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
	  echo "Kein Bildschirm (DISPLAY ist leer): \"make test\" führt die Tests aus, $(BUILD_DIR)/cli/tesora-cli --help zeigt danach das Werkzeug ohne Fenster."; \
	  exit 0; fi; \
	$(MAKE) --no-print-directory deps configure && \
	cmake --build $(BUILD_DIR) -j $(JOBS) --target tesora && ./$(BUILD_DIR)/app/tesora

test: build
	ctest --preset release -j $(JOBS)

deps:
	@./scripts/install-deps.sh

configure:
	cmake --preset release $(CMAKE_FLAGS)

build: deps configure
	cmake --build --preset release -j $(JOBS)

# Installs the programs, the Python module, example pictures, menu entry, icons and
# manual pages.
install: deps configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target tesora tesora-cli tesora_data tesora_python
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# A Debian package, tesora_VERSION_ARCH.deb, in this folder: apt install ./tesora_*.deb
package: deps configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target tesora tesora-cli tesora_data tesora_python
	cd $(BUILD_DIR) && cpack -G DEB
	cp $(BUILD_DIR)/tesora_*.deb .

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake --preset sanitize $(CMAKE_FLAGS)
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

bench:
	@./scripts/install-deps.sh --bench
	cmake --preset bench $(CMAKE_FLAGS)
	cmake --build --preset bench -j $(JOBS)
	./scripts/run-bench.sh build-bench

# The libFuzzer target (clang, ASan, UBSan) on the seed corpus for FUZZ_SECONDS.
fuzz:
	@./scripts/install-deps.sh --fuzz
	cmake -S fuzz -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	./scripts/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf build build-debug build-sanitize build-bench $(FUZZ_DIR)
