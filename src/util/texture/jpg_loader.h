#pragma once

class Texture;

// JPEG through libjpeg. Data the library cannot decode, or that ends before
// the picture does, shows the library's message in the decoders' plain box;
// more pixels than the decoders' cap shows "Invalid texture information".
// Either way the load fails like the other decoders'.
bool load_jpg(const char* fileName, Texture* texture);
