# Embeds the Kel library into the executable: reads the manifest
# (environment/library/boot-order) and writes one C++ source that holds every listed
# file's bytes, in manifest order, as the table `library::pieces`.
#
#   cmake -DMANIFEST=<boot-order> -DSOURCE_DIR=<source root> -DOUTPUT=<file.cpp> -P embed-library.cmake
#
# Manifest lines: a file (Kel code, evaluated at start-up), "@step" (a
# start-up step done in C++ at that place) or "@step file" (a C++ step given
# that file's values as data). A bare file name is in the manifest's own
# folder; a name with a "/" is a path from the source root (console/console.kel). Blank lines and lines starting with "#" are
# comments. Runs with CMake alone, so the build needs no other tool.
file(STRINGS "${MANIFEST}" lines)
get_filename_component(manifest_dir "${MANIFEST}" DIRECTORY)
set(arrays "")
set(entries "")
set(index 0)
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  set(step "")
  set(name "${line}")
  if(line MATCHES "^@([^ \t]+)[ \t]*(.*)$")
    set(step "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
  endif()
  if(name STREQUAL "")
    string(APPEND entries "    {\"${step}\", nullptr, nullptr, 0},\n")
  else()
    if(name MATCHES "/")
      set(path "${SOURCE_DIR}/${name}")
    else()
      set(path "${manifest_dir}/${name}")
    endif()
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "boot-order names ${name}, which is not at ${path}")
    endif()
    file(READ "${path}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND arrays "const unsigned char piece_${index}[] = {${bytes}0x00};\n")
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(APPEND entries "    {\"${step}\", \"${name}\", piece_${index}, ${size}},\n")
  endif()
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
"// Generated from environment/library/boot-order by tools/embed-library.cmake: do not edit.
#include \"environment/boot/library-image.h\"

namespace kel::library {

namespace {
${arrays}}  // namespace

const Piece pieces[] = {
${entries}};
const int piece_count = ${index};

}  // namespace kel::library
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
