# Front door to the CMake build. See README.md. Every target first installs
# what it needs and the machine lacks (tools/install-missing).
BUILD := build
JOBS ?= 2
INSTALL := tools/install-missing
MINGW_CMAKE = cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release

.PHONY: all run test clean windows windows64 test-windows test-sanitize fuzz bench package dist install uninstall test-fresh

# Configures the build folder once, then builds.
define build
	@mkdir -p $(BUILD) 2>/dev/null && test -w $(BUILD) || \
	  { echo "Cannot write the build folder $(CURDIR)/$(BUILD): fix its permissions, or run make clean as its owner." >&2; exit 1; }
	$(1) sh -c 'test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release'
	$(1) cmake --build $(BUILD) -j $(JOBS)
endef

all:
	@$(INSTALL) build
	$(call build,)

# Starts the program in build/run, on a fresh copy of the sample calendar; the
# build says nothing unless it fails.
run:
	@$(INSTALL) build
	$(call build,@tools/quietly)
	@rm -rf $(BUILD)/run && mkdir -p $(BUILD)/run && cp sample/originale.txt $(BUILD)/run/originale.txt
	@echo "(I file del calendario vengono scritti nella cartella $(CURDIR)/$(BUILD)/run)"
	@cd $(BUILD)/run && ../quadrivo

# Every test in the build folder $(1); then the reasons of those skipped here.
ctest = status=0; (cd $(1) && ctest --output-on-failure) || status=$$?; tools/skip-notes $(1); exit $$status

# Whether this machine runs 32-bit programs, asked once per target (under a
# timeout) and handed down to what the target runs: yes or no.
ASK_32BIT = QUADRIVO_RUNS_32BIT=$$(tools/runs-32bit && echo yes || echo no); export QUADRIVO_RUNS_32BIT

test:
	@$(INSTALL) test
	$(call build,)
	@$(ASK_32BIT); tools/windows-note package && $(call ctest,$(BUILD))

# The 32-bit Windows console program, build-win32/quadrivo.exe.
windows:
	@$(INSTALL) windows
	$(MINGW_CMAKE) -DMINGW_TRIPLE=i686-w64-mingw32 -S . -B build-win32
	cmake --build build-win32 -j $(JOBS)
	@# A 32-bit (PE32, Intel 80386) console program, or the build is wrong.
	i686-w64-mingw32-objdump -f -p build-win32/quadrivo.exe > build-win32/quadrivo.dump
	grep -q 'file format pei-i386' build-win32/quadrivo.dump
	grep -q 'Windows CUI' build-win32/quadrivo.dump

# The 64-bit build of the same source, build-win64/quadrivo.exe: what the
# Windows tests run where this machine cannot run 32-bit programs.
windows64:
	@$(INSTALL) windows64
	$(MINGW_CMAKE) -DMINGW_TRIPLE=x86_64-w64-mingw32 -S . -B build-win64
	cmake --build build-win64 -j $(JOBS)

# The end-to-end tests against the 32-bit Windows program that ships, under
# Wine, through pipes and on a terminal; where this machine cannot run 32-bit
# programs, against the 64-bit build under Wine's 64-bit loader, and it says so.
test-windows: windows
	@$(INSTALL) test wine
	$(call build,)
	@$(ASK_32BIT); if [ $$QUADRIVO_RUNS_32BIT = yes ]; then \
	  tests/under_wine.sh $(BUILD) $(CURDIR)/build-win32/quadrivo.exe; \
	else \
	  tools/windows-note windows && $(MAKE) --no-print-directory windows64 && \
	  WINE=/usr/lib/wine/wine64 tests/under_wine.sh $(BUILD) $(CURDIR)/build-win64/quadrivo.exe; \
	fi

# The whole test suite, program included, under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	@$(INSTALL) test sanitize
	cmake -S . -B build-sanitize -DQUADRIVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-sanitize -j $(JOBS)
	@$(call ctest,build-sanitize)

