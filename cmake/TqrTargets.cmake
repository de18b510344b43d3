# Each folder of core/ is an object library of its own, so that a test can be
# linked from exactly the folders it exercises while other folders are being
# worked on. tqrcore bundles all of them into the one static library that the
# programs link.

set(TQR_CORE_DIR ${PROJECT_SOURCE_DIR}/core)

# The time limit of one CTest test unless its registration sets a longer one
# (the soaks, the package build). A test that hangs then fails the run instead
# of stalling CI; the slowest ordinary test takes about a second, and the
# sanitizer builds several times that.
set(TQR_TEST_TIMEOUT 60)
set_property(GLOBAL PROPERTY TQR_CORE_PARTS "")

# tqr_core_part(<folder> [EXCLUDE <file>...]): object library tqr_<folder>
# from every .cpp of core/<folder>.
function(tqr_core_part folder)
    cmake_parse_arguments(ARG "" "NAME" "EXCLUDE;SOURCES" ${ARGN})
    set(name tqr_${folder})
    if(ARG_NAME)
        set(name ${ARG_NAME})
    endif()
    if(ARG_SOURCES)
        set(srcs ${ARG_SOURCES})
    else()
        file(GLOB srcs CONFIGURE_DEPENDS ${TQR_CORE_DIR}/${folder}/*.cpp)
    endif()
    foreach(ex IN LISTS ARG_EXCLUDE)
        list(REMOVE_ITEM srcs ${TQR_CORE_DIR}/${folder}/${ex})
    endforeach()
    if(NOT srcs)
        return()
    endif()
    add_library(${name} OBJECT ${srcs})
    target_include_directories(${name} PUBLIC ${TQR_CORE_DIR})
    target_link_libraries(${name} PUBLIC Threads::Threads PkgConfig::UDEV)
    set_property(TARGET ${name} PROPERTY POSITION_INDEPENDENT_CODE ON)
    set_property(GLOBAL APPEND PROPERTY TQR_CORE_PARTS ${name})
endfunction()

# tqr_objects(<out-var> <part>...): the object files of the named parts that
# exist, for linking a test from part of core.
function(tqr_objects out)
    set(objs "")
    foreach(part IN LISTS ARGN)
        if(TARGET tqr_${part})
            list(APPEND objs $<TARGET_OBJECTS:tqr_${part}>)
        endif()
    endforeach()
    set(${out} ${objs} PARENT_SCOPE)
endfunction()

# tqr_test(<name> [PARTS <part>...] [SOURCES <src>...] [LIBS <lib>...])
# A GoogleTest executable from tests/<dir>/*.cpp (or the given sources),
# linked against the core, registered with CTest. PARTS names the folders of
# core/ the suite exercises; it documents the suite's reach, while the link
# takes the whole core library so that no suite depends on how the folders
# happen to call each other.
function(tqr_test name)
    cmake_parse_arguments(ARG "" "" "PARTS;SOURCES;LIBS" ${ARGN})
    if(ARG_SOURCES)
        set(srcs ${ARG_SOURCES})
    else()
        file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    endif()
    if(NOT srcs)
        return()
    endif()
    add_executable(${name} ${srcs})
    target_include_directories(${name} PRIVATE ${TQR_CORE_DIR} ${PROJECT_SOURCE_DIR}
                                               ${PROJECT_SOURCE_DIR}/tests)
    # Libraries built on the core (the virtual processor, the command line)
    # come before it on the link line.
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} tqrcore GTest::gtest GTest::gtest_main
                                          GTest::gmock Threads::Threads PkgConfig::UDEV)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "TQR905_TEST=1" TIMEOUT ${TQR_TEST_TIMEOUT})
endfunction()
