# Libraries that the benchmark and the engine tests share: the generator of
# large part-type and decal libraries, and the literal sort (the passes run as
# described, line by line), which the differential test uses as its oracle and
# the benchmark times as a reference. Included from tests/ and from bench/,
# whichever comes first defines them.
include_guard(GLOBAL)

add_library(marrowgate_libgen STATIC ${CMAKE_CURRENT_LIST_DIR}/generator/LibraryGenerator.cpp)
target_include_directories(marrowgate_libgen PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marrowgate_libgen PUBLIC marrowgate_engine)

add_library(marrowgate_literal_sort STATIC ${CMAKE_SOURCE_DIR}/tests/sort/LiteralSort.cpp)
target_include_directories(marrowgate_literal_sort PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(marrowgate_literal_sort PUBLIC marrowgate_engine)
