#include "audio_io.h"

#include <lame.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace chiptune {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
uint32_t get32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

std::vector<uint8_t> encodeWav(const std::vector<int16_t>& pcm) {
  const uint32_t dataBytes = uint32_t(pcm.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  put32(out, 36 + dataBytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(out, 16);
  put16(out, 1);
  put16(out, 2);
  put32(out, 44100);
  put32(out, 44100 * 4);
  put16(out, 4);
  put16(out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put32(out, dataBytes);
  for (int16_t s : pcm) put16(out, uint16_t(s));
  return out;
}

bool decodeWav(const std::vector<uint8_t>& f, std::vector<int16_t>& pcm, int& channels, int& rate,
               std::string& error) {
  if (f.size() < 12 || std::memcmp(f.data(), "RIFF", 4) != 0 || std::memcmp(f.data() + 8, "WAVE", 4) != 0) {
    error = "not a RIFF/WAVE file";
    return false;
  }
  bool haveFormat = false;
  size_t pos = 12;
  while (pos + 8 <= f.size()) {
    const uint32_t size = get32(f.data() + pos + 4);
    const size_t body = pos + 8;
    if (size > f.size() - body) {
      error = "WAV chunk runs past the end of the file";
      return false;
    }
    if (std::memcmp(f.data() + pos, "fmt ", 4) == 0) {
      if (size < 16 || get16(f.data() + body) != 1 || get16(f.data() + body + 14) != 16) {
        error = "only 16-bit PCM WAV is supported";
        return false;
      }
      channels = get16(f.data() + body + 2);
      rate = int(get32(f.data() + body + 4));
      if (channels < 1 || channels > 2) {
        error = "only mono or stereo WAV is supported";
        return false;
      }
      haveFormat = true;
    } else if (std::memcmp(f.data() + pos, "data", 4) == 0) {
      if (!haveFormat) {
        error = "WAV data before its format";
        return false;
      }
      pcm.resize(size / 2);
      for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(get16(f.data() + body + 2 * i));
      return true;
    }
    pos = body + size + (size & 1);
  }
  error = "WAV file without data";
  return false;
}

bool encodeMp3(const std::vector<int16_t>& pcm, std::vector<uint8_t>& mp3, std::string& error) {
  lame_global_flags* gf = lame_init();
  if (!gf) {
    error = "lame_init failed";
    return false;
  }
  lame_set_in_samplerate(gf, 44100);
  lame_set_out_samplerate(gf, 44100);
  lame_set_num_channels(gf, 2);
  lame_set_mode(gf, JOINT_STEREO);
  lame_set_VBR(gf, vbr_off);
  lame_set_brate(gf, 160);
  lame_set_quality(gf, 3);
  lame_set_bWriteVbrTag(gf, 1);
  lame_set_write_id3tag_automatic(gf, 0);
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    error = "lame_init_params failed";
    return false;
  }
  mp3.clear();
  const size_t chunk = 8192;
  std::vector<unsigned char> buf(chunk * 5 / 4 + 7200);
  const size_t frames = pcm.size() / 2;
  for (size_t done = 0; done < frames; done += chunk) {
    const int n = int(std::min(chunk, frames - done));
    // LAME takes a non-const pointer but does not write through it.
    int bytes = lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data() + done * 2), n, buf.data(),
                                               int(buf.size()));
    if (bytes < 0) {
      lame_close(gf);
      error = "lame_encode_buffer_interleaved failed";
      return false;
    }
    mp3.insert(mp3.end(), buf.begin(), buf.begin() + bytes);
  }
  int bytes = lame_encode_flush(gf, buf.data(), int(buf.size()));
  if (bytes < 0) {
    lame_close(gf);
    error = "lame_encode_flush failed";
    return false;
  }
  mp3.insert(mp3.end(), buf.begin(), buf.begin() + bytes);
  // The first frame was a placeholder; put the finished tag in its place.
  size_t tag = lame_get_lametag_frame(gf, buf.data(), buf.size());
  lame_close(gf);
  if (tag == 0 || tag > buf.size() || tag > mp3.size()) {
    error = "no LAME tag frame";
    return false;
  }
  std::memcpy(mp3.data(), buf.data(), tag);
  return true;
}

bool decodeMp3(const std::vector<uint8_t>& mp3, bool gapless, std::vector<int16_t>& pcm, std::string& error) {
  static const bool initialised = mpg123_init() == MPG123_OK;
  if (!initialised) {
    error = "mpg123_init failed";
    return false;
  }
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) {
    error = "mpg123_new failed";
    return false;
  }
  mpg123_param(mh, gapless ? MPG123_ADD_FLAGS : MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  mpg123_format_none(mh);
  mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open_feed(mh) != MPG123_OK || mpg123_feed(mh, mp3.data(), mp3.size()) != MPG123_OK) {
    error = mpg123_strerror(mh);
    mpg123_delete(mh);
    return false;
  }
  pcm.clear();
  std::vector<unsigned char> out(65536);
  bool formatOk = false;
  for (;;) {
    size_t done = 0;
    int rc = mpg123_read(mh, out.data(), out.size(), &done);
    if (rc == MPG123_NEW_FORMAT) {
      long rate;
      int channels, encoding;
      mpg123_getformat(mh, &rate, &channels, &encoding);
      formatOk = rate == 44100 && channels == 2 && encoding == MPG123_ENC_SIGNED_16;
      if (!formatOk) break;
    }
    const int16_t* s = reinterpret_cast<const int16_t*>(out.data());
    pcm.insert(pcm.end(), s, s + done / 2);
    if (rc == MPG123_NEED_MORE || rc == MPG123_DONE) break;
    if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
      error = mpg123_strerror(mh);
      mpg123_delete(mh);
      return false;
    }
  }
  mpg123_delete(mh);
  if (!formatOk) {
    error = "the MP3 is not 44100 Hz stereo";
    return false;
  }
  return true;
}

bool readBinaryFile(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool writeBinaryFile(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace chiptune
