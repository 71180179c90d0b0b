# make demo: install what is missing, build, remesh the bundled sample.
# make test: install what is missing, build, run every test.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
PACKAGES = cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev libglu1-mesa-dev libgl-dev
SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test demo clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
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

demo: build
	mkdir -p demo-output
	$(BUILD)/src/cli/tessellor-cli info examples/fandisk.ply
	$(BUILD)/src/cli/tessellor-cli convert examples/fandisk.ply -o demo-output/fandisk.obj
	$(BUILD)/src/cli/tessellor-cli convert examples/fandisk.ply -o demo-output/fandisk.pc
	@echo "Written: demo-output/fandisk.obj demo-output/fandisk.pc"

clean:
	rm -rf $(BUILD) demo-output
