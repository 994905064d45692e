# One library per layer, and the build enforces who may include whom.
#
# No folder of the tree is on any include path. Instead each library publishes the headers of
# its own folder under build/include/<library>/<folder>/ (links to the sources), so that
# `#include "encoding/ber_tags.h"` resolves only in a target that links the library owning
# encoding/. An include of a layer that a target does not link fails to compile.

# kivostrel_publish_headers(<target> <folder> [PRIVATE] [HEADERS <name>...]): the headers directly
# in <folder> (not its subfolders, which belong to libraries of their own), or only the named
# ones, become reachable as "<folder>/<name>.h" for <target> and, unless PRIVATE, for everything
# that links it.
function(kivostrel_publish_headers target folder)
  cmake_parse_arguments(arg "PRIVATE" "" "HEADERS" ${ARGN})
  set(source ${PROJECT_SOURCE_DIR}/${folder})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  set(headers ${arg_HEADERS})
  if(NOT headers)
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${source} ${source}/*.h)
  endif()
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  foreach(header IN LISTS headers)
    file(CREATE_LINK ${source}/${header} ${root}/${folder}/${header} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  elseif(arg_PRIVATE)
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
