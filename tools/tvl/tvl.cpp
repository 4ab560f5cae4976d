// tvl: makes, lists and unpacks data.tvl archives with the data module's own
// code, so a packed archive is exactly what a packing run of the show writes.
//
//   tvl pack --root <dir> --list <listfile> <output.tvl>
//   tvl pack <output.tvl> <file>...
//   tvl list <archive>
//   tvl extract <archive> [<dir>]
//
// Every error is one line on standard error, "tvl: FILE: reason", with names
// from an archive escaped so that they cannot drive the terminal.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "capture/interruption.h"
#include "capture/output_file.h"
#include "platform/file_set.h"
#include "util/os/files.h"
#include "util/boxes.h"
#include "util/data/data.h"
#include "util/printable.h"

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
    "      writes every entry to a file under <dir> (default: .), all of them\n"
    "      or, on any failure, none\n";

[[noreturn]] void usage(const char* problem) {
  if (problem) std::fprintf(stderr, "tvl: %s\n", problem);
  std::fputs(kUsage, stderr);
  std::exit(2);
}

// The file the data module works on, named in its fatal reports.
std::string current_file;

std::string shown(const std::string& name) { return printableText(name); }

[[noreturn]] void fail(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "tvl: %s: %s\n", shown(file).c_str(), reason.c_str());
  std::exit(1);
}

// The data module's fatal reports as one line: the message without the box's
// caption, its lines joined.
class OneLineReports : public BoxPresenter {
 public:
  void message(const char*, const char* text) override {
    std::string message = text;
    const size_t body = message.find("\n\n");
    if (body != std::string::npos) message.erase(0, body + 2);
    std::string line;
    for (char c : message) {
      if (c == '\n' || c == '\r') c = ' ';
      if (c == ' ' && (line.empty() || line.back() == ' ')) continue;
      line += c;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (current_file.empty()) {
      std::fprintf(stderr, "tvl: %s\n", line.c_str());
    } else {
      std::fprintf(stderr, "tvl: %s: %s\n", shown(current_file).c_str(), line.c_str());
    }
  }
  bool askOkCancel(const char* title, const char* text) override {
    message(title, text);
    return false;
  }
};

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

// A file to read: a regular one, checked without blocking on a FIFO.
void requireRegularFile(const std::string& path) {
  std::string why;
  FILE* file = os::openRegularFile(path.c_str(), &why);
  if (!file) fail(path, why);
  std::fclose(file);
}

std::vector<Load> readList(const std::string& listPath) {
  requireRegularFile(listPath);
  std::ifstream list(listPath);
  if (!list) fail(listPath, std::strerror(errno));
  std::vector<Load> loads;
  std::string line;
  for (int number = 1; std::getline(list, line); ++number) {
    const std::string where = listPath + ":" + std::to_string(number);
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
      fail(where, "unknown load \"" + shown(kind) + "\" (expected stream, buffer or text)");
    }
    if (path.empty()) fail(where, "no file named");
    loads.push_back(load);
  }
  return loads;
}

// Loads every file through the data module in pack mode (from the current
// directory) and writes the archive into a file that takes the output's
// name only when complete. Nothing named is made before then, so an
// interrupted or killed run leaves nothing behind, and the output is only
// ever replaced when it is a regular file.
void pack(const std::vector<Load>& loads, const std::string& outputName, const fs::path& output) {
  if (loads.empty()) fail(outputName, "nothing to pack");
  const std::string problem = os::outputProblem(output.string());
  if (!problem.empty()) fail(outputName, problem + "; refusing to replace it");
  OutputFile archive;
  if (!archive.create(output.string())) fail(outputName, archive.error());
  data_mode = DATA_MODE_PACK;
  for (const Load& load : loads) {
    const char* name = load.path.c_str();
    requireRegularFile(load.path);
    current_file = load.path;
    if (load.kind == LoadKind::Stream) {
      FILE* file = data_open_file(name);
      if (!file) fail(load.path, std::strerror(errno));
      std::fclose(file);
    } else {
      char* data = data_load_file(name, nullptr, load.kind == LoadKind::Text);
      if (!data) fail(load.path, std::strerror(errno));
      std::free(data);
    }
  }
  current_file = outputName;
  data_write_archive_as(outputName.c_str(), archive.writablePath().c_str());
  if (!archive.commit()) fail(outputName, archive.error());
}

int packCommand(int argc, char** argv) {
  std::vector<Load> loads;
  std::string outputName;
  if (argc >= 3 && std::strncmp(argv[2], "--", 2) == 0) {
    std::string root, list;
    for (int i = 2; i < argc; ++i) {
      std::string arg = argv[i];
      if ((arg == "--root" || arg == "--list") && i + 1 < argc) {
        (arg == "--root" ? root : list) = argv[++i];
      } else if (arg.compare(0, 2, "--") == 0) {
        usage(("unknown option " + arg).c_str());
      } else if (outputName.empty()) {
        outputName = arg;
      } else {
        usage("more than one output named");
      }
    }
    if (root.empty() || list.empty() || outputName.empty()) usage("pack needs --root, --list and an output");
    loads = readList(list);
    const fs::path output = fs::absolute(outputName);
    if (chdir(root.c_str()) != 0) fail(root, std::string("cannot enter: ") + std::strerror(errno));
    pack(loads, outputName, output);
    return 0;
  }
  if (argc < 4) usage("pack needs an output and at least one file");
  outputName = argv[2];
  for (int i = 3; i < argc; ++i) loads.push_back(Load{LoadKind::Stream, argv[i]});
  pack(loads, outputName, fs::absolute(outputName));
  return 0;
}

