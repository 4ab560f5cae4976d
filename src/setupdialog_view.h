#pragma once

#include "setupdialog.h"

// Shows the model as a modal FLTK window titled "Kestrune" and forwards the
// viewer's actions to it until it ends; returns the end value (1 or 2).
// Without a display the dialog is accepted as it opened.
int showSetupDialog(SetupDialogModel& model);

// Shows the modal setup dialog with the presets selected; 1 when the viewer
// starts the show, 2 when they leave. Without `show` the dialog is accepted
// at once as it would open. Needs SDL video to be initialised (for the mode
// list).
int runSetupDialog(const DisplayPresets& presets = {}, bool show = true);
