#pragma once

// The text engine's four built-in banner pictures: each is 50 lines of 80
// characters drawn from '.', 'o', '8', '#', ':' and blank. Banner 1 is the
// closing "thanks for watching" banner.
extern const char* const banner_lines[4][50];
