# The logger benchmark runs the same workload through spdlog for comparison.
find_package(spdlog REQUIRED)
target_link_libraries(Logger_bench PRIVATE spdlog::spdlog)
