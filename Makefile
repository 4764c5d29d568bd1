# The two set-up commands are `make run` and `make test`; both install what is missing.
BUILD   := build
NATIVE  := $(BUILD)/native
WIN     := $(BUILD)/win
GENERATOR := -G Ninja

.PHONY: all deps build native win test run fuzz bench clean format

all: build

deps:
	@bash cmake/install-deps.sh

native: deps
	@cmake -S . -B $(NATIVE) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(NATIVE)

win: deps
	@cmake -S . -B $(WIN) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake >/dev/null
	@cmake --build $(WIN)

# Everything, without running tests: fwtool under build/native, FirmwareUpdate.exe under build/win.
build: native win

test: build
	@bash cmake/run-tests.sh

run: build
	@bash cmake/run-demo.sh

# Benchmarks, never part of test: one table of figures against their targets.
bench: deps
	@bash cmake/run-bench.sh

clean:
	rm -rf $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
