# Settings shared by every Windows binary of the project: statically linked runtime (so only
# system DLLs are imported), no exceptions or RTTI, ASLR and DEP, and a size-optimised,
# stripped release.

# Reproducible images, for every Windows binary of the build (the radio library sets its own link
# flags, so these are directory-wide): no link time in the PE header, and no path of the source
# or build tree in anything the compiler records.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>"
                    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")

# The product version, from project(VERSION) in the root CMakeLists.txt, for version resources.
set(vantrel_version_parts ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR}
                          ${PROJECT_VERSION_PATCH} ${PROJECT_VERSION_TWEAK})
list(LENGTH vantrel_version_parts vantrel_version_count)
while(vantrel_version_count LESS 4)
  list(APPEND vantrel_version_parts 0)
  math(EXPR vantrel_version_count "${vantrel_version_count} + 1")
endwhile()
list(JOIN vantrel_version_parts "." VANTREL_VERSION_TEXT)
list(JOIN vantrel_version_parts "," vantrel_version_numbers)

function(vantrel_windows_binary target)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
                                           -ffunction-sections -fdata-sections)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                               _WIN32_WINNT=0x0602)
  # VANTREL_VERSION is one preprocessing number (1.0.0.0) that a resource script can turn into
  # text; VANTREL_VERSION_NUMBERS the four numeric fields.
  target_compile_definitions(${target} PRIVATE
    "$<$<COMPILE_LANGUAGE:RC>:VANTREL_VERSION=${VANTREL_VERSION_TEXT}>"
    "$<$<COMPILE_LANGUAGE:RC>:VANTREL_VERSION_NUMBERS=${vantrel_version_numbers}>")
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -municode
                                        -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat -s)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
  endif()
endfunction()
