#pragma once

#include <csignal>
#include <string>

#include "terminal/ansi_screen.h"

// Why the show cannot play in this terminal, as one line; empty when it
// can. `codeset` is the locale's character set (nl_langinfo(CODESET)).
std::string terminalRefusal(bool outputIsTerminal, const char* term, const char* codeset);

// The terminal taken over for the show: raw input (no echo, no line
// editing, no signal keys: Ctrl-C arrives as a byte), the alternate screen,
// the cursor hidden, line wrap off. Everything goes back as it was on every
// way out: leave(), the program's exit, and the signals that end it (the
// crash signals included, as far as a signal handler can).
namespace terminal_session {

// Takes over the terminal on `out` (reading keys from `in`, which may be
// no terminal). Installs the signal handlers.
void enter(int in, int out);
// Gives the terminal back; safe to call more than once, and from a signal
// handler.
void leave();
bool active();

// The terminal's size now (0 x 0 when it cannot be read).
TerminalSize size(int out);

// Set by SIGINT, SIGTERM, SIGHUP: the signal that asks the show to end, or 0.
extern volatile std::sig_atomic_t quitSignal;
// Set by SIGWINCH; the reader clears it.
extern volatile std::sig_atomic_t resized;

}  // namespace terminal_session
