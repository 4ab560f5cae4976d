# Third-party libraries, all from Debian packages (see scripts/install-deps.sh).
find_package(PkgConfig REQUIRED)
find_package(OpenGL REQUIRED)
find_package(JPEG REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
pkg_check_modules(SDL REQUIRED IMPORTED_TARGET sdl)
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(GLU REQUIRED IMPORTED_TARGET glu)
pkg_check_modules(FTGL REQUIRED IMPORTED_TARGET ftgl)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(TINYXML REQUIRED IMPORTED_TARGET tinyxml2)
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)
pkg_check_modules(KISSFFT REQUIRED IMPORTED_TARGET kissfft-float)
pkg_check_modules(LAME IMPORTED_TARGET lame)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
# The terminal's colours from its terminfo entry.
pkg_check_modules(TINFO REQUIRED IMPORTED_TARGET tinfo)
# Video capture: H.264/AAC in MP4.
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)

# FLTK ships fltk-config rather than a pkg-config file.
find_program(FLTK_CONFIG fltk-config REQUIRED)
execute_process(COMMAND ${FLTK_CONFIG} --cxxflags OUTPUT_VARIABLE FLTK_CXXFLAGS OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${FLTK_CONFIG} --ldflags OUTPUT_VARIABLE FLTK_LDFLAGS OUTPUT_STRIP_TRAILING_WHITESPACE)
separate_arguments(FLTK_CXXFLAGS_LIST UNIX_COMMAND "${FLTK_CXXFLAGS}")
separate_arguments(FLTK_LDFLAGS_LIST UNIX_COMMAND "${FLTK_LDFLAGS}")
list(FILTER FLTK_CXXFLAGS_LIST INCLUDE REGEX "^-I|^-D")

# What each layer may link (see the top CMakeLists.txt). The show core
# takes only the XML parser of the sync configuration.
add_library(kestrune_show_deps INTERFACE)
target_link_libraries(kestrune_show_deps INTERFACE PkgConfig::TINYXML Threads::Threads)

add_library(kestrune_platform_deps INTERFACE)
target_compile_options(kestrune_platform_deps INTERFACE ${FLTK_CXXFLAGS_LIST})
target_link_libraries(kestrune_platform_deps INTERFACE
  PkgConfig::SDL PkgConfig::EPOXY PkgConfig::GLU PkgConfig::FTGL PkgConfig::FREETYPE
  PkgConfig::MPG123 PkgConfig::VORBISFILE PkgConfig::KISSFFT PkgConfig::PULSE
  OpenGL::GL JPEG::JPEG ZLIB::ZLIB ${FLTK_LDFLAGS_LIST} Threads::Threads)

add_library(kestrune_output_deps INTERFACE)
target_link_libraries(kestrune_output_deps INTERFACE kestrune_platform_deps PkgConfig::LIBAV PkgConfig::TINFO)

# Everything at once, for targets that compile the sources themselves.
add_library(kestrune_deps INTERFACE)
target_link_libraries(kestrune_deps INTERFACE kestrune_show_deps kestrune_output_deps)
