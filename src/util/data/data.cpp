#include "util/data/data.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "util/os/files.h"
#include "util/os/systime.h"
#include "util/data/archive_search.h"
#include "util/data/coder.h"
#include "util/error.h"
#include "util/printable.h"

int data_mode = DATA_MODE_DISK;
std::vector<std::unique_ptr<DataEntry>> data_entries;
std::vector<std::string> data_temp_files;
FILE* data_log_output = stdout;

namespace {

const char kArchiveName[] = "data.tvl";
const char kMagic[] = "Tavorlin Data File";  // 18 characters and the 0 byte
constexpr int kMagicSize = 19;
constexpr int kMajorVersion = 0;
constexpr int kMinorVersion = 2;
constexpr int kArchiveHeaderSize = kMagicSize + 2;
const char kChunkTag[] = "TVLDFC";  // 6 characters and the 0 byte
constexpr int kChunkTagSize = 7;
constexpr int kChunkHeaderSize = kChunkTagSize + 4 + 4;

// Temporary names whose unlink failed right after creation; removed at
// shutdown or at the latest when the process exits.
std::vector<std::string> still_linked;

void removeStillLinked() {
  for (const std::string& path : still_linked) std::remove(path.c_str());
  still_linked.clear();
}

// One log line: UTC time stamp, then the message (which ends its own line).
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logLine(const char* format, ...) {
  if (!data_log_output) return;
  os::UtcTime t = os::utcNow();
  std::fprintf(data_log_output, "%04d-%02d-%02d %2d:%02d:%02d:%03d ", t.year, t.month, t.day,
               t.hour, t.minute, t.second, t.millisecond);
  va_list args;
  va_start(args, format);
  std::vfprintf(data_log_output, format, args);
  va_end(args);
  std::fflush(data_log_output);
}

// A new temporary file open with "wb+", made and named in one step in
// $TMPDIR (or /tmp) and unlinked at once: the stream works until fclose and
// nothing stays behind, whichever way the process ends. Null on failure.
// The directory temporary files go to: $TMPDIR, or /tmp when it is not set.
const char* tempDirectory() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

FILE* createTempFile() {
  const char* dir = tempDirectory();
  std::string pattern = std::string(dir) + "/kestrune-XXXXXX";
  std::vector<char> path(pattern.begin(), pattern.end());
  path.push_back('\0');
  int fd = mkstemp(path.data());
  if (fd < 0) return nullptr;
  data_temp_files.emplace_back(path.data());
  if (unlink(path.data()) != 0) {
    static bool removalRegistered = false;
    if (!removalRegistered) removalRegistered = std::atexit(removeStillLinked) == 0;
    still_linked.emplace_back(path.data());
  }
  FILE* file = fdopen(fd, "wb+");
  if (!file) {
    const int cause = errno;  // for the caller's message
    close(fd);
    errno = cause;
  }
  return file;
}

// Length of an open file by seeking to its end; the stream is rewound.
// Negative when the stream cannot seek. `release` runs before a fatal report.
template <typename Release>
long fileLength(FILE* file, const char* name, Release release) {
  long length = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  std::rewind(file);
  if (length > INT_MAX) {
    release();
    ErrorBox("File %s is too large: %ld bytes.", name, length);
  }
  return length;
}
long fileLength(FILE* file, const char* name) {
  return fileLength(file, name, [] {});
}

int32_t readI32(const unsigned char* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                 uint32_t(p[3]) << 24);
}

// Decodes a whole coder stream; the coder's working state lives only for the call.
int decompressArchive(unsigned char* stream, int length, unsigned char* payload, int* produced) {
  auto state = std::make_unique<HuffState>();
  return huff_decompress(stream, length, state.get(), payload, produced);
}

bool writeI32(FILE* file, int32_t value) {
  uint32_t v = uint32_t(value);
  unsigned char bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  return std::fwrite(bytes, 1, 4, file) == 4;
}

// Archive lookup: walks every entry; a second match is fatal.
DataEntry* findEntry(const char* name) {
  DataEntry* found = nullptr;
  for (const auto& entry : data_entries) {
    if (entry->name != name) continue;
    if (found) {
      ErrorBox("Ouch, found more than one entry for %s in datafile. Duplicates make no sense here.",
               name);
    }
    found = entry.get();
  }
  return found;
}

// Pack mode: true (after logging the notice) when the name is already recorded.
bool skipDuplicate(const char* name) {
  for (const auto& entry : data_entries) {
    if (entry->name == name) {
      logLine("[DATA] Skipping duplicate entry for %s\n", name);
      return true;
    }
  }
  return false;
}

void addEntry(const char* name, int size, char* data) {
  data_entries.push_back(std::make_unique<DataEntry>(name, size, data));
}