void readArchive(const std::string& path) {
  requireRegularFile(path);
  current_file = path;
  data_mode = DATA_MODE_ARCHIVE;
  data_read_archive(path.c_str());
}

int listCommand(int argc, char** argv) {
  if (argc != 3) usage("list needs exactly one archive");
  readArchive(argv[2]);
  for (const auto& entry : data_entries) std::printf("%10d  %s\n", entry->size, shown(entry->name).c_str());
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

// Why an entry cannot be written to `path` below `target`, or "": every
// existing part below the target must be a real directory (a link could
// lead outside it), and the file a regular one.
std::string extractProblem(const fs::path& target, const std::string& name) {
  fs::path at = target;
  const fs::path relative(name);
  for (auto part = relative.begin(); part != relative.end(); ++part) {
    at /= *part;
    struct stat status {};
    if (::lstat(at.c_str(), &status) != 0) return "";  // made fresh from here on
    if (std::next(part) == relative.end()) break;
    if (!S_ISDIR(status.st_mode)) return at.string() + " is in the way (not a directory)";
  }
  const std::string problem = platform::FileSetMove::problem(at.string());
  return problem.empty() ? "" : at.string() + " " + problem;
}

// The nearest directory of `path` that exists: the staging directory goes
// there, on the same file system as every file it will move.
fs::path existingAncestor(fs::path path) {
  path = fs::absolute(path);
  std::error_code error;
  while (!fs::is_directory(path, error) && path.has_relative_path()) path = path.parent_path();
  return path;
}

// Ends the run when a signal came: whatever was moved goes back, the
// staging directory goes, and the exit status tells which signal it was.
void stopIfInterrupted(const fs::path& target, platform::FileSetMove* move, platform::StagingDirectory& staging) {
  const int signal = pendingInterruption();
  if (signal == 0) return;
  if (move) move->rollback();
  staging.remove();
  std::fprintf(stderr, "tvl: %s: %s, nothing extracted\n", shown(target.string()).c_str(),
               interruptionName(signal));
  std::exit(128 + signal);
}

// For the tests: TVL_PAUSE_BEFORE_ENTRY=N stops the process (SIGSTOP) just
// before it moves entry N into place, so that a signal can be sent there.
long pauseBeforeEntry() {
  const char* value = std::getenv("TVL_PAUSE_BEFORE_ENTRY");
  return value && *value ? std::strtol(value, nullptr, 10) : -1;
}

// Every entry is checked, then written into a hidden staging directory,
// then moved into place as one set; on any failure the target is left as
// it was.
int extractCommand(int argc, char** argv) {
  if (argc != 3 && argc != 4) usage("extract needs an archive and at most one directory");
  const std::string archivePath = argv[2];
  readArchive(archivePath);
  const fs::path target = argc == 4 ? argv[3] : ".";
  for (const auto& entry : data_entries) {
    if (!safeName(entry->name)) {
      fail(archivePath, "refusing to extract the entry \"" + shown(entry->name) + "\": it would land outside " +
                            target.string());
    }
  }
  std::set<std::string> seen;
  std::vector<const DataEntry*> entries;
  for (const auto& entry : data_entries) {
    if (!seen.insert(entry->name).second) {
      std::fprintf(stderr, "tvl: %s: skipping a second entry named %s\n", shown(archivePath).c_str(),
                   shown(entry->name).c_str());
      continue;
    }
    const std::string problem = extractProblem(target, entry->name);
    if (!problem.empty()) fail(archivePath, "cannot extract " + shown(entry->name) + ": " + shown(problem));
    entries.push_back(entry.get());
  }

  // A signal (Ctrl-C, SIGTERM, a hang-up) is noted and taken between two
  // steps: the target is then put back as it was, never left half done.
  catchInterruptions();
  platform::StagingDirectory staging;
  std::string error;
  if (!staging.create(existingAncestor(target).string(), ".tvl-extract-", error)) fail(target.string(), error);
  std::vector<std::string> written;
  for (size_t i = 0; i < entries.size(); ++i) {
    stopIfInterrupted(target, nullptr, staging);
    const std::string path = staging.add("entry-" + std::to_string(i));
    FILE* file = std::fopen(path.c_str(), "wbx");
    bool ok = file && std::fwrite(entries[i]->data, 1, size_t(entries[i]->size), file) == size_t(entries[i]->size);
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) fail(target.string(), "cannot write " + shown(entries[i]->name) + ": " + std::strerror(errno));
    written.push_back(path);
  }
  platform::FileSetMove move(&staging);
  const long pauseAt = pauseBeforeEntry();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (long(i) == pauseAt) ::raise(SIGSTOP);
    stopIfInterrupted(target, &move, staging);
    if (!move.place(written[i], (target / entries[i]->name).string())) {
      const std::string why = move.error();
      move.rollback();
      staging.remove();
      fail(target.string(), shown(why));
    }
    staging.forget("entry-" + std::to_string(i));
  }
  move.finish();
  staging.remove();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  static OneLineReports reports;
  setBoxPresenter(&reports);
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
