#include "terminal/terminal_session.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

std::string terminalRefusal(bool outputIsTerminal, const char* term, const char* codeset) {
  if (!outputIsTerminal) return "--terminal needs standard output to be a terminal";
  if (!term || !*term || std::strcmp(term, "dumb") == 0)
    return "--terminal needs a terminal that understands colour and cursor codes (TERM is " +
           std::string(term && *term ? term : "not set") + ")";
  if (!codeset || (std::strcmp(codeset, "UTF-8") != 0 && std::strcmp(codeset, "utf8") != 0))
    return "--terminal needs a UTF-8 locale (LANG or LC_ALL such as C.UTF-8; this one is " +
           std::string(codeset && *codeset ? codeset : "unknown") + ")";
  return "";
}

namespace terminal_session {

volatile std::sig_atomic_t quitSignal = 0;
volatile std::sig_atomic_t resized = 0;

namespace {

// Alternate screen, cursor hidden, line wrap off, plain colours, cleared.
constexpr char kEnter[] = "\x1b[?1049h\x1b[?25l\x1b[?7l\x1b[0m\x1b[2J";
// Plain colours, line wrap on, cursor shown, back to the main screen.
constexpr char kLeave[] = "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";

int g_in = -1;
int g_out = -1;
bool g_inputIsTerminal = false;
termios g_savedInput;
std::atomic<bool> g_active{false};

constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void onQuitSignal(int signal) { quitSignal = signal; }
void onResize(int) { resized = 1; }

// Only async-signal-safe calls from here on: write and tcsetattr.
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

}  // namespace

void enter(int in, int out) {
  g_in = in;
  g_out = out;
  g_inputIsTerminal = ::tcgetattr(in, &g_savedInput) == 0;
  if (g_inputIsTerminal) {
    termios raw = g_savedInput;
    raw.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~(IXON | ICRNL | INLCR | BRKINT | ISTRIP);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(in, TCSANOW, &raw);
  }
  for (int signal : kQuitSignals) install(signal, onQuitSignal, 0);
  for (int signal : kCrashSignals) install(signal, onCrash, SA_RESETHAND | SA_NODEFER);
  install(SIGWINCH, onResize, SA_RESTART);
  static bool exitHookInstalled = false;
  if (!exitHookInstalled) std::atexit(leaveAtExit);
  exitHookInstalled = true;
  g_active = true;
  ssize_t ignored = ::write(out, kEnter, sizeof kEnter - 1);
  (void)ignored;
}

void leave() {
  if (!g_active.exchange(false)) return;
  ssize_t ignored = ::write(g_out, kLeave, sizeof kLeave - 1);
  (void)ignored;
  if (g_inputIsTerminal) ::tcsetattr(g_in, TCSANOW, &g_savedInput);
}

bool active() { return g_active; }

TerminalSize size(int out) {
  winsize ws;
  std::memset(&ws, 0, sizeof ws);
  if (::ioctl(out, TIOCGWINSZ, &ws) != 0) return TerminalSize{};
  return TerminalSize{ws.ws_col, ws.ws_row};
}

}  // namespace terminal_session
