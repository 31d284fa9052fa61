# Two commands for a fresh Debian machine: `make run` and `make test`. The build
# settings live in CMakePresets.json (release, debug, sanitize, bench).
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run test deps build test-sanitize bench clean

run: build
	./build/app/tesora

test: build
	ctest --preset release -j $(JOBS)

deps:
	@./scripts/install-deps.sh

build: deps
	cmake --preset release $(CMAKE_FLAGS)
	cmake --build --preset release -j $(JOBS)

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

clean:
	rm -rf build build-debug build-sanitize build-bench
