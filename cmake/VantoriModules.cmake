# Every folder of src/ is one static library (vantori_<folder>), so a half-finished
# unit in one subsystem never stops another subsystem from building. vantori_core
# gathers the display-free ones; vantori_gui gathers the Qt ones.
#
# vantori_module(NAME <folder> [QT] [DEPS <targets...>])
#   sources: every .cpp of src/<folder>, without those in src/<folder>/qt/
#   QT:      the module is a Qt one and takes every .cpp of the folder and of qt/
function(vantori_module)
  cmake_parse_arguments(M "QT" "NAME" "DEPS" ${ARGN})
  set(dir ${PROJECT_SOURCE_DIR}/src/${M_NAME})
  if(M_QT)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    file(GLOB_RECURSE hdrs CONFIGURE_DEPENDS ${dir}/*.h ${dir}/*.qrc)
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    file(GLOB hdrs CONFIGURE_DEPENDS ${dir}/*.h)
  endif()
  set(target vantori_${M_NAME})
  if(NOT srcs)
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${M_DEPS})
    return()
  endif()
  add_library(${target} STATIC ${srcs} ${hdrs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${M_DEPS})
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# vantori_test(NAME <name> SOURCES <files...> DEPS <targets...>)
function(vantori_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;DEPS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
