#include "show_archive.h"

#include "util/data/data.h"

ShowArchive::ShowArchive() {
  data_mode = DATA_MODE_ARCHIVE;
  data_open_archive();
}

ShowArchive::ShowArchive(const std::string& path) {
  data_mode = DATA_MODE_ARCHIVE;
  data_clear_entries();
  data_read_archive(path.c_str());
}

ShowArchive::~ShowArchive() { data_remove_temp_files(); }
