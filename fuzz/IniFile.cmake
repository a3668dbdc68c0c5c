qm_add_fuzzer(fuzz_ini IniFile_fuzz.cpp LIBS qm_shell)
qm_add_fuzzer(fuzz_format Format_fuzz.cpp LIBS qm_texts)
