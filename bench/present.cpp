// Frame cost of presenting the text screen to a window on the GL the machine
// has (Mesa llvmpipe under Xvfb in our runs), against two baselines measured
// in the same run: a frame that only clears and swaps, and the floor of any
// present: clear + one linearly filtered window quad of a 640 x 600 texture
// + swap. Ends with each present variant as a multiple of the floor.
//
//   KESTRUNE_DATA_TVL=build/data.tvl xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX" build/bench/bench_present
//
// Window size: 1920 x 1080 (override with KESTRUNE_BENCH_SIZE=WxH, e.g. 1280x720).
#include <epoxy/gl.h>
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "platform/gl_loader.h"
#include "util/random.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/gl_screen_renderer.h"
#include "util/data/data.h"
#include "util/fbo/fbo.h"

namespace {

int g_width = 1920;
int g_height = 1080;
GlScreenRenderer* g_gl = nullptr;
AsciiEngine* g_engine = nullptr;

const char* const kFloor = "Floor: clear + linear window quad + swap";

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
  return platform::loadGlEntryPoints().empty();
}

// A busy screen: every cell a different glyph and colour pair.
void fillScreen(AsciiEngine& engine) {
  util::Random random(1);
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    engine.setCell(i % 80, i / 80, random.next() & 255, random.next() & 15, random.next() & 15);
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

// The least any present can cost: the picture drawn once over the letterbox
// from a plain linear 640 x 600 texture, no cells rendered.
void BM_Floor(benchmark::State& state) {
  Texture picture;
  picture.width = AsciiEngine::kTargetWidth;
  picture.height = AsciiEngine::kTargetHeight;
  picture.format = GL_RGBA;
  picture.bpp = 32;
  picture.internalFormat = GL_RGBA8;
  picture.create();
  g_engine->setViewport(g_width, g_height, 16.0f / 9.0f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  for (auto _ : state) {
    beginFrame();
    glViewport(g_engine->viewX, g_engine->viewY, g_engine->viewWidth, g_engine->viewHeight);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    picture.drawFullscreen();
    SDL_GL_SwapBuffers();
  }
  picture.release();
}

void presentFrames(benchmark::State& state, GlScreenRenderer::CellPass pass) {
  g_gl->cellPass = pass;
  fillScreen(*g_engine);
  g_engine->setViewport(g_width, g_height, 16.0f / 9.0f);
  for (auto _ : state) {
    beginFrame();
    g_engine->present();
    SDL_GL_SwapBuffers();
  }
}

// present() as it was first built: 8000 immediate-mode quads, black ones
// included, then the window quad through a regenerated mipmap chain, a
// mipmapped minifying filter and the highest anisotropy, whatever the scale.
void BM_PresentAsFirstBuilt(benchmark::State& state) {
  g_gl->cellPass = GlScreenRenderer::CellPass::Immediate;
  fillScreen(*g_engine);
  g_engine->setViewport(g_width, g_height, 16.0f / 9.0f);
  Texture* picture = g_gl->target->colorTextures[0];
  GLfloat maxAnisotropy = 1.0f;
  glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
  for (auto _ : state) {
    beginFrame();
    g_gl->renderTarget(*g_engine);
    glBindTexture(GL_TEXTURE_2D, picture->texID);
    glGenerateMipmapEXT(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, maxAnisotropy);
    glViewport(g_engine->viewX, g_engine->viewY, g_engine->viewWidth, g_engine->viewHeight);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    picture->drawFullscreen();
    SDL_GL_SwapBuffers();
  }
}

void BM_PresentImmediate(benchmark::State& state) { presentFrames(state, GlScreenRenderer::CellPass::Immediate); }
void BM_PresentShader(benchmark::State& state) { presentFrames(state, GlScreenRenderer::CellPass::Shader); }
void BM_PresentVertexArrays(benchmark::State& state) {
  presentFrames(state, GlScreenRenderer::CellPass::VertexArrays);
}

// The cell pass alone: 4000 cells into the 640 x 600 target, waited for.
void cellPassFrames(benchmark::State& state, GlScreenRenderer::CellPass pass) {
  g_gl->cellPass = pass;
  fillScreen(*g_engine);
  for (auto _ : state) {
    g_gl->renderTarget(*g_engine);
    glFinish();
  }
}
void BM_CellPassShader(benchmark::State& state) { cellPassFrames(state, GlScreenRenderer::CellPass::Shader); }
void BM_CellPassVertexArrays(benchmark::State& state) {
  cellPassFrames(state, GlScreenRenderer::CellPass::VertexArrays);
}

// What a minified present spends keeping the target's mipmap chain current.
void BM_TargetMipmapRegeneration(benchmark::State& state) {
  const GLuint texture = g_gl->target->colorTextures[0]->texID;
  for (auto _ : state) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glGenerateMipmapEXT(GL_TEXTURE_2D);
    glFinish();
  }
}

// CPU time of the whole process (main thread and llvmpipe's rasterizer
// threads) in ms: what a frame costs whatever else the machine runs, where
// wall time on a busy machine mostly measures waiting for a core.
double processCpuMs() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

template <void (*Body)(benchmark::State&)>
void withProcessCpu(benchmark::State& state) {
  const double before = processCpuMs();
  Body(state);
  if (state.iterations() > 0) state.counters["cpu_ms_all_threads"] = (processCpuMs() - before) / state.iterations();
}

// Console output plus, at the end, every present as a multiple of the floor.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      std::string name = run.benchmark_name();
      name = name.substr(0, name.find("/real_time"));
      milliseconds_[name] = run.GetAdjustedRealTime();
      const auto cpu = run.counters.find("cpu_ms_all_threads");
      if (cpu != run.counters.end()) cpuMilliseconds_[name] = cpu->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void printRatios() const {
    const auto floor = milliseconds_.find(kFloor);
    if (floor == milliseconds_.end() || floor->second <= 0) return;
    const auto floorCpuEntry = cpuMilliseconds_.find(kFloor);
    const double floorCpu = floorCpuEntry == cpuMilliseconds_.end() ? 0.0 : floorCpuEntry->second;
    std::printf("\n%dx%d, as a multiple of the floor (%.2f ms wall, %.2f ms CPU of all threads):\n", g_width,
                g_height, floor->second, floorCpu);
    for (const auto& entry : milliseconds_) {
      if (entry.first.rfind("Present", 0) == 0) {
        const double cpu = cpuMilliseconds_.at(entry.first);
        std::printf("  %-50s %7.2f ms %5.2fx   CPU %7.2f ms %5.2fx\n", entry.first.c_str(), entry.second,
                    entry.second / floor->second, cpu, floorCpu > 0 ? cpu / floorCpu : 0.0);
      }
    }
  }

 private:
  std::map<std::string, double> milliseconds_;
  std::map<std::string, double> cpuMilliseconds_;
};

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
  g_gl = new GlScreenRenderer();
  g_engine = new AsciiEngine(g_gl);

  auto add = [](const char* name, void (*fn)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, fn)->UseRealTime()->Unit(benchmark::kMillisecond);
  };
  add("ClearAndSwap", withProcessCpu<BM_ClearAndSwap>);
  add(kFloor, withProcessCpu<BM_Floor>);
  add("Present as first built (anisotropic, 8000 quads)", withProcessCpu<BM_PresentAsFirstBuilt>);
  add("Present, immediate mode", withProcessCpu<BM_PresentImmediate>);
  add("Present, vertex arrays", withProcessCpu<BM_PresentVertexArrays>);
  add("Present, shader (the default)", withProcessCpu<BM_PresentShader>);
  add("Cell pass only, shader", withProcessCpu<BM_CellPassShader>);
  add("Cell pass only, vertex arrays", withProcessCpu<BM_CellPassVertexArrays>);
  add("Target mipmap regeneration", withProcessCpu<BM_TargetMipmapRegeneration>);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  SDL_Quit();
  return 0;
}
