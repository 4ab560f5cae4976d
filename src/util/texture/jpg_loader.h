#pragma once

class Texture;

// JPEG through libjpeg. Corrupt data ends the process through the library's
// standard error exit.
bool load_jpg(const char* fileName, Texture* texture);
