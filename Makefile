# make demo: install what is missing, build, remesh the bundled sample.
# make test: install what is missing, build, run every test.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
# Every package a default-on component needs; configure fails when one is missing.
PACKAGES = cmake g++ make pkg-config libtbb-dev libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev \
  libqt6opengl6-dev libglu1-mesa-dev libgl-dev xvfb xauth libgl1-mesa-dri pybind11-dev python3-dev python3-numpy \
  python3-pytest python3-distributed
# The side-by-side benchmark against OpenVDB and scikit-image (make bench-peers) only.
PEER_PACKAGES = libopenvdb-dev python3-skimage
SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test test-sanitize format-check demo fuzz bench-peers clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target tessellor-cli
	mkdir -p demo-output
	$(BUILD)/src/cli/tessellor-cli info examples/fandisk.ply
	$(BUILD)/src/cli/tessellor-cli convert examples/fandisk.ply -o demo-output/fandisk.obj
	$(BUILD)/src/cli/tessellor-cli convert examples/fandisk.ply -o demo-output/fandisk.pc
	$(BUILD)/src/cli/tessellor-cli remesh examples/fandisk.ply --features -o demo-output/fandisk-remeshed.pc
	$(BUILD)/src/cli/tessellor-cli remesh examples/fandisk.ply --features --quiet -o demo-output/fandisk-remeshed.obj
	@echo "Written: demo-output/fandisk.obj demo-output/fandisk.pc demo-output/fandisk-remeshed.pc demo-output/fandisk-remeshed.obj"

# The test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B build-sanitize -DTESSELLOR_SANITIZE=ON -DTESSELLOR_BUILD_GUI=OFF -DTESSELLOR_BUILD_BENCH=OFF \
	  -DTESSELLOR_BUILD_PYTHON=OFF $(CMAKE_FLAGS)
	cmake --build build-sanitize -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-sanitize --output-on-failure -j $(JOBS)

# Fails when a C++ source differs from what clang-format makes of it.
format-check:
	@command -v clang-format >/dev/null || { $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang-format; }
	find src tests bench tools -name '*.cpp' -o -name '*.h' | sort | xargs clang-format --dry-run --Werror

# Coverage-guided fuzzing with libFuzzer (clang); FUZZ_SECONDS per target. Not part of `make test`.
FUZZ_SECONDS ?= 300
FUZZ_TARGETS = fuzz_ply_import fuzz_stl_import fuzz_obj_import fuzz_off_import fuzz_volume_read fuzz_pipeline
fuzz:
	@missing=""; for p in clang-14 libclang-rt-14-dev; do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; fi
	CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DTESSELLOR_FUZZ=ON -DTESSELLOR_BUILD_GUI=OFF -DTESSELLOR_BUILD_BENCH=OFF -DTESSELLOR_BUILD_PYTHON=OFF
	cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	  c=$${t#fuzz_}; c=$${c%_import}; c=$${c%_read}; \
	  mkdir -p fuzz-out/$$t fuzz-out/artifacts; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  TMPDIR=$$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp ) ASAN_OPTIONS=malloc_context_size=0:quarantine_size_mb=32 \
	  build-fuzz/tests/fuzz/$$t fuzz-out/$$t tests/fuzz/corpus/$$c -max_total_time=$(FUZZ_SECONDS) -max_len=8192 \
	    -rss_limit_mb=2048 -timeout=10 -artifact_prefix=fuzz-out/artifacts/$$t- -print_final_stats=1 || exit 1; \
	done

# Side by side with OpenVDB (meshToSignedDistanceField + volumeToMesh) and scikit-image's
# marching_cubes, in a Release build of its own (Debian's Python, which has the Debian packages).
# Not part of `make test`. PEER_ARGS go to
# peer_bench (e.g. PEER_ARGS="--with-1e8 --reps 3"); SKIMAGE_ARGS to mc_vs_skimage.py.
PEER_ARGS ?=
SKIMAGE_ARGS ?=
bench-peers: deps
	@missing=""; for p in $(PEER_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi
	cmake -S . -B build-peers -DCMAKE_BUILD_TYPE=Release -DTESSELLOR_BENCH_PEERS=ON -DTESSELLOR_BUILD_GUI=OFF \
	  -DTESSELLOR_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build-peers -j $(JOBS) --target tessellor-cli openvdb_remesh peer_bench mc_time
	build-peers/bench/peers/peer_bench $(PEER_ARGS)
	/usr/bin/python3 bench/peers/mc_vs_skimage.py --cli build-peers/src/cli/tessellor-cli \
	  --mc-time build-peers/bench/mc_time $(SKIMAGE_ARGS)

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz build-peers demo-output fuzz-out
