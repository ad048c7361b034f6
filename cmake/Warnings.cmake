# Warnings for our own targets; third-party headers come in as SYSTEM includes.
set(TARNWICK_WARNING_FLAGS
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wconversion -Wsign-conversion
  -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(TARNWICK_WARNINGS_AS_ERRORS)
  list(APPEND TARNWICK_WARNING_FLAGS -Werror)
endif()

function(tarnwick_warnings target)
  target_compile_options(${target} PRIVATE ${TARNWICK_WARNING_FLAGS})
endfunction()

# One library of ours, tarnwick_<name> alias tarnwick::<name>: its sources,
# then the libraries it uses PUBLIC and PRIVATE; src/ is the include root.
# With no sources it is a header-only INTERFACE library.
function(tarnwick_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
  set(target tarnwick_${name})
  if(ARG_UNPARSED_ARGUMENTS)
    add_library(${target} STATIC ${ARG_UNPARSED_ARGUMENTS})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
    tarnwick_warnings(${target})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${ARG_PUBLIC})
  endif()
  add_library(tarnwick::${name} ALIAS ${target})
endfunction()
