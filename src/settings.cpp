#include "settings.h"

DisplaySettings display_settings;
