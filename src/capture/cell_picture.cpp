#include "capture/cell_picture.h"

#include <cstring>

#include "capture/yuv420.h"

void CellPicture::present(const AsciiEngine& engine) {
  if (target_ == nullptr) return;
  renderReferenceBgra(engine, atlas_, target_);
  drawn_ = true;
}

void CellPicture::finishFrame() {
  constexpr size_t kPixels = static_cast<size_t>(AsciiEngine::kTargetWidth) * AsciiEngine::kTargetHeight;
  if (target_ == nullptr) return;
  if (!drawn_) std::memset(target_, 0, kPixels * 4);
  if (converts_) bgraToYuvPixels(target_, kPixels, target_);
  target_ = nullptr;
}
