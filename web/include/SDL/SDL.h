// The browser build has no SDL: the show core takes only key numbers from it.
#pragma once
#include "SDL_keysym.h"
