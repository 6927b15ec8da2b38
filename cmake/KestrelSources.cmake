# Collects the .cpp files lying directly in each of the given folders.
function(kestrel_sources out)
  set(all "")
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
    list(APPEND all ${found})
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# Keeps the files of the platform being built for: the Win32* files on Windows; elsewhere the
# Posix* files, the tty driver, its rights hint, the port-name aliases, the port list and the
# file I/O over POSIX calls.
function(kestrel_platform_filter var)
  set(files ${${var}})
  if(WIN32)
    foreach(posix IN ITEMS link/PosixSerialDriver.cpp link/PortNames.cpp link/PortList.cpp link/DeviceAccess.cpp
                           buffer/FileIo.cpp)
      list(REMOVE_ITEM files ${CMAKE_SOURCE_DIR}/${posix})
    endforeach()
    list(FILTER files EXCLUDE REGEX "/Posix[^/]*$")
  else()
    list(FILTER files EXCLUDE REGEX "/Win32[^/]*$")
  endif()
  set(${var} ${files} PARENT_SCOPE)
endfunction()
