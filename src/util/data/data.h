#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Every data file of the show is read through these functions, by its path
// relative to the data root ("data/textdance/dance1.raw"). Where the bytes
// come from is decided once by data_mode:
//   DATA_MODE_DISK     loose files, relative to the working directory;
//   DATA_MODE_ARCHIVE  the entries read from "data.tvl" at start-up;
//   DATA_MODE_PACK     loose files, each first load also recorded so that
//                      data_write_archive can write a new "data.tvl".
// A name that cannot be found gives null and no message; every other failure
// is fatal (ErrorBox, exit code 1).

enum { DATA_MODE_DISK = 0, DATA_MODE_ARCHIVE = 1, DATA_MODE_PACK = 2 };

extern int data_mode;

// One file held in memory; lives until the process ends (or the entries are
// cleared) and owns its bytes.
struct DataEntry {
  DataEntry(std::string entryName, int entrySize, char* entryData)
      : name(std::move(entryName)), size(entrySize), data(entryData) {}
  ~DataEntry() { std::free(data); }
  DataEntry(const DataEntry&) = delete;
  DataEntry& operator=(const DataEntry&) = delete;

  std::string name;  // exactly as callers spell it
  int size;          // bytes in data
  char* data;        // malloc'd
};

// Archive order when read, first-load order in pack mode.
extern std::vector<std::unique_ptr<DataEntry>> data_entries;

// The path of every temporary file this module created, in creation order.
// Each is unlinked the moment it is open (its stream keeps working until
// fclose), so nothing is left on disk however the process ends; the names
// are kept as a record only and are never touched again.
extern std::vector<std::string> data_temp_files;

// Where pack-mode log lines go (standard output; null silences them).
extern FILE* data_log_output;

// Archive mode: reads "data.tvl" into data_entries, from the working
// directory when it is there, else from beside the program or from the
// installation's data directory (see archive_search.h); the fatal message
// for a missing archive names every place looked at. Other modes: returns
// at once.
void data_open_archive();

// Reads the archive at `path` into data_entries whatever the mode (the tools
// and data_open_archive use it). Messages name `path`.
void data_read_archive(const char* path);

// A stream open for binary reading at offset 0, or null when there is no such
// file (loose files: nor a regular file of that name; an empty one is a file). The caller closes it with fclose.
FILE* data_open_file(const char* name);

// The whole file in a malloc'd buffer (the caller frees it), or null when
// there is no such file. `size` (may be null) receives the byte count. With
// `terminate`, files read from disk end with one 0 byte, counted (appended
// unless the file already ends with one); archive entries come back exactly
// as stored.
char* data_load_file(const char* name, int* size, bool terminate);

// Pack mode: writes every entry to "data.tvl" in the working directory and
// logs statistics. Other modes: returns at once.
void data_write_archive();

// Writes every entry as an archive to `target` whatever the mode (the
// archive tool writes into a file that appears only when complete); the log
// and messages call it `name`.
void data_write_archive_as(const char* name, const char* target);

// Deletes the temporary files still on disk. Every temporary file is
// unlinked as soon as it is open, so normally nothing is left; a name whose
// unlink failed then is deleted here (and at process exit at the latest).
void data_remove_temp_files();

// Frees every entry and empties data_entries, for tools and tests that handle
// more than one archive in one process. The show itself never calls it.
void data_clear_entries();
