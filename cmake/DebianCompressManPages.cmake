# CPack runs this after installing the components into its staging folders and before packing
# them: Debian ships manual pages compressed, with gzip -9 and no time stamp.
file(GLOB_RECURSE _velmor_man_pages LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER _velmor_man_pages INCLUDE REGEX "/share/man/([a-z_A-Z@.]+/)?man[1-9][^/]*/[^/]+\\.[1-9][a-z]*$")
foreach(_page IN LISTS _velmor_man_pages)
  execute_process(COMMAND gzip -9nf "${_page}" RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR "gzip ${_page} failed")
  endif()
endforeach()
