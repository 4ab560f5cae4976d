#include "util/bufferfont.h"

#include <FTGL/ftgl.h>

#include <cstdlib>

#include "util/data/data.h"
#include "util/error.h"

BufferFont::BufferFont(const char* fileName) : bytes_(nullptr), font_(nullptr) {
  int size = 0;
  bytes_ = data_load_file(fileName, &size, true);
  if (!bytes_) ErrorBox("tmpbuf is NULL");
  font_ = new FTBufferFont(reinterpret_cast<const unsigned char*>(bytes_), size);
  font_->FaceSize(48, 72);
  font_->CharMap(ft_encoding_unicode);
}

BufferFont::~BufferFont() {
  delete font_;
  std::free(bytes_);
}
