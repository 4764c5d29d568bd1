# The two set-up commands are `make run` and `make test`; both install what is missing.
BUILD   := build
NATIVE  := $(BUILD)/native
WIN     := $(BUILD)/win
ASAN    := $(BUILD)/asan
# What the sanitized tree builds: every unit-test binary (tests/CMakeLists.txt), fwtool and
# the simulated USBTMC bus that its tests and usbtmc_tests run on.
ASAN_TARGETS := base_tests firmware_tests app_tests sim_tests instrument_tests writer_tests \
                update_tests reliability_tests visa_posix_tests os_tests cli_tests usbtmc_tests \
                fwtool fwsim_usbtmc
# What the thread-sanitized tree builds: the unit-test binaries, but for the one that runs
# under the umockdev preload (left out of that tree).
TSAN_TARGETS := $(filter-out usbtmc_tests,$(filter %_tests,$(ASAN_TARGETS)))
TSAN    := $(BUILD)/tsan
FUZZ_SECONDS ?= 180
GENERATOR := -G Ninja

.PHONY: all deps build native win asan tsan tsan-build test run fuzz bench deb ansible clean format

all: build

deps:
	@bash scripts/install-deps.sh

native: deps
	@cmake -S . -B $(NATIVE) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFWU_DEB_BUILDFLAGS=ON >/dev/null
	@cmake --build $(NATIVE)

win: deps
	@cmake -S . -B $(WIN) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake >/dev/null
	@cmake --build $(WIN)

# Everything, without running tests: fwtool under build/native, FirmwareUpdate.exe under build/win.
build: native win

# The unit tests again under AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer;
# only the test binaries and fwtool, which its tests run, are built in this tree.
asan: deps
	@cmake -S . -B $(ASAN) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFWU_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN) --target $(ASAN_TARGETS)

# The unit tests again under ThreadSanitizer; only the test binaries are built in this tree.
# `make tsan` builds and runs them, `make test` runs them among the rest.
tsan-build: deps
	@cmake -S . -B $(TSAN) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFWU_SANITIZE_THREAD=ON >/dev/null
	@cmake --build $(TSAN) --target $(TSAN_TARGETS)

tsan: tsan-build
	@bash scripts/run-tests.sh tsan

test: build asan tsan-build
	@cmake --build $(NATIVE) --target kernel_vm_guest
	@bash scripts/run-tests.sh

# libFuzzer targets (clang) for FUZZ_SECONDS each; figures and findings under build/fuzz.
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run_fuzz.sh

run: build
	@bash scripts/run-demo.sh

# Benchmarks, never part of test: one table of figures against their targets.
bench: deps
	@bash scripts/run-bench.sh

# fwtool as a Debian package: build/deb/fwtool_<version>_<arch>.deb.
deb: native
	@cpack --config $(NATIVE)/CPackConfig.cmake -B $(BUILD)/deb >/dev/null
	@ls $(BUILD)/deb/*.deb

# The Ansible collection k4417f.fwtool as a file to install with ansible-galaxy:
# build/ansible/k4417f-fwtool-<version>.tar.gz.
ansible: deps
	@ansible-galaxy collection build ansible/ansible_collections/k4417f/fwtool \
	  --output-path $(BUILD)/ansible --force

clean:
	rm -rf $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
