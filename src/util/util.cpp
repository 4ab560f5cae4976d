#include "util/util.h"

#include <FTGL/ftgl.h>

#include "util/data/data.h"
#include "util/error.h"

FTFont* loadBufferFont(const char* fileName) {
  int size = 0;
  char* tmpbuf = data_load_file(fileName, &size, true);
  if (!tmpbuf) ErrorBox("tmpbuf is NULL");
  FTFont* font = new FTBufferFont(reinterpret_cast<const unsigned char*>(tmpbuf), size);
  font->FaceSize(48, 72);
  font->CharMap(ft_encoding_unicode);
  return font;
}
