# Shortcuts over the CMake presets; see README.md.
.PHONY: all test demo dist

# Builds only: installing what the build needs is scripts/install-deps.sh's
# job (the test, demo and dist targets run it).
all:
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
