# Platform code lives in files of its own, NameWindows.cpp and NamePosix.cpp; this keeps the
# ones of the platform being built from a list of sources.
function(velmor_keep_platform_sources sources_var)
  if(WIN32)
    list(FILTER ${sources_var} EXCLUDE REGEX "Posix\\.cpp$")
  else()
    list(FILTER ${sources_var} EXCLUDE REGEX "Windows\\.cpp$")
  endif()
  set(${sources_var} ${${sources_var}} PARENT_SCOPE)
endfunction()