# Each libFuzzer target for FUZZ_SECONDS, from the seeds in tests/fuzz/corpus;
# what they learn is kept in build-fuzz/corpus, and any finding is saved there too.
# Inputs reach a whole calendar: a name and 120 pieces of 200 bytes.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := selection dialogue
fuzz:
	@$(INSTALL) build sanitize
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DQUADRIVO_FUZZ=ON -DBUILD_TESTING=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j $(JOBS)
	set -e; for target in $(FUZZ_TARGETS); do \
	  mkdir -p $(CURDIR)/build-fuzz/corpus/$$target; \
	  cd $(CURDIR)/build-fuzz && ./tests/fuzz/$${target}_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -max_len=24400 \
	    -artifact_prefix=$(CURDIR)/build-fuzz/corpus/$$target- \
	    $(CURDIR)/build-fuzz/corpus/$$target $(CURDIR)/tests/fuzz/corpus/$$target; \
	done

# Instructions (callgrind) of one pass: the program beside a minimal C program and grep -F.
bench:
	@$(INSTALL) build bench
	$(call build,@tools/quietly)
	cc -O2 -o $(BUILD)/bench-minimal bench/minimal.c
	bench/run.sh $(BUILD)/quadrivo $(BUILD)/bench-minimal sample/originale.txt bench/seriea-2025-26.txt

# The Windows zip and the Debian package, in build-package: the zip's time
# stamps the last commit's time, the .deb built by dpkg-buildpackage, its time
# stamps debian/changelog's date, unless SOURCE_DATE_EPOCH says otherwise; the
# tests run in the package build unless DEB_BUILD_OPTIONS holds nocheck.
package:
	@$(INSTALL) build package $(if $(filter nocheck,$(DEB_BUILD_OPTIONS)),,test)
	tools/make-packages build-package

VERSION = $(shell sed -n 's/^project.quadrivo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# The source tarball of the last commit, build-package/quadrivo-<version>.tar.gz:
# one top folder, nothing built, no .git.
dist:
	@git rev-parse --git-dir >/dev/null 2>&1 || { echo "make dist needs the project's git repository." >&2; exit 1; }
	@mkdir -p build-package
	git archive --format=tar.gz --prefix=quadrivo-$(VERSION)/ -o build-package/quadrivo-$(VERSION).tar.gz HEAD
	@echo "Source: $(CURDIR)/build-package/quadrivo-$(VERSION).tar.gz"

# For those who build from source: the program, its manual pages and its
# documents under PREFIX (inside DESTDIR, when staging). make uninstall, with
# the same PREFIX and DESTDIR, removes what was installed.
PREFIX ?= /usr/local
install:
	@$(INSTALL) build
	$(call build,)
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "Nothing installed from $(BUILD): run make install first." >&2; exit 1; }
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt | xargs -d '\n' rm -f --
	@# The folders that held only the program's documents go too; shared ones (bin, man1) stay.
	doc=$$(sed -n 's|^\(.*/share/doc/quadrivo\)/.*|$(DESTDIR)\1|p' $(BUILD)/install_manifest.txt | head -n 1); \
	  [ ! -d "$$doc" ] || find "$$doc" -depth -type d -empty -delete
	@echo "Removed the files listed in $(BUILD)/install_manifest.txt"

# The README's two commands on a minimal Debian RELEASE (bullseye, bookworm or
# trixie) made with debootstrap (kept in build/fresh-RELEASE, made once), in a
# chroot: needs root.
RELEASE ?= bookworm
test-fresh:
	@$(INSTALL) fresh
	tools/test-fresh $(RELEASE) $(BUILD)/fresh-$(RELEASE)

# A fresh release's chroot may still have the host's /dev bound in, if its
# test was killed: never cross into another file system.
clean:
	rm -rf --one-file-system $(BUILD) build-*
