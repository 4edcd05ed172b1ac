# The web preset's toolchain: Emscripten's own toolchain file, found beside
# the emcc on the PATH, so that the same preset works with Debian's
# emscripten package and with any other installation.
find_program(KAPOLEX_EMCC emcc)
if(NOT KAPOLEX_EMCC)
  message(FATAL_ERROR "The web build needs emcc on the PATH (Debian: apt-get install emscripten)")
endif()
get_filename_component(kapolex_emscripten_root "${KAPOLEX_EMCC}" REALPATH)
get_filename_component(kapolex_emscripten_root "${kapolex_emscripten_root}" DIRECTORY)
include("${kapolex_emscripten_root}/cmake/Modules/Platform/Emscripten.cmake")

# emcc's link step runs node scripts that need the acorn module. Debian
# installs node modules in a folder of its own, which only Debian's node
# searches by itself; another node first on the PATH needs NODE_PATH.
find_path(KAPOLEX_NODE_MODULES acorn/package.json
          PATHS /usr/share/nodejs /usr/lib/nodejs NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(KAPOLEX_NODE_MODULES)
  set(ENV{NODE_PATH} "${KAPOLEX_NODE_MODULES}")
  set(CMAKE_CXX_LINKER_LAUNCHER "${CMAKE_COMMAND}" -E env "NODE_PATH=${KAPOLEX_NODE_MODULES}")
endif()
