#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The entry point every fuzz target defines, under libFuzzer's name. The same
// target links either with libFuzzer (scripts/fuzz.sh, clang) or with
// replay_main.cpp, which feeds it the stored corpus in the normal test run.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// A fatal report (ErrorBox): ends one input instead of the process.
struct FatalReport {
  std::string text;
};

// Installs a box presenter that throws FatalReport for fatal boxes (titled
// "Error...") and lets the decoders' plain, non-fatal boxes pass. With
// KESTRUNE_FUZZ_VERBOSE set, every box is also printed to standard error.
void catchFatalReports();

// Writes the input to this process's scratch file and returns its path.
const char* writeScratchFile(const uint8_t* data, size_t size);

// A file under tests/fuzz/ (NAME relative to it), for targets that need
// fixed companions beside their input.
std::string readFixture(const char* name);

}  // namespace fuzz
