# Two entry points: `make demo` and `make check`. Both install what is missing first.

PACKAGES := cmake g++ make pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev \
            libx11-dev libxext-dev libxtst-dev libfreetype-dev libfontconfig-dev libpng-dev \
            libinih-dev libexpat1-dev xvfb xserver-xephyr x11-apps x11-utils xdotool \
            fonts-wine fonts-dejavu-core gpsbabel imagemagick \
            g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32 \
            binutils-mingw-w64-x86-64 wine64 clang-14 libclang-rt-14-dev

JOBS    ?= $(shell nproc)
BUILD   ?= build
WINDOWS ?= build-windows
ASAN    ?= build-asan
FUZZ    ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: setup build build-asan check test test-asan demo windows fuzz clean

setup:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTM_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

build-asan: setup
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DTM_WERROR=ON -DTM_SANITIZE=ON
	cmake --build $(ASAN) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 300

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS) --timeout 600

check: test test-asan

# The Windows programs (Trapmarker.exe, TomTom Navigator.exe, the test programs) with the
# mingw-w64 toolchain, and the ready-to-unzip package of a device: $(WINDOWS)/Trapmarker-windows.zip.
windows: setup
	cmake -S . -B $(WINDOWS) --toolchain cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DTM_WERROR=ON
	cmake --build $(WINDOWS) -j $(JOBS)
	./tools/package-windows.sh $(WINDOWS) $(WINDOWS)/Trapmarker-windows.zip

# Every fuzz target (clang-14, libFuzzer, ASan, UBSan) for FUZZ_SECONDS each, then a table.
fuzz: setup
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTM_WERROR=OFF -DTM_FUZZ=ON
	cmake --build $(FUZZ) -j $(JOBS) --target $$(sed -n 's/^tm_fuzz_target(\([a-z0-9_]*\).*/fuzz_\1/p' fuzz/CMakeLists.txt)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./fuzz/run.sh $(FUZZ)

demo: build
	./tools/emulator.sh --build $(BUILD) --device $(BUILD)/device

clean:
	rm -rf $(BUILD) $(ASAN) $(WINDOWS) $(FUZZ)
