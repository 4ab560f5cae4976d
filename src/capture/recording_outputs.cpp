#include "capture/recording_outputs.h"

#include "capture/frame_directory.h"
#include "capture/output_file.h"

bool commitRecording(OutputFile* video, FrameDirectory* frames, std::string& error) {
  if (video && !video->check()) {
    error = video->error();
    if (frames) frames->abandon();
    return false;
  }
  if (frames && !frames->moveIn()) {
    error = frames->error();
    return false;
  }
  if (video && !video->commit()) {
    error = video->error();
    if (frames) frames->putBack();
    return false;
  }
  if (frames) frames->keep();
  return true;
}
