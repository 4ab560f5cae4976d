// tvl: makes, lists and unpacks data.tvl archives with the data module's own
// code, so a packed archive is exactly what a packing run of the show writes.
//
//   tvl pack --root <dir> --list <listfile> <output.tvl>
//   tvl pack <output.tvl> <file>...
//   tvl list <archive>
//   tvl extract <archive> [<dir>]

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "util/data/data.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage:\n"
    "  tvl pack --root <dir> --list <listfile> <output.tvl>\n"
    "      loads every file named in <listfile> from <dir>, in list order, the\n"
    "      way the show loads it (lines \"stream <path>\", \"buffer <path>\" or\n"
    "      \"text <path>\"; blank lines and # comments are skipped), and writes\n"
    "      the archive to <output.tvl>\n"
    "  tvl pack <output.tvl> <file>...\n"
    "      packs the given files as streams, named as given\n"
    "  tvl list <archive>\n"
    "      prints each entry's size in bytes and name\n"
    "  tvl extract <archive> [<dir>]\n"
    "      writes every entry to a file under <dir> (default: .)\n";

[[noreturn]] void usage(const char* problem) {
  if (problem) std::fprintf(stderr, "tvl: %s\n", problem);
  std::fputs(kUsage, stderr);
  std::exit(2);
}

[[noreturn]] void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
void fail(const char* format, ...) {
  std::fputs("tvl: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  std::exit(1);
}

enum class LoadKind { Stream, Buffer, Text };

struct Load {
  LoadKind kind;
  std::string path;
};

std::string trim(const std::string& text) {
  const char* space = " \t\r\n";
  size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::vector<Load> readList(const std::string& listPath) {
  std::ifstream list(listPath);
  if (!list) fail("cannot read the list %s", listPath.c_str());
  std::vector<Load> loads;
  std::string line;
  for (int number = 1; std::getline(list, line); ++number) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    size_t split = line.find_first_of(" \t");
    std::string kind = line.substr(0, split);
    std::string path = split == std::string::npos ? "" : trim(line.substr(split));
    Load load{LoadKind::Stream, path};
    if (kind == "buffer") {
      load.kind = LoadKind::Buffer;
    } else if (kind == "text") {
      load.kind = LoadKind::Text;
    } else if (kind != "stream") {
      fail("%s:%d: unknown load \"%s\" (expected stream, buffer or text)", listPath.c_str(), number,
           kind.c_str());
    }
    if (path.empty()) fail("%s:%d: no file named", listPath.c_str(), number);
    loads.push_back(load);
  }
  return loads;
}

// The private directory beside the output where data_write_archive runs;
// removed on every way out, fatal errors included.
std::string work_dir;

void removeWorkDir() {
  if (work_dir.empty()) return;
  std::error_code ignored;
  fs::remove_all(work_dir, ignored);
  work_dir.clear();
}

// Loads every file through the data module in pack mode (from the current
// directory), then has data_write_archive write data.tvl in a private
// directory next to `output` and moves it into place.
void pack(const std::vector<Load>& loads, const fs::path& output) {
  if (loads.empty()) fail("nothing to pack");
  data_mode = DATA_MODE_PACK;
  for (const Load& load : loads) {
    const char* name = load.path.c_str();
    if (load.kind == LoadKind::Stream) {
      FILE* file = data_open_file(name);
      if (!file) fail("cannot open %s: %s", name, std::strerror(errno));
      std::fclose(file);
    } else {
      char* data = data_load_file(name, nullptr, load.kind == LoadKind::Text);
      if (!data) fail("cannot open %s: %s", name, std::strerror(errno));
      std::free(data);
    }
  }

  std::string pattern = (output.parent_path() / ".tvl-pack-XXXXXX").string();
  std::vector<char> dir(pattern.begin(), pattern.end());
  dir.push_back('\0');
  if (!mkdtemp(dir.data())) fail("cannot write into %s: %s", output.parent_path().c_str(), std::strerror(errno));
  work_dir = dir.data();
  std::atexit(removeWorkDir);
  if (chdir(work_dir.c_str()) != 0) fail("cannot enter %s: %s", work_dir.c_str(), std::strerror(errno));
  data_write_archive();
  std::error_code error;
  fs::rename(fs::path(work_dir) / "data.tvl", output, error);
  if (error) fail("cannot write %s: %s", output.c_str(), error.message().c_str());
  removeWorkDir();
}

int packCommand(int argc, char** argv) {
  std::vector<Load> loads;
  fs::path output;
  if (argc >= 3 && std::strncmp(argv[2], "--", 2) == 0) {
    std::string root, list;
    for (int i = 2; i < argc; ++i) {
      std::string arg = argv[i];
      if ((arg == "--root" || arg == "--list") && i + 1 < argc) {
        (arg == "--root" ? root : list) = argv[++i];
      } else if (arg.compare(0, 2, "--") == 0) {
        usage(("unknown option " + arg).c_str());
      } else if (output.empty()) {
        output = arg;
      } else {
        usage("more than one output named");
      }
    }
    if (root.empty() || list.empty() || output.empty()) usage("pack needs --root, --list and an output");
    output = fs::absolute(output);
    loads = readList(list);
    if (chdir(root.c_str()) != 0) fail("cannot enter %s: %s", root.c_str(), std::strerror(errno));
  } else {
    if (argc < 4) usage("pack needs an output and at least one file");
    output = fs::absolute(argv[2]);
    for (int i = 3; i < argc; ++i) loads.push_back(Load{LoadKind::Stream, argv[i]});
  }
  pack(loads, output);
  return 0;
}

int listCommand(int argc, char** argv) {
  if (argc != 3) usage("list needs exactly one archive");
  data_mode = DATA_MODE_ARCHIVE;
  data_read_archive(argv[2]);
  for (const auto& entry : data_entries) std::printf("%10d  %s\n", entry->size, entry->name.c_str());
  return 0;
}

// Entry names are relative paths; anything that would land outside the
// target directory is refused.
bool safeName(const std::string& name) {
  if (name.empty() || name[0] == '/') return false;
  for (const fs::path& part : fs::path(name)) {
    if (part == ".." || part.empty()) return false;
  }
  return name.back() != '/';
}

int extractCommand(int argc, char** argv) {
  if (argc != 3 && argc != 4) usage("extract needs an archive and at most one directory");
  data_mode = DATA_MODE_ARCHIVE;
  data_read_archive(argv[2]);
  fs::path target = argc == 4 ? argv[3] : ".";
  for (const auto& entry : data_entries) {
    if (!safeName(entry->name)) fail("refusing to extract the entry \"%s\"", entry->name.c_str());
  }
  std::set<std::string> written;
  for (const auto& entry : data_entries) {
    if (!written.insert(entry->name).second) {
      std::fprintf(stderr, "tvl: skipping a second entry named %s\n", entry->name.c_str());
      continue;
    }
    fs::path path = target / entry->name;
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) fail("cannot write %s: %s", path.c_str(), std::strerror(errno));
    bool ok = std::fwrite(entry->data, 1, size_t(entry->size), file) == size_t(entry->size);
    if (std::fclose(file) != 0 || !ok) fail("cannot write %s: %s", path.c_str(), std::strerror(errno));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A command-line tool reports fatal errors on standard error, never in a box.
  setenv("KESTRUNE_NO_BOXES", "1", 1);
  if (argc < 2) usage(nullptr);
  std::string command = argv[1];
  if (command == "pack") return packCommand(argc, argv);
  if (command == "list") return listCommand(argc, argv);
  if (command == "extract") return extractCommand(argc, argv);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  usage(("unknown command " + command).c_str());
}
