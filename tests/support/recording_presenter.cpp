#include "recording_presenter.h"
