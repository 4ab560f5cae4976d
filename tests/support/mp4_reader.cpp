#include "support/mp4_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

struct Decoder {
  AVCodecContext* context = nullptr;
  int stream = -1;
  ~Decoder() { avcodec_free_context(&context); }
  bool open(AVFormatContext* container, AVMediaType type) {
    stream = av_find_best_stream(container, type, -1, -1, nullptr, 0);
    if (stream < 0) return false;
    const AVCodecParameters* parameters = container->streams[stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    context = avcodec_alloc_context3(codec);
    return codec && context && avcodec_parameters_to_context(context, parameters) >= 0 &&
           avcodec_open2(context, codec, nullptr) >= 0;
  }
};

void takePicture(const AVFrame* frame, Mp4Contents& out) {
  double sum = 0.0;
  for (int y = 0; y < frame->height; ++y)
    for (int x = 0; x < frame->width; ++x) sum += frame->data[0][y * frame->linesize[0] + x];
  out.lumaMeans.push_back(sum / (static_cast<double>(frame->width) * frame->height));
  ++out.videoFrames;
}

void takeSound(const AVFrame* frame, Mp4Contents& out) {
  const int channels = frame->ch_layout.nb_channels;
  for (int i = 0; i < frame->nb_samples; ++i) {
    float sum = 0.0f;
    for (int c = 0; c < channels; ++c) sum += reinterpret_cast<const float*>(frame->extended_data[c])[i];
    out.sound.push_back(sum / channels);
  }
}

// Sends `packet` (null: drain) and takes every frame that comes out.
template <typename Take>
void decode(Decoder& decoder, const AVPacket* packet, AVFrame* frame, Take take) {
  if (avcodec_send_packet(decoder.context, packet) < 0) return;
  while (avcodec_receive_frame(decoder.context, frame) >= 0) {
    take(frame);
    av_frame_unref(frame);
  }
}

}  // namespace

bool readMp4(const std::string& path, Mp4Contents& out, std::string& error) {
  out = Mp4Contents{};
  AVFormatContext* container = nullptr;
  if (avformat_open_input(&container, path.c_str(), nullptr, nullptr) < 0) {
    error = "cannot open " + path;
    return false;
  }
  std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> closer(&container, avformat_close_input);
  if (avformat_find_stream_info(container, nullptr) < 0) {
    error = "no stream information in " + path;
    return false;
  }
  Decoder video, sound;
  if (!video.open(container, AVMEDIA_TYPE_VIDEO) || !sound.open(container, AVMEDIA_TYPE_AUDIO)) {
    error = path + " lacks a decodable video or sound stream";
    return false;
  }
  const AVStream* videoStream = container->streams[video.stream];
  out.videoSeconds = videoStream->duration * av_q2d(videoStream->time_base);
  out.frameRate = av_q2d(videoStream->avg_frame_rate);
  out.width = video.context->width;
  out.height = video.context->height;
  const AVStream* soundStream = container->streams[sound.stream];
  out.soundSeconds = soundStream->duration * av_q2d(soundStream->time_base);
  out.soundRate = sound.context->sample_rate;
  out.soundChannels = sound.context->ch_layout.nb_channels;
  if (sound.context->sample_fmt != AV_SAMPLE_FMT_FLTP) {
    error = "the sound does not decode to planar floats";
    return false;
  }

  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto takeVideo = [&](const AVFrame* f) { takePicture(f, out); };
  auto takeAudio = [&](const AVFrame* f) { takeSound(f, out); };
  while (av_read_frame(container, packet) >= 0) {
    if (packet->stream_index == video.stream) decode(video, packet, frame, takeVideo);
    if (packet->stream_index == sound.stream) decode(sound, packet, frame, takeAudio);
    av_packet_unref(packet);
  }
  decode(video, nullptr, frame, takeVideo);
  decode(sound, nullptr, frame, takeAudio);
  av_frame_free(&frame);
  av_packet_free(&packet);
  return true;
}

double strongestOnset(const std::vector<float>& sound, int rate, double centre, double halfWidth) {
  // High frequencies mark a hit best (the crash, the click of a drum); the
  // first difference keeps them and drops the bass.
  const long hop = rate / 500;  // 2 ms
  const long context = 10;      // steps of history a rise is measured against
  auto energy = [&](long step) {
    double sum = 0.0;
    for (long i = std::max(1L, step * hop); i < (step + 1) * hop; ++i) {
      const double d = sound[i] - sound[i - 1];
      sum += d * d;
    }
    return sum;
  };
  const long first = std::max(context, static_cast<long>((centre - halfWidth) * rate / hop));
  const long last =
      std::min(static_cast<long>(sound.size()) / hop - 1, static_cast<long>((centre + halfWidth) * rate / hop));
  long best = first;
  double bestRatio = -1.0;
  for (long step = first; step <= last; ++step) {
    double before = 0.0;
    for (long k = 1; k <= context; ++k) before += energy(step - k);
    const double ratio = energy(step) / (before / context + 1e-9);
    if (ratio > bestRatio) {
      bestRatio = ratio;
      best = step;
    }
  }
  return static_cast<double>(best) * hop / rate;
}
