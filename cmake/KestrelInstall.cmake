# Installs `file` compressed into `destination`, as Debian keeps manual pages and changelogs:
# gzip -9n, so that no name or time stamp inside makes two builds differ.
function(kestrel_install_gzipped file destination)
  get_filename_component(name ${file} NAME)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/gzipped/${name})
  add_custom_command(OUTPUT ${copy}.gz
                     COMMAND ${CMAKE_COMMAND} -E copy ${file} ${copy}
                     COMMAND gzip -9nf ${copy}
                     DEPENDS ${file} VERBATIM)
  add_custom_target(gzip_${name} ALL DEPENDS ${copy}.gz)
  install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()

# A manual page of section 1 (a path relative to the current source folder, or absolute), compressed.
function(kestrel_install_manual page)
  get_filename_component(path ${page} ABSOLUTE)
  kestrel_install_gzipped(${path} ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
