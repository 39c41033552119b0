# The generator of large part-type and decal libraries, shared by the
# benchmark and the engine tests. Included from tests/ and from bench/,
# whichever comes first defines it.
include_guard(GLOBAL)

add_library(marrowgate_libgen STATIC ${CMAKE_CURRENT_LIST_DIR}/generator/LibraryGenerator.cpp)
target_include_directories(marrowgate_libgen PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marrowgate_libgen PUBLIC marrowgate_engine)
