#pragma once

#include <string>

class FrameDirectory;
class OutputFile;

// Gives a finished recording its names, all or nothing: every name is
// checked first, the frames move in with the earlier ones kept aside, then
// the video is named; should that fail, the earlier frames come back. Either
// may be null. False with `error` set (one line) when nothing changed; the
// recording is then abandoned.
bool commitRecording(OutputFile* video, FrameDirectory* frames, std::string& error);
