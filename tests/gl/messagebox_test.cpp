// The fatal box on a real display: FLTK's stock message box has an "i" icon
// and a "Close" button; ours has the text and one OK button, nothing else.
#include <gtest/gtest.h>

#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>

#include <string>

#include "platform/messagebox.h"

TEST(MessageBoxTest, FatalBoxHasTheTextAndOneOkButtonOnly) {
  Fl_Window* box = platform::buildOkBox("Error in file src\\main.cpp:1", "Error in file src\\main.cpp:1\n\nBroken");
  ASSERT_EQ(2, box->children());
  int buttons = 0;
  for (int i = 0; i < box->children(); ++i) {
    Fl_Widget* widget = box->child(i);
    EXPECT_EQ(nullptr, widget->image());
    if (dynamic_cast<Fl_Button*>(widget)) {
      ++buttons;
      EXPECT_STREQ("OK", widget->label());
    } else {
      EXPECT_STREQ("Error in file src\\main.cpp:1\n\nBroken", widget->label());
    }
  }
  EXPECT_EQ(1, buttons);
  EXPECT_STREQ("Error in file src\\main.cpp:1", box->label());
  delete box;
}
