// A whole data.tvl image: read into entries or refused with the archive's
// fatal report; every entry read is then served as a stream and a buffer.
#include <cstdio>
#include <cstdlib>

#include "fuzz_target.h"
#include "util/data/data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::catchFatalReports();
  const char* path = fuzz::writeScratchFile(data, size);
  data_clear_entries();
  data_mode = DATA_MODE_ARCHIVE;
  try {
    data_read_archive(path);
    for (const auto& entry : data_entries) {
      if (entry->size < 0) std::abort();
      if (FILE* stream = data_open_file(entry->name.c_str())) std::fclose(stream);
      int bytes = -1;
      std::free(data_load_file(entry->name.c_str(), &bytes, false));
    }
  } catch (const fuzz::FatalReport&) {
  }
  data_clear_entries();
  return 0;
}
