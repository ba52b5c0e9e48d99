# The downloader's benchmarks (built by the `benchmarks` target, never by
# default):
#   json_reader_bench            the JSON reader against a well-known JSON
#                                library on the same generated documents;
#   download_bench.sh            downloadToMemory (download_bench_client)
#                                against a bare WinINet loop
#                                (wininet_loop_bench_client) and curl on the
#                                same body.

# The library is Debian's nlohmann-json3-dev (bench only), exposed alone
# through a folder of the build tree so that nothing else of /usr/include
# reaches a MinGW build.
find_path(VANTOR_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(VANTOR_NLOHMANN_INCLUDE)
  set(nlohmann_only ${CMAKE_CURRENT_BINARY_DIR}/nlohmann-include)
  file(MAKE_DIRECTORY ${nlohmann_only})
  file(CREATE_LINK ${VANTOR_NLOHMANN_INCLUDE}/nlohmann ${nlohmann_only}/nlohmann SYMBOLIC)
  add_executable(json_reader_bench EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/json_reader_bench.cpp)
  target_include_directories(json_reader_bench SYSTEM PRIVATE ${nlohmann_only})
  target_link_libraries(json_reader_bench PRIVATE updater_download_core)
  add_dependencies(benchmarks json_reader_bench)
else()
  message(STATUS "nlohmann/json.hpp not found: the JSON reader benchmark is not built")
endif()

# Not named *_bench: it needs the URL that download_bench.sh gives it.
add_executable(download_bench_client EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/download_bench_client.cpp)
target_link_libraries(download_bench_client PRIVATE updater_download)
vantor_wide_entry(download_bench_client)
add_dependencies(benchmarks download_bench_client)

# The bare WinINet loop that download_bench.sh takes as the second baseline:
# the same request flags and read size as the downloader (hence the headers
# of updater_download), nothing of the downloader's own.
add_executable(wininet_loop_bench_client EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/wininet_loop_bench_client.cpp)
target_link_libraries(wininet_loop_bench_client PRIVATE updater_download)
vantor_wide_entry(wininet_loop_bench_client)
add_dependencies(benchmarks wininet_loop_bench_client)
