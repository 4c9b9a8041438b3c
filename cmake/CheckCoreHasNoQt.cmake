# Fails when a file of trelvo_core includes a Qt header or a widget of
# src/gui: the core stays plain C++, usable by the tool and testable alone.
# Run as: cmake -DCORE_DIR=... -DSTAMP=... -P CheckCoreHasNoQt.cmake
get_filename_component(CORE_DIR ${CORE_DIR} ABSOLUTE)
file(GLOB_RECURSE core_files ${CORE_DIR}/*.h ${CORE_DIR}/*.cpp)
set(offenders "")
foreach(path IN LISTS core_files)
  file(STRINGS ${path} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z0-9_]*[>/]|gui/)")
  foreach(line IN LISTS lines)
    file(RELATIVE_PATH shown ${CORE_DIR} ${path})
    string(STRIP "${line}" line)
    list(APPEND offenders "src/core/${shown}: ${line}")
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " shown)
  message(FATAL_ERROR "src/core must not include Qt or src/gui:\n  ${shown}")
endif()
file(TOUCH ${STAMP})
