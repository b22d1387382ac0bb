# Two commands for a new user: `make run` and `make test`. Each installs what
# is missing first (scripts/install-deps), then builds with CMake into build/;
# so do `make package` and `make install`, the README's other ways in. A plain
# `make` only builds, and never asks for sudo; so does `make windows`: on a
# fresh machine they need a `make deps` first.

BUILD         ?= build
WINDOWS_BUILD ?= build-windows
JOBS          ?= $(shell nproc)
PREFIX        ?= /usr/local
FUZZ_TIME     ?= 30

# A path given relative to this folder, for a build that runs in another:
# empty stays empty.
absolute = $$(path='$(1)'; [ -z "$$path" ] || realpath -m -- "$$path")

CMAKE_CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps run test reproducible windows bench sanitize fuzz package install po clean

all:
	@$(CMAKE_CONFIGURE) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@scripts/install-deps

# Started from here, so CH1.txt and CH2.txt land in this folder.
run: deps
	@$(MAKE) --no-print-directory all
	@[ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] || { echo "make run needs a desktop session, and neither DISPLAY nor WAYLAND_DISPLAY is set: run it in a terminal on your desktop, or on a server through ssh -X" >&2; exit 1; }
	$(abspath $(BUILD))/tovik

# The Linux tests, then the Windows ones under Wine, then the release files
# built twice.
test: deps
	@$(MAKE) --no-print-directory all windows
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -j $(JOBS)
	tests/build-twice

# The last commit's release files, built twice from clean clones in two
# folders, must be the same bytes: the Linux program and its Debian package,
# tovik.exe, the portable zip and the installer.
reproducible: deps
	tests/build-twice

# Tovik for Windows, cross-built with MinGW-w64: $(WINDOWS_BUILD)/tovik.exe,
# the portable tovik-<version>-win64.zip and the installer
# tovik-<version>-win64-setup.exe beside it, with their SHA256SUMS, and the
# tests as .exe files. Signed when TOVIK_SIGN_PKCS12 and
# TOVIK_SIGN_PASSWORD_FILE name the certificate and its password's file, in
# the environment or on make's command line (win32/signing.cmake); passed on
# even when empty, so that a build without them is unsigned again.
windows:
	@cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DTOVIK_SIGN_PKCS12="$(call absolute,$(TOVIK_SIGN_PKCS12))" \
	  -DTOVIK_SIGN_PASSWORD_FILE="$(call absolute,$(TOVIK_SIGN_PASSWORD_FILE))" \
	  -DTOVIK_SIGN_TIMESTAMP_URL="$(TOVIK_SIGN_TIMESTAMP_URL)" >/dev/null
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

bench: deps
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build-bench -j $(JOBS)
	cd build-bench && ./bench/tovik_bench

# The core and its tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTOVIK_FRONT_END=none -DTOVIK_SANITIZE=ON >/dev/null
	cmake --build build-sanitize -j $(JOBS)
	ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

# A bounded libFuzzer run over the reader and the conversion.
fuzz: deps
	@CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVIK_FRONT_END=none -DTOVIK_FUZZ=ON >/dev/null
	cmake --build build-fuzz -j $(JOBS) --target conversion_fuzzer
	rm -rf build-fuzz/corpus && mkdir -p build-fuzz/corpus
	@# Every run syncs its files: in memory (/dev/shm) that costs nothing.
	work=$$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d) && cd "$$work" && \
	  $(CURDIR)/build-fuzz/tests/conversion/conversion_fuzzer -max_total_time=$(FUZZ_TIME) \
	  -max_len=4096 -rss_limit_mb=1024 -artifact_prefix=$(CURDIR)/build-fuzz/ \
	  $(CURDIR)/build-fuzz/corpus $(CURDIR)/tests/conversion/fuzz-seeds; \
	  status=$$?; rm -rf "$$work"; exit $$status

# build/tovik_<version>_amd64.deb, with its SHA256SUMS
package: deps
	@$(MAKE) --no-print-directory all
	cd $(BUILD) && cpack -G DEB

# The program, its desktop entry, metainfo and icons under $(PREFIX).
install: deps
	@$(MAKE) --no-print-directory all
	cmake --install $(BUILD) --prefix $(PREFIX) --strip

# The translators' template made again from the English texts in the
# sources, and every PO file brought up to it (po/).
po:
	@$(CMAKE_CONFIGURE) >/dev/null
	cmake --build $(BUILD) --target update_po

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD) build-bench build-sanitize build-fuzz
