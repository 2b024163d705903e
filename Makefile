# The two commands of the README: `make demo` and `make test`. Both install what is missing first.
.PHONY: all setup build asan test demo win32 format format-check clean

all: build

setup:
	@tools/setup.sh base

build: setup
	@cmake --preset default >/dev/null
	@cmake --build --preset default

asan: setup
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan

# Both builds and the 64-bit Windows build, then every test of both; the unsanitized tests run
# the Windows build under Wine beside the native program. Ends with CTest's summary line.
test: build asan
	@tools/setup.sh win32
	@tools/setup.sh wine
	@tools/setup.sh browser
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64 -j2
	@ctest --preset default -j2
	@ctest --preset asan -j2

demo: build
	@tools/demo.sh

win32:
	@tools/setup.sh win32
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j2
	@cmake --preset win64 >/dev/null
	@cmake --build --preset win64 -j2

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: setup
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf build build-asan build-win32 build-win64 demo-out
