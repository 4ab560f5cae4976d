#include "terminal/colour_choice.h"

// Alone in its file and last: <term.h> defines macros named like ordinary
// words (columns, lines) that would clash with other code.
#include <curses.h>
#include <term.h>

TerminfoColours readTerminfo(const char* term) {
  TerminfoColours found;
  if (!term || !*term) return found;
  int error = 0;
  // No file descriptor: nothing is written or asked of the terminal.
  TERMINAL* saved = cur_term;
  if (setupterm(term, -1, &error) != OK) {
    cur_term = saved;
    return found;
  }
  const int colours = tigetnum(const_cast<char*>("colors"));
  found.colours = colours > 0 ? colours : 0;
  found.directColour = tigetflag(const_cast<char*>("Tc")) > 0 || tigetflag(const_cast<char*>("RGB")) > 0 ||
                       tigetnum(const_cast<char*>("RGB")) > 0;
  del_curterm(cur_term);
  cur_term = saved;
  return found;
}
