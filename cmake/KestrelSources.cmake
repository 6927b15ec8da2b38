# Collects the .cpp files lying directly in each of the given folders.
function(kestrel_sources out)
  set(all "")
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
    list(APPEND all ${found})
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# Keeps the files of the platform being built for: a file whose name starts with Win32 is built
# for Windows only, one whose name starts with Posix everywhere else.
function(kestrel_platform_filter var)
  set(files ${${var}})
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "/Posix[^/]*$")
  else()
    list(FILTER files EXCLUDE REGEX "/Win32[^/]*$")
  endif()
  set(${var} ${files} PARENT_SCOPE)
endfunction()

# A target that keeps a copy of help/ in `destination`, refreshed when a page changes.
function(kestrel_copy_help target destination)
  file(GLOB pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/help/*)
  set(copies "")
  foreach(page IN LISTS pages)
    get_filename_component(name ${page} NAME)
    add_custom_command(OUTPUT ${destination}/${name} COMMAND ${CMAKE_COMMAND} -E copy ${page} ${destination}/${name}
                       DEPENDS ${page} VERBATIM)
    list(APPEND copies ${destination}/${name})
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${copies})
endfunction()
