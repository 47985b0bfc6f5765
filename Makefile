# Mirelune PDF Converter — the two commands of the README and a few helpers.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
GENERATOR ?= Ninja

.PHONY: all deps configure build run test format clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The desktop application does not exist yet: run the command-line front end.
run: build
	@echo "make run: the desktop application is not built yet; running mirelune-cli --version"
	@$(BUILD_DIR)/src/cli/mirelune-cli --version

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

format:
	@find src tests bench service -name '*.cpp' -o -name '*.h' 2>/dev/null | xargs -r clang-format -i

clean:
	@rm -rf $(BUILD_DIR)
