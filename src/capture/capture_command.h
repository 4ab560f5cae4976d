#pragma once

#include <string>

#include "capture/capture_plan.h"

// `kestrune --capture`: opens an OpenGL context of its own (no display is
// needed), reads the data archive and records the show as asked. Messages go
// to standard error, one line each. Returns the exit code: 0 on success, 1 on
// failure, 128 + the signal number when interrupted.
int runCapture(const CaptureRequest& request);

// Opens the OpenGL context a recording of width x height draws with (one
// without a window where EGL offers it, else a small window) and checks that
// it can draw off-screen. False with `why` set (one line) otherwise.
// `renderer` receives the OpenGL renderer's name.
bool openRecordingContext(int width, int height, std::string& why, std::string& renderer);
void closeRecordingContext();
