#pragma once

// Modal boxes shown to the viewer: fatal errors and questions. The show's
// own code asks for them here; what shows them is chosen by the program
// (a dialog on a display, a line on a terminal, a test's recorder). Until
// one is chosen the title and text go to standard error and every question
// is answered with OK.
class BoxPresenter {
 public:
  virtual ~BoxPresenter() = default;
  // One OK button; returns once acknowledged.
  virtual void message(const char* title, const char* text) = 0;
  // OK and Cancel; true when the viewer chose OK.
  virtual bool askOkCancel(const char* title, const char* text) = 0;
};

void showMessageBox(const char* title, const char* text);
bool askOkCancel(const char* title, const char* text);

// Who shows the boxes from now on; nullptr goes back to standard error.
void setBoxPresenter(BoxPresenter* presenter);
// The presenter in use, for a caller that puts it back afterwards.
BoxPresenter* boxPresenter();
