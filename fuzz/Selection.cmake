# The selection file (.qxs): its reader, its writer read back, and the picture the
# format registry draws from it. Seeds: the tests write one file of each variant to
# build/tests/tmp/selection/fuzz-seeds (SelectionFile.WritesTheFuzzSeeds).
qm_add_fuzzer(fuzz_selection_file ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_selection_file.cpp
              LIBS qm_document qm_document_qt)
