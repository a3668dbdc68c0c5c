# The layered file (.qxi): its reader (with the PNG and GIF layer codecs of older
# files) and its thumbnail reader. Seeds: the tests write them to
# build/tests/tmp/layeredfile/fuzz-seeds (LayeredFile.WritesTheFuzzSeeds).
qm_add_fuzzer(fuzz_layered_file ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_layered_file.cpp LIBS qm_imagefiles)
qm_add_fuzzer(fuzz_layered_thumbnail ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_layered_thumbnail.cpp LIBS qm_imagefiles)
