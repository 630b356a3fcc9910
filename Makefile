# The two commands: "make run" builds and runs the demo, "make test" builds
# and runs the whole test suite. Both first install whatever Debian
# packages are missing.

BUILD := build
SANITIZE_BUILD := build-sanitize
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 60
PACKAGES := cmake g++ make pkg-config libsdl1.2-dev libsdl-image1.2-dev \
	libsdl-mixer1.2-dev libsdl-ttf2.0-dev libgif-dev libgl-dev libglu1-mesa-dev \
	libgl1-mesa-dri libpng-dev fonts-dejavu-core libgtest-dev xvfb python3 python3-xlib \
	python3-pil dpkg-dev libsdl2-2.0-0 valgrind clang libclang-rt-dev file \
	openbox xdotool wmctrl build-essential debhelper lintian appstream man-db \
	libavcodec-dev libavformat-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
# The browser build and its test: Emscripten, and headless Chromium driven
# by Selenium. Installed by "make test" and "make web" where the release
# has them; without them the web pages are left out and their test skipped.
WEB_PACKAGES := emscripten chromium chromium-driver python3-selenium
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all run test build deps web-deps assets package bench live video web clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		$(SUDO) apt-get update && \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	fi

web-deps:
	@missing=""; \
	for p in $(WEB_PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing for the web build:$$missing"; \
		{ $(SUDO) apt-get update && \
		  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; } || \
		echo "The web build's packages did not install: its pages are left out"; \
	fi

build: deps
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j $$(nproc)

# On a desktop, the window opens here; without a display the demo runs for
# a few seconds on a private X server.
run: build
	@if [ -n "$$DISPLAY" ]; then ./$(BUILD)/Pellacorn; \
	else scripts/run-headless $(BUILD)/Pellacorn $(BUILD)/libpellacorn_spy.so out; fi

# Ten seconds of the demo with its music, frame for frame, into
# out/pellacorn.mp4 (build/pellacorn-capture --help for more).
video: build
	mkdir -p out
	./$(BUILD)/pellacorn-capture out/pellacorn.mp4

# The whole suite: the plain build's tests (on SDL 1.2 and on sdl12-compat,
# with memcheck and a soak run), the same tests built with ASan and UBSan,
# then each fuzzer for FUZZ_SECONDS. The sanitizer pass leaves out what
# tests no code of ours: the second SDL, installing, the headless capture,
# and the corpus for the libraries' own loaders (whose known crashes ASan
# would report instead of letting them show as signals); and the tests
# that build scenes on the installed kit, whose libraries would then need
# the sanitizers' runtime (the live host's own unit test stays in).
test: web-deps build
	cd $(BUILD) && ctest --output-on-failure -j $$(nproc)
	cmake -S . -B $(SANITIZE_BUILD) -DPELLACORN_SANITIZE=ON -DPELLACORN_WEB=OFF
	cmake --build $(SANITIZE_BUILD) -j $$(nproc)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $$(nproc) -E '_compat|install|headless|loaders|^live$$'
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DPELLACORN_FUZZ=ON \
		-DPELLACORN_FUZZ_SECONDS=$(FUZZ_SECONDS) -DPELLACORN_WEB=OFF
	cmake --build $(FUZZ_BUILD) -j $$(nproc) --target fuzz_icon fuzz_overlay fuzz_update
	cd $(FUZZ_BUILD) && ctest --output-on-failure -j $$(nproc)

# The demo in the live program: each save of src/app.cpp (or of a header
# it includes) is rebuilt and swapped into the running window.
live: build
	@[ -n "$$DISPLAY" ] || { echo "make live: needs a display, and DISPLAY is not set" >&2; exit 2; }
	./$(BUILD)/pellacorn-live

# The demo as a web page, in out/web/, served on 127.0.0.1 to open it.
web: web-deps build
	@cmake --build $(BUILD) --target pellacorn-web || { echo "make web: no page was built;" \
		"the configure step's line \"pellacorn-web is left out\" says why" >&2; exit 1; }
	rm -rf out/web && mkdir -p out/web
	cp $(BUILD)/src/pellacorn-web/pellacorn.* out/web/
	@echo "The demo's page is in out/web/. To open it:"
	@echo "  python3 -m http.server --bind 127.0.0.1 --directory out/web 8000"
	@echo "then http://127.0.0.1:8000/pellacorn.html in a browser."

# The frame-loop benchmark (bench/run_bench.py says how to read it).
bench: build
	/usr/bin/python3 bench/run_bench.py $(BUILD)
	/usr/bin/python3 bench/capture_bench.py $(BUILD)
	@if [ -e $(BUILD)/src/pellacorn-web/pellacorn.html ]; then \
		/usr/bin/python3 bench/web_bench.py $(BUILD); fi

# Rewrite the committed logos, icon and module from tools/.
assets: build
	cmake --build $(BUILD) --target assets

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)

# The Debian packages of the program (pellacorn), of the kit for scenes
# (pellacorn-dev) and of the program's debugging symbols, built as Debian
# builds them, on a copy of the tree, in build/package/.
package: deps
	scripts/debian-packages $(BUILD)/package
