# Entry points: `make run` plays a ROM, `make test` builds and runs every test.
# SANITIZE=address,undefined or SANITIZE=thread builds into a folder of its own.
# Quality gates: `make lint`, `make coverage`, `make bench`, `make fuzz` (FUZZ_SECONDS
# per harness, 60 by default), `make mutate` (the planted faults of scripts/mutants.py
# must all be caught by the tests); each builds in a folder of its own.
# `make package` builds the Debian package build/quorvix_<version>_<arch>.deb;
# `make package-check` builds it and checks its contents, lintian's verdict, the
# desktop data and the programs run from it (scripts/check-package.sh).

comma := ,
SANITIZE ?=
JOBS ?= $(shell nproc)
ROM ?=
FUZZ_SECONDS ?= 60

ifeq ($(SANITIZE),)
BUILD_DIR := build
BUILD_TYPE := RelWithDebInfo
else
BUILD_DIR := build-$(subst $(comma),-,$(SANITIZE))
BUILD_TYPE := Debug
endif

.PHONY: all deps configure build test run clean lint coverage bench fuzz mutate package \
	package-check

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
		-DQUORVIX_SANITIZE=$(SANITIZE) -DQUORVIX_WERROR=ON >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

run: build
	@# The emulator always ends with exit code 7, which is not a failure.
	@$(BUILD_DIR)/quorvix "$(if $(ROM),$(ROM),$(BUILD_DIR)/roms/demo.ch8)" || [ $$? -eq 7 ]

package: build
	@cmake --build $(BUILD_DIR) --target package

package-check: package
	@scripts/check-package.sh $(BUILD_DIR)

lint: deps
	@scripts/lint.sh

coverage: deps
	@scripts/coverage.sh

bench: deps
	@scripts/bench.sh

fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh

mutate: deps
	@scripts/mutate.py

clean:
	rm -rf build build-*
