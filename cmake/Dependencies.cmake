# Every outside library, found once through pkg-config and offered as an imported target.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(OPENMPT REQUIRED IMPORTED_TARGET libopenmpt)
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(GL REQUIRED IMPORTED_TARGET gl)
pkg_check_modules(GLU REQUIRED IMPORTED_TARGET glu)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET imgui)
# The cursor query on X11, and the tests (a connection held open so that Xvfb does not reset between runs).
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)

# giflib ships no pkg-config file.
find_path(GIF_INCLUDE_DIR gif_lib.h REQUIRED)
find_library(GIF_LIBRARY gif REQUIRED)
add_library(Tunemill::gif INTERFACE IMPORTED)
target_include_directories(Tunemill::gif INTERFACE ${GIF_INCLUDE_DIR})
target_link_libraries(Tunemill::gif INTERFACE ${GIF_LIBRARY})

# The SDL2 and OpenGL2 backends of Dear ImGui ship as sources.
set(IMGUI_BACKEND_DIR /usr/share/doc/libimgui-dev/examples/backends)
