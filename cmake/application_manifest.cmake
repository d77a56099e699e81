# velda_application_manifest(<target> <manifest> <rc>): the executable declares what its
# application manifest says (its DPI awareness): windres embeds it through <rc> for mingw-w64,
# the manifest tool for MSVC, and on winsim the same file gives each process that awareness.
# A macro, so that enable_language runs in the directory's own scope.
macro(velda_application_manifest target manifest rc)
  if(WIN32 AND MINGW)
    enable_language(RC)
    target_sources(${target} PRIVATE ${rc})
  elseif(WIN32 AND MSVC)
    target_sources(${target} PRIVATE ${manifest})
  elseif(NOT WIN32)
    winsim_application_manifest(${target} ${manifest})
  endif()
endmacro()
