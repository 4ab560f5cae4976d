#pragma once

class SetupDialogModel;

// Shows the model as a modal FLTK window titled "Kestrune" and forwards the
// viewer's actions to it until it ends; returns the end value (1 or 2).
// Without a display the dialog is accepted as it opened.
int showSetupDialog(SetupDialogModel& model);
