#pragma once

#include <csignal>
#include <cstddef>
#include <string>

#include "terminal/ansi_screen.h"

// What the process asked for its character set: the locale's name and the
// variable it came from (LC_ALL, LC_CTYPE or LANG), and whether it is
// installed (setlocale took it).
struct RequestedLocale {
  std::string name;
  std::string variable;
  bool installed = true;
};
// The locale LC_ALL, LC_CTYPE or LANG names (the first one set), before
// setlocale() is tried.
RequestedLocale requestedLocale();

// Why the show cannot play in this terminal, as one line; empty when it
// can. `codeset` is the locale's character set (nl_langinfo(CODESET)).
std::string terminalRefusal(bool outputIsTerminal, const char* term, const char* codeset,
                            const RequestedLocale& locale = RequestedLocale());

// A descriptor of its own on the terminal `fd` shows, non-blocking, so that
// a terminal that takes nothing more (a stalled link, a frozen emulator)
// never holds a write; the shell's own descriptor keeps its flags. -1 when
// `fd` is no terminal or cannot be opened again.
int openNonBlockingOutput(int fd);

// Writes `bytes` to `fd` for at most `milliseconds`, going on after
// interruptions and partial writes; false when not all of it went (the
// terminal is gone or stalled). Safe in a signal handler.
bool writeWithin(int fd, const char* bytes, size_t size, int milliseconds);

// The terminal taken over for the show: raw input (no echo, no line
// editing, no signal keys: Ctrl-C and Ctrl-Z arrive as bytes), the
// alternate screen, the cursor hidden, line wrap off. Everything goes back
// as it was on every way out: leave(), the program's exit, the signals that
// end it (the crash signals included, as far as a signal handler can), and
// while the process is stopped as a job.
namespace terminal_session {

// Takes over the terminal on `out` (reading keys from `in`, which may be
// no terminal). Installs the signal handlers.
void enter(int in, int out);
// Gives the terminal back; safe to call more than once, and from a signal
// handler. Gives up after a second on a terminal that takes nothing.
void leave();
bool active();

// Gives the terminal back and stops the process as a job (Ctrl-Z,
// SIGTSTP); once continued, takes the terminal again and returns. The
// picture must then be drawn anew.
void suspend();
// Takes the terminal again after the process was stopped without asking
// (SIGSTOP) and continued: raw input and the alternate screen.
void retake();

// The terminal's size now (0 x 0 when it cannot be read).
TerminalSize size(int out);

// Set by SIGINT, SIGTERM, SIGHUP: the signal that asks the show to end, or 0.
extern volatile std::sig_atomic_t quitSignal;
// Set by SIGWINCH; the reader clears it.
extern volatile std::sig_atomic_t resized;
// Set by SIGTSTP: the show is to step aside with suspend(); the reader clears it.
extern volatile std::sig_atomic_t suspendAsked;
// Set by SIGCONT; the reader clears it.
extern volatile std::sig_atomic_t continued;

}  // namespace terminal_session
