# Two commands set everything up on a fresh Debian 12 machine (as root, or with sudo):
#   make run   - install what is missing, build the release binary and the demo data, start the game
#   make test  - install what is missing, build with ASan/UBSan and run every test
FRAMES ?= 600
JOBS ?= $(shell nproc)
PACKAGES := cmake ninja-build g++ make pkg-config libsdl2-dev libenet-dev \
	libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev \
	libgtest-dev libgmock-dev libbenchmark-dev libfreetype-dev fonts-dejavu-core python3
# The benchmarks' peer of the rasterizer (bench_raster_gl, Mesa's llvmpipe through EGL without a window).
BENCH_PACKAGES := libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# A compiler cache speeds up rebuilds where one is installed; the build does not need it.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

FUZZ_SECONDS ?= 60
FUZZ_RUNS ?= 3000
FUZZ_PACKAGES := clang libclang-rt-14-dev
# Absolute: the harnesses work in a data folder of their own.
FUZZ_DIR := $(CURDIR)/build/fuzz
# Harness options: a slow input counts as a hang after 30 s (the first input of a harness builds the demo tree); the fatal path of a reader leaves what it
# had read to the process exit, so leaks are not reported by the fuzz runs (the unit tests check them).
FUZZ_ENV := ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
FUZZ_FLAGS := -timeout=30 -rss_limit_mb=2048 -print_final_stats=1

.PHONY: run test bench benchbuild benchci deps release testbuild demo clean fuzzbuild fuzz fuzzci

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

# MAP names the mission the main menu's button 3 starts ("lastmap" of the demo tree's Vexa.cfg), e.g.
# make run MAP=Showroom.
MAP ?=
run: demo
	@if [ -n "$(MAP)" ]; then \
	  test -f "build/demo/Maps/$(MAP)" || { echo "no mission '$(MAP)' in build/demo/Maps" >&2; exit 1; }; \
	  sed -i 's/^lastmap[[:space:]].*$$/lastmap "$(MAP)";/' build/demo/Vexa.cfg; \
	  grep -q '^lastmap "$(MAP)";' build/demo/Vexa.cfg || echo 'lastmap "$(MAP)";' >> build/demo/Vexa.cfg; \
	fi
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

benchbuild: deps
	@missing=""; for p in $(BENCH_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF -DKV_BENCH=ON $(LAUNCHER)
	cmake --build build/bench -j $(JOBS)
	build/bench/mkdemo --out build/bench/demo >/dev/null

# Every benchmark with its figures; fails when any of them fails.
bench: benchbuild
	@failed=""; for b in build/bench/bench_*; do [ -x "$$b" ] || continue; \
	  "$$b" || failed="$$failed $$(basename $$b)"; done; \
	if [ -n "$$failed" ]; then echo "benchmarks failed:$$failed"; exit 1; fi

# What .ci/run does: every benchmark once, briefly (a minimal time or a few frames; the figures are not
# judged), so that none can break unseen. The benchmarks with a main of their own take --frames.
BENCH_FRAMES_ONLY := bench_raster bench_raster_gl bench_view bench_frame
benchci: benchbuild
	@failed=""; for b in build/bench/bench_*; do [ -x "$$b" ] || continue; n=$$(basename $$b); \
	  case " $(BENCH_FRAMES_ONLY) " in *" $$n "*) args="--frames 2";; *) args="--benchmark_min_time=0.001";; esac; \
	  echo "== $$n $$args"; "$$b" $$args || failed="$$failed $$n"; done; \
	if [ -n "$$failed" ]; then echo "benchmarks failed:$$failed"; exit 1; fi

# The libFuzzer harnesses of fuzz/, built with clang in a folder of their own, and their seed corpus.
fuzzbuild: deps
	@missing=""; for p in $(FUZZ_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKV_FUZZ=ON -DKV_TESTS=OFF \
	  -DCMAKE_CXX_FLAGS="-O1 -g" $(LAUNCHER)
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	rm -rf $(FUZZ_DIR)/seeds && $(FUZZ_DIR)/fuzz_seeds --out $(FUZZ_DIR)/seeds

# Each harness for FUZZ_SECONDS, growing its corpus in build/fuzz/corpus/<name>; a crash, hang or
# sanitizer report is saved as build/fuzz/crashes/<name>-* and fails the run.
fuzz: fuzzbuild
	@failed=""; for h in $$(cat $(FUZZ_DIR)/fuzz_harnesses.txt | tr ';' ' '); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$h $(FUZZ_DIR)/crashes; \
	  echo "== fuzz_$$h for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_ENV) $(FUZZ_DIR)/fuzz_$$h $(FUZZ_FLAGS) -max_total_time=$(FUZZ_SECONDS) \
	    -artifact_prefix=$(FUZZ_DIR)/crashes/$$h- $(FUZZ_DIR)/corpus/$$h $(FUZZ_DIR)/seeds/$$h \
	    > $(FUZZ_DIR)/fuzz_$$h.log 2>&1 || failed="$$failed $$h"; \
	  grep -E "^stat::number_of_executed_units|^Done" $(FUZZ_DIR)/fuzz_$$h.log | tail -1; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzz: failed:$$failed (logs in $(FUZZ_DIR)/fuzz_*.log)"; exit 1; fi

# CI: each harness for FUZZ_RUNS inputs from its seeds (a fresh corpus every time, so the time is bounded),
# or for 240 seconds where a harness that builds whole levels gets through fewer.
fuzzci: fuzzbuild
	@failed=""; for h in $$(cat $(FUZZ_DIR)/fuzz_harnesses.txt | tr ';' ' '); do \
	  rm -rf $(FUZZ_DIR)/ci/$$h && mkdir -p $(FUZZ_DIR)/ci/$$h $(FUZZ_DIR)/crashes; \
	  $(FUZZ_ENV) timeout 300 $(FUZZ_DIR)/fuzz_$$h $(FUZZ_FLAGS) -runs=$(FUZZ_RUNS) -max_total_time=240 -seed=1 \
	    -artifact_prefix=$(FUZZ_DIR)/crashes/$$h- $(FUZZ_DIR)/ci/$$h $(FUZZ_DIR)/seeds/$$h \
	    > $(FUZZ_DIR)/fuzzci_$$h.log 2>&1 && echo "fuzz_$$h: $(FUZZ_RUNS) runs clean" \
	    || { failed="$$failed $$h"; tail -30 $(FUZZ_DIR)/fuzzci_$$h.log; }; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzzci: failed:$$failed"; exit 1; fi

clean:
	rm -rf build
