# The layers of the source tree, checked over every #include line: run by CTest as
#   cmake -DROOT=<source folder> -P LayerRules.cmake
# A file's layer is its top folder, or <top>/forms for the windows inside a forms/ folder. An
# include names another file by its path from the top; it may reach only the layers below.
# Fails with file:line for every include that crosses the wrong way, and for every include of
# Qt in the core (link, buffer and operations outside their forms/ folders), the command-line
# program and the emulator.
cmake_policy(VERSION 3.25)

set(allowed_link link)
set(allowed_buffer buffer)
set(allowed_operations operations link buffer)
set(allowed_widgets widgets)
set(allowed_link/forms link/forms link widgets)
set(allowed_buffer/forms buffer/forms buffer widgets)
set(allowed_operations/forms operations/forms operations link buffer widgets)
set(allowed_app app operations operations/forms link link/forms buffer buffer/forms widgets)
set(allowed_cli cli operations link buffer)
set(allowed_emulator emulator link buffer)
set(qt_free link buffer operations cli emulator)

function(layer_of path out)
  string(REGEX MATCH "^[^/]+/forms/" forms "${path}")
  if(forms)
    string(REGEX REPLACE "/$" "" forms "${forms}")
    set(${out} ${forms} PARENT_SCOPE)
  else()
    string(REGEX MATCH "^[^/]+" top "${path}")
    set(${out} ${top} PARENT_SCOPE)
  endif()
endfunction()

set(faults "")
foreach(folder link buffer operations widgets app cli emulator)
  file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    layer_of(${source} from)
    file(READ ${ROOT}/${source} text)
    # One list element a line; the characters that a CMake list would take apart go first.
    string(REGEX REPLACE "[][;\\\\]" "_" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+/[^\"]+)\"")
        layer_of(${CMAKE_MATCH_1} to)
        if(NOT to IN_LIST allowed_${from})
          list(APPEND faults "${source}:${number}: ${from} includes ${to} (${CMAKE_MATCH_1})")
        endif()
      elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<(Q[A-Za-z]*)>" AND from IN_LIST qt_free)
        list(APPEND faults "${source}:${number}: ${from} includes Qt (${CMAKE_MATCH_1})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n" report)
  message(FATAL_ERROR "Includes that cross the layers:\n${report}")
endif()
