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
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()
