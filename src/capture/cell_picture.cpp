#include "capture/cell_picture.h"

#include <cstring>

void CellPicture::present(const AsciiEngine& engine) {
  if (target_ == nullptr) return;
  renderReferenceBgra(engine, atlas_, target_);
  drawn_ = true;
}

void CellPicture::finishFrame() {
  if (target_ != nullptr && !drawn_)
    std::memset(target_, 0, static_cast<size_t>(AsciiEngine::kTargetWidth) * AsciiEngine::kTargetHeight * 4);
  target_ = nullptr;
}
