# orva_core_library(<name> [DEPENDS <target>...])
# The folder's sources become the static library orva_<name>; its headers are reached from src/
# ("core/app/AppSettings.h"). Every core library joins orva_core, the one target the front ends link.
function(orva_core_library name)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_library(orva_${name} STATIC ${_sources})
    target_include_directories(orva_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(orva_${name} PUBLIC ${ARG_DEPENDS} Threads::Threads)
    target_link_libraries(orva_core INTERFACE orva_${name})
endfunction()
