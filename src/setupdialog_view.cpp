#include "setupdialog_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <SDL/SDL.h>

#include "platform/messagebox.h"

namespace {

// The dialog is laid out in dialog units; two pixels per unit.
constexpr int kUnit = 2;

struct View {
  SetupDialogModel* model;
  Fl_Window* window;
  Fl_Choice* resolution;
  Fl_Choice* aspect;
  Fl_Check_Button* fullscreen;
  Fl_Check_Button* vsync;
};

void onResolution(Fl_Widget*, void* data) {
  View* view = static_cast<View*>(data);
  view->model->chooseResolution(view->resolution->value());
}

void onAspect(Fl_Widget*, void* data) {
  View* view = static_cast<View*>(data);
  view->model->chooseAspect(view->aspect->value());
}

void onFullscreen(Fl_Widget*, void* data) {
  View* view = static_cast<View*>(data);
  view->model->toggleFullscreen();
  view->fullscreen->value(view->model->fullscreenCheck);
}

void onVsync(Fl_Widget*, void* data) {
  View* view = static_cast<View*>(data);
  view->model->toggleVsync();
  view->vsync->value(view->model->vsyncCheck);
}

void onRunit(Fl_Widget*, void* data) {
  static_cast<View*>(data)->model->command(SetupDialogModel::kRunit, SetupDialogModel::kClicked);
}

// "&Nah", Escape and the close box all cancel.
void onCancel(Fl_Widget*, void* data) {
  static_cast<View*>(data)->model->command(SetupDialogModel::kNah, SetupDialogModel::kClicked);
}

void fillChoice(Fl_Choice* choice, const std::vector<std::string>& entries, int selected) {
  for (const std::string& entry : entries) choice->add(entry.c_str());
  if (selected >= 0 && selected < static_cast<int>(entries.size())) choice->value(selected);
}

}  // namespace

int showSetupDialog(SetupDialogModel& model) {
  if (!platform::displayAvailable()) {
    return model.command(SetupDialogModel::kRunit, SetupDialogModel::kClicked);
  }

  // Widths leave room for every label at FLTK's default font: the check
  // buttons' box plus "Vsync enable", the Return button's arrow beside "Runit".
  Fl_Window window(147 * kUnit, 55 * kUnit, "Kestrune");
  View view{&model, &window, nullptr, nullptr, nullptr, nullptr};

  Fl_Box resolutionLabel(5 * kUnit, 5 * kUnit, 70 * kUnit, 10 * kUnit, "Choose resolution");
  resolutionLabel.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  Fl_Choice resolution(80 * kUnit, 5 * kUnit, 62 * kUnit, 10 * kUnit);
  fillChoice(&resolution, model.resolutions, model.selectedResolution);
  resolution.callback(onResolution, &view);
  view.resolution = &resolution;

  Fl_Box aspectLabel(5 * kUnit, 20 * kUnit, 70 * kUnit, 10 * kUnit, "Aspect ratio");
  aspectLabel.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  Fl_Choice aspect(80 * kUnit, 20 * kUnit, 62 * kUnit, 10 * kUnit);
  fillChoice(&aspect, model.aspects, model.selectedAspect);
  aspect.callback(onAspect, &view);
  view.aspect = &aspect;

  Fl_Return_Button runit(5 * kUnit, 35 * kUnit, 36 * kUnit, 15 * kUnit, "&Runit");
  runit.callback(onRunit, &view);
  Fl_Button nah(45 * kUnit, 35 * kUnit, 30 * kUnit, 15 * kUnit, "&Nah");
  nah.callback(onCancel, &view);

  Fl_Check_Button fullscreen(80 * kUnit, 35 * kUnit, 62 * kUnit, 10 * kUnit, "&Fullscreen");
  fullscreen.value(model.fullscreenCheck);
  fullscreen.callback(onFullscreen, &view);
  view.fullscreen = &fullscreen;
  Fl_Check_Button vsync(80 * kUnit, 45 * kUnit, 62 * kUnit, 10 * kUnit, "&Vsync enable");
  vsync.value(model.vsyncCheck);
  vsync.callback(onVsync, &view);
  view.vsync = &vsync;

  window.end();
  window.callback(onCancel, &view);
  window.set_modal();
  window.show();

  // SDL turns SIGINT and SIGTERM into a quit request, which ends the show;
  // it ends the dialog the same way. The signal also cuts the wait short.
  while (model.endValue == 0 && window.shown() && !SDL_QuitRequested()) Fl::wait(0.25);
  window.hide();
  Fl::flush();
  // Let the X server drop the dialog before the show's window opens.
  for (int i = 0; i < 5; ++i) Fl::check();
  return model.endValue != 0 ? model.endValue : SetupDialogModel::kNah;
}

int runSetupDialog(const DisplayPresets& presets, bool show) {
  SetupDialogModel model(display_settings);
  SDL_Rect** modes = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
  SetupDialogModel::ModeKind kind = SetupDialogModel::ModeKind::Listed;
  std::vector<SetupDialogModel::Mode> listed;
  if (modes == nullptr) {
    kind = SetupDialogModel::ModeKind::None;
  } else if (modes == reinterpret_cast<SDL_Rect**>(-1)) {
    kind = SetupDialogModel::ModeKind::AnySize;
  } else {
    for (int i = 0; modes[i]; ++i) listed.push_back({modes[i]->w, modes[i]->h});
  }
  model.open(kind, listed);
  model.applyPresets(presets);
  if (!show) return model.command(SetupDialogModel::kRunit, SetupDialogModel::kClicked);
  return showSetupDialog(model);
}
