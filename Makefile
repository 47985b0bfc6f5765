# Mirelune PDF Converter — the two commands of the README and a few helpers.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
GENERATOR ?= Ninja
# ccache (when installed) shares its cache between clones of this tree.
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1

.PHONY: all deps configure build run test test-sanitize format format-check clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# With a display: the desktop application. Without one: sample documents
# converted end to end through the self-hosted service.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD_DIR)/src/app/mirelune ]; then \
	  echo "make run: starting the desktop application"; \
	  $(BUILD_DIR)/src/app/mirelune; \
	else \
	  bash scripts/run-samples.sh $(BUILD_DIR); \
	fi

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The whole suite built with AddressSanitizer and UBSan in its own folder. Leak
# reports are off: the toolkit's caches live until exit by design.
SANITIZE_DIR ?= build-sanitize
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -g1" \
	  -DMIRELUNE_SANITIZE=ON -DMIRELUNE_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS) --timeout 900

SOURCES = find src tests bench service \( -name '*.cpp' -o -name '*.h' \) -print0

# Formats the whole tree with the project's .clang-format.
format: deps
	@$(SOURCES) | xargs -0 -r clang-format -i

# Fails on any file that `make format` would change.
format-check: deps
	@$(SOURCES) | xargs -0 -r clang-format --dry-run --Werror && echo "format-check: clean"

clean:
	@rm -rf $(BUILD_DIR)
