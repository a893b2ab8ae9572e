# The font tests open the TIFF images that the jobs write with libtiff.
find_package(TIFF REQUIRED)
target_link_libraries(locbench_tests PRIVATE TIFF::TIFF)
