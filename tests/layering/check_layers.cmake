# Fails when a source file includes a folder above its own layer or a sibling
# family: link <- drivelink <- common <- servo (<- tuning), inverter, speedctl
# <- main; sim uses only link. Quoted and angle-bracket includes count alike,
# since every target has the source root on its include path. A top folder
# with sources that this check does not know fails it too, so a new library
# cannot slip past unchecked.
# cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed_link link)
set(allowed_drivelink link drivelink)
set(allowed_common link drivelink common)
set(allowed_servo link drivelink common servo)
set(allowed_tuning link drivelink common servo tuning)
set(allowed_inverter link drivelink common inverter)
set(allowed_speedctl link drivelink common speedctl)
set(allowed_main link drivelink common servo tuning inverter speedctl main)
set(allowed_sim link sim)
set(layered link drivelink common servo tuning inverter speedctl main sim)
# Folders that may include any layer: they sit above the program.
set(unlayered tests bench)
set(project_folders ${layered} ${unlayered})
set(source_globs *.h *.hpp *.cpp *.cc *.c)

set(violations "")

# Every top folder that holds sources must be known. Build trees and hidden
# folders hold none of ours.
file(GLOB top_entries LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(entry IN LISTS top_entries)
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${entry}" OR entry MATCHES "^(build|\\.)" OR entry IN_LIST project_folders)
    continue()
  endif()
  list(TRANSFORM source_globs PREPEND "${SOURCE_DIR}/${entry}/" OUTPUT_VARIABLE globs)
  file(GLOB_RECURSE sources ${globs})
  if(sources)
    string(APPEND violations "  ${entry}/: a source folder the layering check does not know\n")
  endif()
endforeach()

foreach(folder IN LISTS layered)
  list(TRANSFORM source_globs PREPEND "${SOURCE_DIR}/${folder}/" OUTPUT_VARIABLE globs)
  file(GLOB_RECURSE files ${globs})
  foreach(f IN LISTS files)
    file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">/]+/")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">/]+)/.*" "\\1" target "${line}")
      if(target IN_LIST project_folders AND NOT target IN_LIST allowed_${folder})
        file(RELATIVE_PATH rel "${SOURCE_DIR}" "${f}")
        string(STRIP "${line}" line)
        string(APPEND violations "  ${rel}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes that point up a layer or across families:\n${violations}")
endif()
message(STATUS "Every include points down a layer.")