// Writes the archive to `target`, naming it `path` in the log and messages.
void writeArchive(const char* path, const char* target) {
  logLine("Writing datafile %s:\n", path);
  FILE* chunks = createTempFile();
  if (!chunks) ErrorBox("Failed to create tmpfile()");
  for (const auto& entry : data_entries) {
    logLine("..file: %s, %i bytes\n", entry->name.c_str(), entry->size);
    size_t nameLength = entry->name.size();
    if (std::fwrite(kChunkTag, 1, kChunkTagSize, chunks) != size_t(kChunkTagSize)) {
      ErrorBox("Failed to write chunk header!");
    }
    if (!writeI32(chunks, int32_t(nameLength))) ErrorBox("Failed to write fname_length!");
    if (!writeI32(chunks, entry->size)) ErrorBox("Failed to write chunk size!");
    if (std::fwrite(entry->name.data(), 1, nameLength, chunks) != nameLength) {
      ErrorBox("Failed to write filename!");
    }
    if (std::fwrite(entry->data, 1, size_t(entry->size), chunks) != size_t(entry->size)) {
      ErrorBox("Failed to write chunk!");
    }
  }
  if (std::fflush(chunks) != 0) ErrorBox("Failed to write chunk!");

  long length = fileLength(chunks, path);
  if (length <= 0) ErrorBox("Negative or zero file length: %i", int(length));
  if (length > INT_MAX - kHuffWorstCaseExtra) {
    ErrorBox("File %s is too large: %ld bytes.", path, length);
  }
  int u = int(length);
  unsigned char* input = static_cast<unsigned char*>(std::malloc(size_t(u)));
  if (!input || std::fread(input, 1, size_t(u), chunks) != size_t(u)) {
    ErrorBox("Failed to read %i bytes from %s.", u, path);
  }
  std::fclose(chunks);

  unsigned char* output =
      static_cast<unsigned char*>(std::malloc(size_t(u) + size_t(kHuffWorstCaseExtra)));
  if (!output) ErrorBox("Failed to allocate memory for data buffer loading %s!", path);
  auto state = std::make_unique<HuffState>();
  int k = 0;
  huff_compress(input, u, output, state.get(), &k);

  FILE* file = std::fopen(target, "wb");
  if (!file) ErrorBox("Failed to open data file %s for writing. Gimme permissions, bitch!\n", path);
  if (std::fwrite(kMagic, 1, kMagicSize, file) != size_t(kMagicSize)) {
    ErrorBox("Failed to write header!");
  }
  if (std::fputc(kMajorVersion, file) == EOF) ErrorBox("Failed to write major version!");
  if (std::fputc(kMinorVersion, file) == EOF) ErrorBox("Failed to write minor version!");
  if (std::fwrite(output, 1, size_t(k), file) != size_t(k)) ErrorBox("Failed to write file contents!");
  if (std::fclose(file) != 0) ErrorBox("Failed to write file contents!");
  std::free(input);
  std::free(output);

  logLine("Done writing datafile \"%s\" of %.1fMB!\n", path, k / 1048576.0);
  logLine(" ..original file size:  %9i bytes\n", u);
  logLine(" ..compressed file size:%9i bytes\n", k);
  logLine(" ..lost in compression: %9i bytes\n", u - k);
  logLine(" ..compression rate:      %7.2f %%\n", (u - k) * 100.0 / u);
}

// What reading an archive holds at one time. Every fatal report releases it
// first, so a fatal read ends the process holding nothing of ours; and when
// the report leaves by an exception (the fuzzing harness does), the
// destructor does the same.
struct ArchiveRead {
  FILE* file = nullptr;
  unsigned char* stream = nullptr;
  unsigned char* payload = nullptr;

  ArchiveRead() = default;
  ArchiveRead(const ArchiveRead&) = delete;
  ArchiveRead& operator=(const ArchiveRead&) = delete;
  ~ArchiveRead() { release(); }

  void closeFile() {
    if (file) std::fclose(file);
    file = nullptr;
  }
  void release() {
    closeFile();
    std::free(stream);
    std::free(payload);
    stream = payload = nullptr;
  }
};

}  // namespace

