# Front door to the CMake build. See README.md.
BUILD := build
JOBS ?= 2

.PHONY: all run test clean

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

clean:
	rm -rf $(BUILD) build-*
