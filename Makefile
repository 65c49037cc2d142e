# The two set-up commands: `make run` and `make test`; `make package` builds
# the Debian package, `make install` installs into PREFIX (DESTDIR honoured).
MAKEFLAGS += --no-print-directory
BUILD ?= build
PREFIX ?= /usr/local
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)
# Debian packages the build, the tests and the staged tools need.
PACKAGES = cmake g++ make pkg-config qt6-base-dev libgl-dev qt6-qpa-plugins \
           fp-utils genisoimage wodim xorriso cdrskin \
           qemu-system-x86 syslinux syslinux-common isolinux mtools \
           dpkg-dev file desktop-file-utils appstream

.PHONY: deps configure build run test bench fuzz sanitize package install clean

deps:
	@bash scripts/install-deps.sh $(PACKAGES)

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display available (DISPLAY and WAYLAND_DISPLAY are unset): Spindle needs a desktop session." >&2; \
	  echo "Start it from a graphical session, or under Xvfb: xvfb-run make run" >&2; \
	  exit 1; fi
	@cd $(BUILD)/bin && exec ./spindle $(ARGS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=120000 \
	  ctest --output-on-failure -j $(JOBS)

# The benchmarks, one after the other, each with its report (ratios with the
# machine's load beside them); they are not part of make test.
bench: build
	@cd $(BUILD)/bin && for b in bench_*; do echo "== $$b"; \
	  QT_QPA_PLATFORM=offscreen ./$$b 2>/dev/null || { echo "$$b failed" >&2; exit 1; }; done

package: build
	@cd $(BUILD) && cpack
	@ls $(BUILD)/spindle_*.deb

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

fuzz: deps
	@bash scripts/install-deps.sh clang libclang-rt-14-dev
	@cmake -S . -B $(BUILD)-fuzz -DCMAKE_CXX_COMPILER=clang++ -DSPINDLE_FUZZ=ON >/dev/null
	@cmake --build $(BUILD)-fuzz -j $(JOBS) --target fuzz_catalog fuzz_order
	@mkdir -p $(BUILD)-fuzz/corpus && $(BUILD)-fuzz/bin/fuzz_catalog -max_total_time=60 $(BUILD)-fuzz/corpus
	@mkdir -p $(BUILD)-fuzz/corpus-order && $(BUILD)-fuzz/bin/fuzz_order -max_total_time=60 $(BUILD)-fuzz/corpus-order

# Every target with ASan and UBSan in $(BUILD)-asan, then the whole suite
# there (not part of CI: it takes a few times as long).
sanitize: deps
	@cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPINDLE_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	@cd $(BUILD)-asan && QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=120000 \
	  ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-fuzz $(BUILD)-asan
