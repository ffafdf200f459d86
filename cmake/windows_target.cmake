# Settings shared by every Windows binary of the project: statically linked runtime (so only
# system DLLs are imported), no exceptions or RTTI, ASLR and DEP, and a size-optimised,
# stripped release.
function(vantrel_windows_binary target)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
                                           -ffunction-sections -fdata-sections)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                               _WIN32_WINNT=0x0602)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -municode
                                        -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat -s)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
  endif()
endfunction()
