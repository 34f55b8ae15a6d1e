tunemill_fuzzer(modinfo tunemill_archive tunemill_support)
# The track list is one file of the director, whose library needs every other subsystem.
target_sources(fuzz_modinfo PRIVATE ${CMAKE_SOURCE_DIR}/src/director/modinfo.cpp)
