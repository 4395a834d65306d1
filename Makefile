# Front door. `make` builds, `make run` runs Report under Wine and saves its
# report, `make test` runs all three test layers, `make bench` prints figures,
# `make release` writes the signed release folder (see README).
BUILD ?= build
B := $(abspath $(BUILD))
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
RELEASE_DIR ?= $(B)/release

.PHONY: all deps build native run test bench release clean
all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --no-warn-unused-cli -S . -B $(B)/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake $(CMAKE_FLAGS) > /dev/null
	cmake --build $(B)/win64 -j $(JOBS)
	cmake --no-warn-unused-cli -S . -B $(B)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw32.cmake $(CMAKE_FLAGS) \
	  -DMODLIST6_EXE=$(B)/win64/bin/Modlist6.exe > /dev/null
	cmake --build $(B)/win32 -j $(JOBS)
	mkdir -p $(B)/dist
	@# Replaced only when changed, and never seen half written: tests copy
	@# build/dist/Report.exe while `make release` runs this again.
	@for f in $(B)/win32/bin/Report.exe $(B)/win64/bin/Modlist6.exe; do \
	  d=$(B)/dist/$$(basename $$f); cmp -s $$f $$d || { cp $$f $$d.tmp && mv $$d.tmp $$d; } || exit 1; \
	done

native: deps
	cmake -S . -B $(B)/native -DWIN64_BUILD=$(B)/win64 -DBUILD_ROOT=$(B) $(CMAKE_FLAGS) > /dev/null
	cmake --build $(B)/native -j $(JOBS)

run: build
	BUILD_DIR=$(B) bash scripts/run-report.sh

test: build native
	cd $(B)/native && ctest -j $(JOBS) --output-on-failure

bench: build
	BUILD_DIR=$(B) bash scripts/bench.sh

release: build
	BUILD_DIR=$(B) RELEASE_DIR=$(abspath $(RELEASE_DIR)) bash scripts/release.sh

clean:
	rm -rf $(B)
