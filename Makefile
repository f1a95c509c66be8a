# Front door to the CMake build. See README.md.
BUILD := build
JOBS ?= 2
MINGW_CMAKE = cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release

.PHONY: all run test clean windows test-windows test-sanitize fuzz

all: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

# Starts the program in build/run, on a fresh copy of the sample calendar.
run: all
	mkdir -p $(BUILD)/run
	cp sample/originale.txt $(BUILD)/run/originale.txt
	cd $(BUILD)/run && ../quadrivo

test: all
	ctest --test-dir $(BUILD) --output-on-failure

# The 32-bit Windows console program, build-win32/quadrivo.exe.
windows:
	$(MINGW_CMAKE) -DMINGW_TRIPLE=i686-w64-mingw32 -S . -B build-win32
	cmake --build build-win32 -j $(JOBS)
	@# A 32-bit (PE32, Intel 80386) console program, or the build is wrong.
	i686-w64-mingw32-objdump -f build-win32/quadrivo.exe | grep -q 'file format pei-i386'
	i686-w64-mingw32-objdump -p build-win32/quadrivo.exe | grep -q 'Windows CUI'

# The end-to-end tests against the same sources built for 64-bit Windows, under Wine
# (this machine cannot run 32-bit code).
test-windows: all
	$(MINGW_CMAKE) -DMINGW_TRIPLE=x86_64-w64-mingw32 -S . -B build-win64
	cmake --build build-win64 -j $(JOBS)
	tests/under_wine.sh $(BUILD) $(CURDIR)/build-win64/quadrivo.exe

# The whole test suite, program included, under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	cmake -S . -B build-sanitize -DQUADRIVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-sanitize -j $(JOBS)
	ctest --test-dir build-sanitize --output-on-failure

# Each libFuzzer target for FUZZ_SECONDS, from the seeds in tests/fuzz/corpus;
# what they learn is kept in build-fuzz/corpus, and any finding is saved there too.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := selection dialogue
fuzz:
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DQUADRIVO_FUZZ=ON -DBUILD_TESTING=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j $(JOBS)
	set -e; for target in $(FUZZ_TARGETS); do \
	  mkdir -p $(CURDIR)/build-fuzz/corpus/$$target; \
	  cd $(CURDIR)/build-fuzz && ./tests/fuzz/$${target}_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -artifact_prefix=$(CURDIR)/build-fuzz/corpus/$$target- \
	    $(CURDIR)/build-fuzz/corpus/$$target $(CURDIR)/tests/fuzz/corpus/$$target; \
	done

clean:
	rm -rf $(BUILD) build-*