void data_read_archive(const char* path) {
  ArchiveRead held;
  // Only a regular file: a FIFO would block here for good, a directory or
  // device has no length to trust.
  held.file = os::openRegularFile(path);
  if (!held.file) ErrorBox("Failed to open data file %s for reading.\n", path);
  long length = fileLength(held.file, path, [&held] { held.release(); });
  if (length <= 0) {
    held.release();
    ErrorBox("Negative or zero file length: %i", int(length));
  }

  char header[kMagicSize + 1] = {};
  if (std::fread(header, 1, kMagicSize, held.file) != size_t(kMagicSize)) {
    held.release();
    ErrorBox("Failed to read header!");
  }
  if (std::strcmp(header, kMagic) != 0) {
    held.release();
    ErrorBox("Unrecognized datafile header: %s", printableText(header, kMagicSize).c_str());
  }
  int major = std::fgetc(held.file);
  if (major == EOF) {
    held.release();
    ErrorBox("Failed to read major version!");
  }
  int minor = std::fgetc(held.file);
  if (minor == EOF) {
    held.release();
    ErrorBox("Failed to read minor version!");
  }
  if (major != kMajorVersion || minor != kMinorVersion) {
    held.release();
    ErrorBox("Expected datafile format %i.%i, got %i.%i\n", kMajorVersion, kMinorVersion, major, minor);
  }

  // The coder's header is checked against the file before anything of the
  // size it claims is read or allocated.
  const int64_t available = int64_t(length) - kArchiveHeaderSize;
  unsigned char coderHeader[kHuffHeaderSize] = {};
  const size_t headerBytes = std::fread(coderHeader, 1, sizeof coderHeader, held.file);
  int streamLength = 0;
  int expected = 0;
  int check = huff_check_header(coderHeader, int(headerBytes), available, &streamLength, &expected);
  if (check != HUFF_OK) {
    held.release();
    ErrorBox("Corrupt data file %s: %s.", path, huff_error_text(check));
  }
  held.stream = static_cast<unsigned char*>(std::malloc(size_t(streamLength) + 1));
  if (!held.stream) {
    held.release();
    ErrorBox("Failed to allocate memory for data buffer loading %s!", path);
  }
  std::memcpy(held.stream, coderHeader, sizeof coderHeader);
  const size_t rest = size_t(streamLength) - sizeof coderHeader;
  if (std::fread(held.stream + sizeof coderHeader, 1, rest, held.file) != rest) {
    held.release();
    ErrorBox("Failed to read %i bytes from %s.", streamLength, path);
  }
  held.closeFile();

  check = huff_check(held.stream, streamLength, &expected);
  if (check != HUFF_OK) {
    held.release();
    ErrorBox("Corrupt data file %s: %s.", path, huff_error_text(check));
  }
  held.payload = static_cast<unsigned char*>(std::malloc(size_t(expected) + 1));
  if (!held.payload) {
    held.release();
    ErrorBox("Failed to allocate memory for data buffer loading %s!", path);
  }
  int produced = 0;
  int result = decompressArchive(held.stream, streamLength, held.payload, &produced);
  std::free(held.stream);
  held.stream = nullptr;
  if (result < 0) {
    held.release();
    ErrorBox("Corrupt data file %s: %s.", path, huff_error_text(result));
  }

  const unsigned char* payload = held.payload;
  int chunks = 0;
  uint32_t totalSize = 0;
  int64_t offset = 0;
  while (offset < produced) {
    const unsigned char* chunk = payload + offset;
    int64_t left = produced - offset;
    if (left < kChunkHeaderSize) {
      held.release();
      ErrorBox("Corrupt data file %s: chunk %i is cut off inside its header.", path, chunks + 1);
    }
    char tag[kChunkTagSize + 1] = {};
    std::memcpy(tag, chunk, kChunkTagSize);
    if (std::strcmp(tag, kChunkTag) != 0) {
      held.release();
      ErrorBox("Unrecognized chunk header: %s. \nRead %i chunks, %.1f MB before this\n",
               printableText(tag, kChunkTagSize).c_str(), chunks, totalSize / 1048576.0);
    }
    int32_t nameLength = readI32(chunk + kChunkTagSize);
    int32_t size = readI32(chunk + kChunkTagSize + 4);
    left -= kChunkHeaderSize;
    if (nameLength < 0 || nameLength > left) {
      held.release();
      ErrorBox("Corrupt data file %s: the name of chunk %i runs past the end of the data.", path, chunks + 1);
    }
    const char* storedName = reinterpret_cast<const char*>(chunk + kChunkHeaderSize);
    if (size < 0 || size > left - nameLength) {
      const std::string shownName = printableText(storedName, size_t(nameLength));
      held.release();
      ErrorBox("Corrupt data file %s: the contents of %s (chunk %i) run past the end of the data.", path,
               shownName.c_str(), chunks + 1);
    }
    char* name = static_cast<char*>(std::malloc(size_t(nameLength) + 1));
    if (!name) {
      held.release();
      ErrorBox("Failed to allocate memory for filename string!");
    }
    std::memcpy(name, storedName, size_t(nameLength));
    name[nameLength] = '\0';
    char* data = static_cast<char*>(std::malloc(size_t(size) + 1));
    if (!data) {
      std::free(name);
      held.release();
      ErrorBox("Failed to allocate memory for data chunk!");
    }
    std::memcpy(data, chunk + kChunkHeaderSize + nameLength, size_t(size));
    addEntry(name, size, data);
    std::free(name);
    ++chunks;
    totalSize += uint32_t(size);
    offset += kChunkHeaderSize + int64_t(nameLength) + size;
  }
}

