#pragma once

#include <string>
#include <vector>

#include "util/boxes.h"

// Records the boxes the program would show; answers questions as told.
class RecordingPresenter : public BoxPresenter {
 public:
  struct Box {
    std::string title;
    std::string text;
  };

  explicit RecordingPresenter(bool answerOk = true) : answerOk_(answerOk) {
    setBoxPresenter(this);
  }
  ~RecordingPresenter() override { setBoxPresenter(nullptr); }

  void message(const char* title, const char* text) override { boxes.push_back({title, text}); }
  bool askOkCancel(const char* title, const char* text) override {
    boxes.push_back({title, text});
    return answerOk_;
  }

  std::vector<Box> boxes;

 private:
  bool answerOk_;
};
