# A library made of every .cpp/.h directly in the calling folder.
# New files are picked up at the next build without editing any CMakeLists.
function(duvo_library name)
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp "// nothing here yet\n")
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  # A header that appears later (a new window) must make moc run again. The moc step only
  # reruns when a file it already knew changes, so when the list of headers changes, drop its
  # timestamp; otherwise an incremental build keeps the old moc list and fails to link.
  set(headers ${sources})
  list(FILTER headers INCLUDE REGEX "\\.h$")
  string(JOIN "\n" header_text ${headers})
  set(header_list ${CMAKE_CURRENT_BINARY_DIR}/${name}_headers.txt)
  set(known_headers "")
  if(EXISTS ${header_list})
    file(READ ${header_list} known_headers)
  endif()
  if(NOT known_headers STREQUAL header_text)
    file(WRITE ${header_list} "${header_text}")
    file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/timestamp)
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()
