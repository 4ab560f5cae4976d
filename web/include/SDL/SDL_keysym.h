// The browser build's key numbers: the show's key table is made of SDL 1.2
// key symbols, and the page hands those numbers over. Emscripten's own SDL
// headers number keys the SDL 2 way, so the desktop numbers are kept here.
#pragma once

enum {
  SDLK_TAB = 9,
  SDLK_RETURN = 13,
  SDLK_ESCAPE = 27,
  SDLK_SPACE = 32,
  SDLK_0 = 48,
  SDLK_1 = 49,
  SDLK_9 = 57,
  SDLK_a = 97,
  SDLK_z = 122,
  SDLK_KP_MINUS = 269,
  SDLK_KP_PLUS = 270,
  SDLK_UP = 273,
  SDLK_DOWN = 274,
  SDLK_RIGHT = 275,
  SDLK_LEFT = 276,
  SDLK_F1 = 282,
  SDLK_F8 = 289,
  SDLK_F9 = 290,
  SDLK_F12 = 293,
  SDLK_RSHIFT = 303,
  SDLK_LSHIFT = 304,
  SDLK_RCTRL = 305,
  SDLK_LCTRL = 306,
  SDLK_RALT = 307,
  SDLK_LALT = 308,
  SDLK_PRINT = 316,
};
