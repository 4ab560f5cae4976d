#include "support/audio_fixtures.h"

#include <lame.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace audio_fixtures {

Pcm sine(double seconds, double hz, double amplitude, int channels, int rate) {
  Pcm pcm;
  pcm.channels = channels;
  pcm.rate = rate;
  size_t frames = static_cast<size_t>(std::llround(seconds * rate));
  pcm.samples.resize(frames * channels);
  const double pi = 3.14159265358979323846;
  for (size_t i = 0; i < frames; ++i) {
    double v = std::sin(2.0 * pi * hz * static_cast<double>(i) / rate) * amplitude * 32767.0;
    int16_t s = static_cast<int16_t>(std::lround(v));
    for (int c = 0; c < channels; ++c) pcm.samples[i * channels + c] = s;
  }
  return pcm;
}

Pcm testSong(double seconds) {
  Pcm pcm;
  size_t frames = static_cast<size_t>(std::llround(seconds * 44100));
  pcm.samples.resize(frames * 2);
  const double pi = 3.14159265358979323846;
  const double roots[4] = {220.0, 174.61, 261.63, 196.0};
  uint32_t noise = 1;
  for (size_t i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / 44100;
    int beat = static_cast<int>(t / 0.3);
    double root = roots[(beat / 4) % 4];
    double inBeat = t - beat * 0.3;
    double v = 0.2 * std::sin(2 * pi * root * t) + 0.15 * std::sin(2 * pi * root * 1.25 * t) +
               0.1 * std::sin(2 * pi * root * 1.5 * t);
    noise = noise * 1664525u + 1013904223u;
    double burst = inBeat < 0.05 ? (static_cast<double>(noise >> 16) / 32768.0 - 1.0) * 0.3 : 0.0;
    double left = v + burst, right = v * 0.8 + burst * 0.5;
    pcm.samples[i * 2] = static_cast<int16_t>(std::lround(left * 32767 * 0.7));
    pcm.samples[i * 2 + 1] = static_cast<int16_t>(std::lround(right * 32767 * 0.7));
  }
  return pcm;
}

double binFrequency(int bin) { return bin * 44100.0 / 1024.0; }

std::vector<uint8_t> encodeMp3(const Pcm& pcm, const Mp3Options& options) {
  lame_global_flags* gf = lame_init();
  if (!gf) throw std::runtime_error("lame_init failed");
  lame_set_num_channels(gf, pcm.channels);
  lame_set_in_samplerate(gf, pcm.rate);
  lame_set_out_samplerate(gf, pcm.rate);
  lame_set_mode(gf, pcm.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(gf, options.bitrate);
  lame_set_quality(gf, options.quality);
  lame_set_bWriteVbrTag(gf, options.infoTag ? 1 : 0);
  lame_set_write_id3tag_automatic(gf, 0);
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    throw std::runtime_error("lame_init_params failed");
  }
  std::vector<uint8_t> out;
  const int chunk = 4096;
  std::vector<unsigned char> buffer(static_cast<size_t>(1.25 * chunk + 7200));
  size_t frames = pcm.frames();
  std::vector<int16_t> mono;
  for (size_t at = 0; at < frames; at += chunk) {
    int n = static_cast<int>(std::min<size_t>(chunk, frames - at));
    const int16_t* src = pcm.samples.data() + at * pcm.channels;
    int got;
    if (pcm.channels == 2) {
      got = lame_encode_buffer_interleaved(gf, const_cast<short*>(src), n, buffer.data(),
                                           static_cast<int>(buffer.size()));
    } else {
      got = lame_encode_buffer(gf, src, src, n, buffer.data(), static_cast<int>(buffer.size()));
    }
    if (got < 0) throw std::runtime_error("lame_encode_buffer failed");
    out.insert(out.end(), buffer.begin(), buffer.begin() + got);
  }
  int got = lame_encode_flush(gf, buffer.data(), static_cast<int>(buffer.size()));
  if (got < 0) throw std::runtime_error("lame_encode_flush failed");
  out.insert(out.end(), buffer.begin(), buffer.begin() + got);
  if (options.infoTag) {
    // The encoder reserved the first frame for the tag; fill it in now that
    // the totals are known.
    unsigned char tag[4096];
    size_t size = lame_get_lametag_frame(gf, tag, sizeof tag);
    if (size > 0 && size <= out.size()) memcpy(out.data(), tag, size);
  }
  lame_close(gf);
  return out;
}

std::vector<uint8_t> encodeOgg(const Pcm& pcm, float quality) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, pcm.channels, pcm.rate, quality) != 0)
    throw std::runtime_error("vorbis_encode_init_vbr failed");
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state os;
  ogg_stream_init(&os, 0x4b455354);
  std::vector<uint8_t> out;
  auto append = [&out](const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };
  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &headerComment);
  ogg_stream_packetin(&os, &headerCode);
  ogg_page page;
  while (ogg_stream_flush(&os, &page) != 0) append(page);

  const size_t chunk = 4096;
  size_t frames = pcm.frames();
  size_t at = 0;
  bool eos = false;
  while (!eos) {
    size_t n = std::min(chunk, frames - at);
    if (n == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < pcm.channels; ++c)
          buffer[c][i] = pcm.samples[(at + i) * pcm.channels + c] / 32768.0f;
      vorbis_analysis_wrote(&dsp, static_cast<int>(n));
      at += n;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page) != 0) {
          append(page);
          if (ogg_page_eos(&page)) eos = true;
        }
      }
    }
    if (n == 0 && !eos) {
      while (ogg_stream_flush(&os, &page) != 0) {
        append(page);
        if (ogg_page_eos(&page)) eos = true;
      }
      eos = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

void useDummyAudioDevice() { setenv("SDL_AUDIODRIVER", "dummy", 0); }

std::string asString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace audio_fixtures
