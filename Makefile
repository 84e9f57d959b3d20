# Set-up, build, run and test on Debian 12. `make run` plays, `make test` runs every test.
BUILD ?= build
CMAKE_FLAGS ?=
CTEST_FLAGS ?=

.PHONY: run test build configure deps bench clean

run: build
	@$(BUILD)/kestrin

test: build
	ctest --test-dir $(BUILD) --output-on-failure $(CTEST_FLAGS)

# Every benchmark; the game's needs a display, so it gets a private Xvfb.
bench: build
	$(BUILD)/bench/bench_scores
	xvfb-run -a $(BUILD)/bench/bench_game
	$(BUILD)/bench/bench_startup

build: configure
	cmake --build $(BUILD) --parallel

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

deps:
	@tools/install-deps.sh

clean:
	rm -rf $(BUILD)
