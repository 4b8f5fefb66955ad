# Shortcuts over the CMake presets; see README.md.
.PHONY: all test demo dist

all:
	scripts/install-deps.sh
	cmake --preset windows
	cmake --build --preset windows

test:
	scripts/test.sh

demo:
	scripts/demo.sh

dist:
	scripts/install-deps.sh
	cmake --preset windows
	cmake --build --preset windows --target dist
