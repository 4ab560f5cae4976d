#include "terminal/terminal_session.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

RequestedLocale requestedLocale() {
  RequestedLocale locale;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) {
      locale.name = value;
      locale.variable = variable;
      break;
    }
  }
  return locale;
}

std::string terminalRefusal(bool outputIsTerminal, const char* term, const char* codeset,
                            const RequestedLocale& locale) {
  if (!outputIsTerminal) return "--terminal needs standard output to be a terminal";
  if (!term || !*term || std::strcmp(term, "dumb") == 0)
    return "--terminal needs a terminal that understands colour and cursor codes (TERM is " +
           std::string(term && *term ? term : "not set") + ")";
  if (codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0)) return "";
  // A locale set but not installed here (common over SSH, which passes the
  // client's LANG on) leaves the plain C locale: name the one asked for.
  if (!locale.installed && !locale.name.empty())
    return "--terminal needs a UTF-8 locale: " + locale.name + " (from " + locale.variable +
           ") is not installed here; try " + locale.variable + "=C.UTF-8";
  return "--terminal needs a UTF-8 locale (LANG or LC_ALL such as C.UTF-8; this one is " +
         std::string(codeset && *codeset ? codeset : "unknown") + ")";
}

int openNonBlockingOutput(int fd) {
  if (!::isatty(fd)) return -1;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  // O_NOCTTY: a process without a controlling terminal must not gain this one.
  return ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

namespace {

long long monotonicMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

}  // namespace

bool writeWithin(int fd, const char* bytes, size_t size, int milliseconds) {
  const long long deadline = monotonicMs() + milliseconds;
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n > 0) {
      bytes += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    const long long left = deadline - monotonicMs();
    if (left <= 0) return false;
    pollfd wait{fd, POLLOUT, 0};
    ::poll(&wait, 1, static_cast<int>(left));
  }
  return true;
}

namespace terminal_session {

volatile std::sig_atomic_t quitSignal = 0;
volatile std::sig_atomic_t resized = 0;
volatile std::sig_atomic_t suspendAsked = 0;
volatile std::sig_atomic_t continued = 0;

namespace {

// Alternate screen, cursor hidden, line wrap off, plain colours, cleared.
constexpr char kEnter[] = "\x1b[?1049h\x1b[?25l\x1b[?7l\x1b[0m\x1b[2J";
// A frame cut short may have left a sequence open: CAN ends it. Then plain
// colours, line wrap on, cursor shown, back to the main screen.
constexpr char kLeave[] = "\x18\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";
// How long giving the terminal back may wait for a terminal that takes nothing.
constexpr int kLeaveMs = 1000;

int g_in = -1;
int g_out = -1;
int g_write = -1;  // g_out, non-blocking where it could be opened so
bool g_inputIsTerminal = false;
termios g_savedInput;
std::atomic<bool> g_active{false};

constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void onQuitSignal(int signal) { quitSignal = signal; }
void onResize(int) { resized = 1; }
void onSuspend(int) { suspendAsked = 1; }
void onContinue(int) { continued = 1; }

// Only async-signal-safe calls from here on: write, poll and tcsetattr.
void onCrash(int signal) {
  leave();
  // SA_RESETHAND put the default action back.
  ::raise(signal);
}

void install(int signal, void (*handler)(int), int flags) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void leaveAtExit() { leave(); }

void takeTerminal() {
  if (g_inputIsTerminal) {
    termios raw = g_savedInput;
    raw.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~(IXON | ICRNL | INLCR | BRKINT | ISTRIP);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(g_in, TCSANOW, &raw);
  }
  g_active = true;
  writeWithin(g_write, kEnter, sizeof kEnter - 1, kLeaveMs);
}

}  // namespace

void enter(int in, int out) {
  g_in = in;
  g_out = out;
  if (g_write < 0) g_write = openNonBlockingOutput(out);
  if (g_write < 0) g_write = out;
  g_inputIsTerminal = ::tcgetattr(in, &g_savedInput) == 0;
  for (int signal : kQuitSignals) install(signal, onQuitSignal, 0);
  for (int signal : kCrashSignals) install(signal, onCrash, SA_RESETHAND | SA_NODEFER);
  install(SIGWINCH, onResize, SA_RESTART);
  install(SIGTSTP, onSuspend, SA_RESTART);
  install(SIGCONT, onContinue, SA_RESTART);
  static bool exitHookInstalled = false;
  if (!exitHookInstalled) std::atexit(leaveAtExit);
  exitHookInstalled = true;
  takeTerminal();
}

void leave() {
  if (!g_active.exchange(false)) return;
  writeWithin(g_write, kLeave, sizeof kLeave - 1, kLeaveMs);
  if (g_inputIsTerminal) ::tcsetattr(g_in, TCSANOW, &g_savedInput);
}

bool active() { return g_active; }

void suspend() {
  leave();
  install(SIGTSTP, SIG_DFL, 0);
  ::raise(SIGTSTP);  // stopped here until continued
  install(SIGTSTP, onSuspend, SA_RESTART);
  suspendAsked = 0;
  continued = 0;
  takeTerminal();
}

void retake() { takeTerminal(); }

TerminalSize size(int out) {
  winsize ws;
  std::memset(&ws, 0, sizeof ws);
  if (::ioctl(out, TIOCGWINSZ, &ws) != 0) return TerminalSize{};
  return TerminalSize{ws.ws_col, ws.ws_row};
}

}  // namespace terminal_session
