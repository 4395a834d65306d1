# Front door. `make` builds, `make run` runs Report under Wine and saves its
# report, `make test` runs all three test layers, `make bench` prints figures,
# `make release` writes the signed release folder (see README).
BUILD ?= build
B := $(abspath $(BUILD))
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
RELEASE_DIR ?= $(B)/release

.PHONY: all deps build programs native run test bench release clean
all: build

deps:
	@bash scripts/install-deps.sh

# The toolchain is named only when a tree is first configured: CMake keeps it,
# and warns that a toolchain given again is unused.
toolchain = $(if $(wildcard $(B)/$(1)/CMakeCache.txt),,-DCMAKE_TOOLCHAIN_FILE=cmake/$(2).cmake)

# Both Windows trees and build/dist; $(1) and $(2) name the targets of the
# 64-bit and the 32-bit tree (none: everything, the test programs too).
define build_trees
	cmake -S . -B $(B)/win64 $(call toolchain,win64,mingw64) $(CMAKE_FLAGS) > /dev/null
	cmake --build $(B)/win64 -j $(JOBS) $(if $(1),--target $(1))
	cmake -S . -B $(B)/win32 $(call toolchain,win32,mingw32) $(CMAKE_FLAGS) \
	  -DMODLIST6_EXE=$(B)/win64/bin/Modlist6.exe > /dev/null
	cmake --build $(B)/win32 -j $(JOBS) $(if $(2),--target $(2))
	mkdir -p $(B)/dist
	@# Replaced only when changed, and never seen half written: tests copy
	@# build/dist/Report.exe while `make release` runs this again.
	@for f in $(B)/win32/bin/Report.exe $(B)/win64/bin/Modlist6.exe; do \
	  d=$(B)/dist/$$(basename $$f); cmp -s $$f $$d || { cp $$f $$d.tmp && mv $$d.tmp $$d; } || exit 1; \
	done
endef

build: deps
	$(call build_trees,,)

# What `make run` starts: Report, Modlist6, the x64 Report that stands in where
# 32-bit programs do not run, the dialog driver and the 32-bit probe.
programs: deps
	$(call build_trees,Modlist6 Report64 report_driver,Report wow64_probe)

native: deps
	cmake -S . -B $(B)/native -DWIN64_BUILD=$(B)/win64 -DBUILD_ROOT=$(B) $(CMAKE_FLAGS) > /dev/null
	cmake --build $(B)/native -j $(JOBS)

run: programs
	BUILD_DIR=$(B) bash scripts/run-report.sh

# After the results, what ran and what was skipped, with the reasons.
test: build native
	cd $(B)/native && { ctest -j $(JOBS) --output-on-failure; rc=$$?; \
	  echo "What was under test, and what was skipped:"; \
	  grep -a -h -E '^(under test|skipped):' Testing/Temporary/LastTest.log | sort -u; exit $$rc; }

bench: build
	BUILD_DIR=$(B) bash scripts/bench.sh

release: build
	BUILD_DIR=$(B) RELEASE_DIR=$(abspath $(RELEASE_DIR)) bash scripts/release.sh

clean:
	rm -rf $(B)
