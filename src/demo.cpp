#include "demo.h"

#include <FTGL/ftgl.h>
#include <GL/glew.h>
#include <SDL/SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/audio.h"
#include "platform/random.h"
#include "platform/ticks.h"
#include "settings.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/gl_screen_renderer.h"
#include "util/fbo/fbo.h"
#include "util/music/music.h"
#include "util/util.h"

Demo::Demo(float aspect)
    : font(nullptr),
      width(display_settings.screenWidth),
      height(display_settings.screenHeight),
      aspect(aspect),
      music(nullptr),
      fbo(nullptr),
      screen(nullptr),
      ascii(nullptr) {
  std::memset(keys.down, 0, sizeof keys.down);
  font = loadBufferFont("data/common/fonts/courier_new.ttf");
  fbo = new Fbo(512, 512);
  screen = new GlScreenRenderer();
  ascii = new AsciiEngine(screen);
  music = new Music();
  scenes = buildScheduledScenes(SceneResources{music, fbo, ascii, aspect});
}

Demo::~Demo() { scenes.clear(); }

void Demo::start() {
  platform::srand(platform::getTickCount());
  platform::audio::setAttribute(music->stream, platform::audio::kAttribVolume, 1.0f);
  music->play();
  // Busy wait: only a negative beat offset makes this loop at all.
  while (music->beatTime() < 0.0f) {
  }
}

void Demo::run() {
  bool quit = false;
  do {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      switch (event.type) {
        case SDL_KEYDOWN:
          if (event.key.keysym.sym == SDLK_ESCAPE) {
            quit = true;
          } else {
            keyEvent(event.key.keysym.sym, true);
          }
          break;
        case SDL_KEYUP:
          keyEvent(event.key.keysym.sym, false);
          break;
        case SDL_QUIT:
          quit = true;
          break;
        case SDL_VIDEORESIZE:
          width = event.resize.w;
          height = event.resize.h;
          fbo->resize(width, height);
          ascii->setViewport(width, height, aspect);
          break;
        default:
          break;
      }
    }
    frame();
  } while (!quit);
}

void Demo::frame() {
  music->update();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  drawScheduledScenes(scenes, music, &keys, width, height, true);
  SDL_GL_SwapBuffers();
}

void Demo::keyEvent(int symbol, bool down) {
  if (symbol == SDLK_ESCAPE && !down) {
    // Escape released within the same poll as its press: leave at once.
    std::exit(0);
  }
  int bytes[2];
  const int count = keyStateBytes(symbol, bytes);
  for (int i = 0; i < count; ++i) keys.down[bytes[i]] = down ? 1 : 0;
}
