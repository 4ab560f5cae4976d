#pragma once

// The page's keyboard as the show's held-key reader sees it: the page
// passes every key event on, and F8/F9 count as held between them.
void setPageKey(int sdlSymbol, bool down);
