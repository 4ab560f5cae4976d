// Frame cost of AsciiEngine::present plus the window draw, on the GL the
// machine has (Mesa llvmpipe under Xvfb in our runs), against a baseline
// frame that only clears and swaps the same window in the same run.
//
//   KESTRUNE_DATA_TVL=build/data.tvl xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX" build/bench/bench_present
//
// Window size: 1920 x 1080 (override with KESTRUNE_BENCH_SIZE=WxH).
#include <GL/glew.h>
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "platform/random.h"
#include "util/ascii/asciiengine.h"
#include "util/data/data.h"
#include "util/fbo/fbo.h"

namespace {

int g_width = 1920;
int g_height = 1080;
AsciiEngine* g_engine = nullptr;

bool openWindow() {
  if (const char* size = std::getenv("KESTRUNE_BENCH_SIZE")) {
    std::sscanf(size, "%dx%d", &g_width, &g_height);
  }
  if (SDL_Init(SDL_INIT_VIDEO) < 0) return false;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 0);
  if (!SDL_SetVideoMode(g_width, g_height, 32, SDL_OPENGL)) return false;
  return glewInit() == GLEW_OK;
}

// A busy screen: every cell a different glyph and colour pair.
void fillScreen(AsciiEngine& engine) {
  platform::srand(1);
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    engine.setCell(i % 80, i / 80, platform::rand() & 255, platform::rand() & 15, platform::rand() & 15);
  }
}

void beginFrame() {
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glViewport(0, 0, g_width, g_height);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void BM_ClearAndSwap(benchmark::State& state) {
  for (auto _ : state) {
    beginFrame();
    SDL_GL_SwapBuffers();
  }
}

void presentFrames(benchmark::State& state, AsciiEngine::Submission submission) {
  AsciiEngine& engine = *g_engine;
  engine.submission = submission;
  fillScreen(engine);
  engine.setViewport(g_width, g_height, 16.0f / 9.0f);
  for (auto _ : state) {
    beginFrame();
    engine.present();
    SDL_GL_SwapBuffers();
  }
  engine.submission = AsciiEngine::Submission::Immediate;
}

void BM_PresentImmediate(benchmark::State& state) {
  presentFrames(state, AsciiEngine::Submission::Immediate);
}

void BM_PresentVertexArrays(benchmark::State& state) {
  presentFrames(state, AsciiEngine::Submission::VertexArrays);
}

// The window half of present() alone: the target's picture drawn over the
// letterbox, as the program draws it (mipmapped, anisotropic) and, for
// comparison, with anisotropic filtering off.
void finalQuadFrames(benchmark::State& state, bool anisotropic) {
  AsciiEngine& engine = *g_engine;
  Texture* picture = engine.target->colorTextures[0];
  engine.setViewport(g_width, g_height, 16.0f / 9.0f);
  GLfloat maxAnisotropy = 1.0f;
  glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
  glBindTexture(GL_TEXTURE_2D, picture->texID);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropic ? maxAnisotropy : 1.0f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  for (auto _ : state) {
    beginFrame();
    glViewport(engine.viewX, engine.viewY, engine.viewWidth, engine.viewHeight);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    picture->drawFullscreen();
    SDL_GL_SwapBuffers();
  }
  glBindTexture(GL_TEXTURE_2D, picture->texID);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, maxAnisotropy);
}

void BM_FinalQuad(benchmark::State& state) { finalQuadFrames(state, true); }
void BM_FinalQuadNoAnisotropy(benchmark::State& state) { finalQuadFrames(state, false); }

// What present() spends keeping the target's mipmap chain current: one
// glGenerateMipmapEXT of the 640 x 600 colour texture, waited for.
void BM_TargetMipmapRegeneration(benchmark::State& state) {
  const GLuint texture = g_engine->target->colorTextures[0]->texID;
  for (auto _ : state) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glGenerateMipmapEXT(GL_TEXTURE_2D);
    glFinish();
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!openWindow()) {
    std::fprintf(stderr, "bench_present: no GL window (%s); run under xvfb-run\n", SDL_GetError());
    return 1;
  }
  const char* tvl = std::getenv("KESTRUNE_DATA_TVL");
  data_read_archive(tvl ? tvl : "data.tvl");
  data_mode = DATA_MODE_ARCHIVE;
  g_engine = new AsciiEngine();

  benchmark::RegisterBenchmark("ClearAndSwap (baseline)", BM_ClearAndSwap)->UseRealTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Present immediate mode", BM_PresentImmediate)->UseRealTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Present vertex arrays", BM_PresentVertexArrays)->UseRealTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Window quad only", BM_FinalQuad)->UseRealTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Window quad only, anisotropy off", BM_FinalQuadNoAnisotropy)->UseRealTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Target mipmap regeneration", BM_TargetMipmapRegeneration)->UseRealTime()->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  SDL_Quit();
  return 0;
}
