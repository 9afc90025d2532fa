# Run by CPack after the packages are made (CPACK_POST_BUILD_SCRIPTS). The package of
# debug symbols CPack makes beside the program's lists its files under the build
# folder's paths in md5sums and has no copyright or changelog, so lintian refuses it.
# It is unpacked, its documentation folder made a link to the program package's, its
# md5sums and size made again from what it holds, and packed again in its place.
#
# From CPack: CPACK_PACKAGE_FILES (the packages made), CPACK_TOBREL_PACKAGE (the
# program package's name), CPACK_DEBIAN_COMPRESSION_TYPE.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.ddeb$")
    continue()
  endif()
  get_filename_component(folder "${package}" DIRECTORY)
  set(tree "${folder}/repair-debug-package")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot unpack ${package}")
  endif()
  execute_process(COMMAND dpkg-deb -f "${package}" Package OUTPUT_VARIABLE name OUTPUT_STRIP_TRAILING_WHITESPACE)

  # Its documentation is the program's: the folder is a link to the program package's
  # (which it depends on at the same version), as Debian's own symbol packages do.
  file(MAKE_DIRECTORY "${tree}/usr/share/doc")
  file(CREATE_LINK "${CPACK_TOBREL_PACKAGE}" "${tree}/usr/share/doc/${name}" SYMBOLIC)
  # Symbol files are read, never run.
  file(GLOB_RECURSE symbols "${tree}/usr/lib/debug/*.debug")
  foreach(file IN LISTS symbols)
    file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()

  # md5sums: every file (not the link) under its path in the package, as dpkg lists them.
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/usr/*")
  list(SORT files)
  set(sums "")
  set(bytes 0)
  foreach(file IN LISTS files)
    if(IS_SYMLINK "${tree}/${file}")
      continue()
    endif()
    file(MD5 "${tree}/${file}" sum)
    string(APPEND sums "${sum}  ${file}\n")
    file(SIZE "${tree}/${file}" size)
    math(EXPR bytes "${bytes} + (${size} + 1023) / 1024 * 1024")
  endforeach()
  file(WRITE "${tree}/DEBIAN/md5sums" "${sums}")
  file(CHMOD "${tree}/DEBIAN/md5sums" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  math(EXPR kib "${bytes} / 1024")
  file(READ "${tree}/DEBIAN/control" control)
  string(REGEX REPLACE "Installed-Size: [0-9]+" "Installed-Size: ${kib}" control "${control}")
  file(WRITE "${tree}/DEBIAN/control" "${control}")

  set(compression ${CPACK_DEBIAN_COMPRESSION_TYPE})
  if(NOT compression)
    set(compression xz)
  endif()
  execute_process(COMMAND dpkg-deb --root-owner-group -Z${compression} -b "${tree}" "${package}"
                  OUTPUT_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot pack ${package} again")
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
