# Two commands set everything up on a fresh Debian 12 machine (as root, or with sudo):
#   make run   - install what is missing, build the release binary and the demo data, start the game
#   make test  - install what is missing, build with ASan/UBSan and run every test
FRAMES ?= 600
JOBS ?= $(shell nproc)
PACKAGES := cmake ninja-build g++ make pkg-config libsdl2-dev libenet-dev \
	libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev \
	libgtest-dev libgmock-dev libbenchmark-dev libfreetype-dev fonts-dejavu-core python3
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# A compiler cache speeds up rebuilds where one is installed; the build does not need it.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

.PHONY: run test bench deps release testbuild demo clean

deps:
	@missing=""; for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

release: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_TESTS=OFF $(LAUNCHER)
	cmake --build build/release -j $(JOBS)

demo: release
	build/release/mkdemo --out build/demo

run: demo
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  build/release/karvonel --data build/demo; \
	else \
	  echo "no display found: running headless for $(FRAMES) frames" >&2; \
	  build/release/karvonel --data build/demo --headless --frames $(FRAMES); \
	fi

testbuild: deps
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON -DCMAKE_CXX_FLAGS="-O1 -g" $(LAUNCHER)
	cmake --build build/test -j $(JOBS)

test: testbuild
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build/test --output-on-failure -j $(JOBS) --timeout 600

bench: deps
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF -DKV_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	@for b in build/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf build