void data_open_archive() {
  if (data_mode != DATA_MODE_ARCHIVE) return;
  const ArchiveSearch search = searchArchive(archivePlaces(kArchiveName, programDirectory()));
  if (search.found.empty()) {
    ErrorBox("Failed to open data file %s for reading.\nLooked in:\n%s", kArchiveName,
             search.report.c_str());
  }
  data_read_archive(search.found.c_str());
}

FILE* data_open_file(const char* name) {
  if (!name) return nullptr;
  if (data_mode == DATA_MODE_ARCHIVE) {
    DataEntry* entry = findEntry(name);
    if (!entry) return nullptr;
    FILE* file = createTempFile();
    // Not a missing file: the caller's own message would blame the file.
    if (!file) {
      const int cause = errno;
      const char* fromEnvironment = std::getenv("TMPDIR");
      ErrorBox("Failed to create a temporary file for %s in %s%s: %s", name, tempDirectory(),
               fromEnvironment && *fromEnvironment ? " (TMPDIR)" : "", std::strerror(cause));
    }
    if (std::fwrite(entry->data, 1, size_t(entry->size), file) != size_t(entry->size) ||
        std::fflush(file) != 0) {
      ErrorBox("Failed to write %i bytes of %s to a temporary file.", entry->size, name);
    }
    std::rewind(file);
    return file;
  }

  // Regular files only: a FIFO would block, a directory has no contents.
  FILE* file = os::openRegularFile(name);
  if (!file || data_mode != DATA_MODE_PACK || skipDuplicate(name)) return file;
  long length = fileLength(file, name);
  if (length < 0) ErrorBox("Negative file length: %i", int(length));
  char* buffer = static_cast<char*>(std::malloc(size_t(length) + 1));
  if (!buffer) ErrorBox("Failed to allocate memory for data buffer loading %s!", name);
  size_t got = std::fread(buffer, 1, size_t(length), file);
  // An empty file is a file; nothing read from one that claimed bytes is not.
  if (got == 0 && length > 0) ErrorBox("Tried to read %i bytes from %s, got %i", int(length), name, int(got));
  std::rewind(file);
  addEntry(name, int(got), buffer);
  return file;
}

char* data_load_file(const char* name, int* size, bool terminate) {
  if (!name) return nullptr;
  if (data_mode == DATA_MODE_ARCHIVE) {
    DataEntry* entry = findEntry(name);
    if (!entry) return nullptr;
    char* buffer = static_cast<char*>(std::malloc(size_t(entry->size) + 1));
    if (!buffer) ErrorBox("tmpbuffer is NULL");
    std::memcpy(buffer, entry->data, size_t(entry->size));
    if (size) *size = entry->size;
    return buffer;
  }

  FILE* file = os::openRegularFile(name);
  if (!file) return nullptr;
  long length = fileLength(file, name);
  if (length < 0) ErrorBox("Negative file length: %i", int(length));
  size_t extra = terminate ? 1 : 0;
  char* buffer = static_cast<char*>(std::malloc(size_t(length) + extra + 1));
  if (!buffer) ErrorBox("Failed to allocate memory for loading %s", name);
  size_t got = std::fread(buffer, 1, size_t(length), file);
  if (got == 0 && length > 0) ErrorBox("Tried to read %i bytes from %s, got %i", int(length), name, int(got));
  std::fclose(file);
  if (got != size_t(length)) {
    char* copy = static_cast<char*>(std::malloc(got + extra + 1));
    if (!copy) ErrorBox("copybuffer is NULL");
    std::memcpy(copy, buffer, got);
    std::free(buffer);
    buffer = copy;
  }
  // The terminator belongs to the text as the show reads it, so archive
  // entries carry it; a file that already ends with it (one extracted from
  // an archive) gets no second one, so extract and pack give the same bytes.
  const bool terminated = got > 0 && buffer[got - 1] == '\0';
  if (terminate && !terminated) buffer[got++] = '\0';
  int total = int(got);

  if (data_mode == DATA_MODE_PACK && !skipDuplicate(name)) {
    char* copy = static_cast<char*>(std::malloc(size_t(total) + 1));
    if (!copy) ErrorBox("copybuffer is NULL");
    std::memcpy(copy, buffer, size_t(total));
    addEntry(name, total, copy);
  }
  if (size) *size = total;
  return buffer;
}

void data_write_archive() {
  if (data_mode != DATA_MODE_PACK) return;
  writeArchive(kArchiveName, kArchiveName);
}

void data_write_archive_as(const char* name, const char* target) { writeArchive(name, target); }

void data_remove_temp_files() { removeStillLinked(); }

void data_clear_entries() { data_entries.clear(); }
