#include "capture/mp4_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

namespace {

constexpr int kSoundRate = 44100;
constexpr int kSoundBitRate = 256000;  // at 192 kbit/s the encoder still overshoots the peaks

std::string averrorText(int averror) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(averror, text, sizeof text);
  return text;
}

}  // namespace

Mp4Writer::~Mp4Writer() { release(); }

bool Mp4Writer::fail(const char* what, int averror) {
  error_ = what;
  if (averror < 0) error_ += ": " + averrorText(averror);
  return false;
}

bool Mp4Writer::open(const std::string& path, const Mp4Format& format) {
  format_ = format;
  // Failures come back through error(); the libraries' own chatter would
  // only repeat them or clutter the terminal.
  av_log_set_level(AV_LOG_QUIET);
  // 4:2:0 pictures halve both sides for the colour planes.
  if (format.width % 2 != 0 || format.height % 2 != 0) return fail("H.264 video needs an even width and height", 0);
  int result = avformat_alloc_output_context2(&container_, nullptr, "mp4", path.c_str());
  if (result < 0) return fail("cannot set up the MP4 container", result);
  if (!addVideoStream() || !addSoundStream()) return false;

  result = avio_open(&container_->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (result < 0) return fail("cannot create the file", result);
  AVDictionary* options = nullptr;
  // The index goes to the front so that players can start before the end
  // has arrived.
  av_dict_set(&options, "movflags", "+faststart", 0);
  result = avformat_write_header(container_, &options);
  av_dict_free(&options);
  if (result < 0) return fail("cannot write the MP4 header", result);

  packet_ = av_packet_alloc();
  picture_ = av_frame_alloc();
  soundBlock_ = av_frame_alloc();
  if (!packet_ || !picture_ || !soundBlock_) return fail("out of memory", 0);
  picture_->format = video_->pix_fmt;
  picture_->width = format_.width;
  picture_->height = format_.height;
  result = av_frame_get_buffer(picture_, 0);
  if (result < 0) return fail("cannot allocate a picture", result);

  converter_ = sws_getContext(format_.width, format_.height, AV_PIX_FMT_BGRA, format_.width, format_.height,
                              AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!converter_) return fail("cannot set up the colour conversion", 0);
  // Full-range RGB in, studio-range BT.709 out, as the stream is tagged.
  const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(converter_, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
  return true;
}

bool Mp4Writer::addVideoStream() {
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) return fail("this libavcodec has no H.264 encoder (libx264)", 0);
  videoStream_ = avformat_new_stream(container_, nullptr);
  video_ = avcodec_alloc_context3(codec);
  if (!videoStream_ || !video_) return fail("out of memory", 0);
  video_->width = format_.width;
  video_->height = format_.height;
  video_->pix_fmt = AV_PIX_FMT_YUV420P;
  video_->time_base = AVRational{1, format_.fps};
  video_->framerate = AVRational{format_.fps, 1};
  video_->gop_size = 2 * format_.fps;
  video_->thread_count = format_.threads;
  video_->color_range = AVCOL_RANGE_MPEG;
  video_->colorspace = AVCOL_SPC_BT709;
  video_->color_primaries = AVCOL_PRI_BT709;
  video_->color_trc = AVCOL_TRC_BT709;
  if (container_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(video_->priv_data, "preset", format_.preset.c_str(), 0);
  av_opt_set_int(video_->priv_data, "crf", format_.crf, 0);
  int result = avcodec_open2(video_, codec, nullptr);
  if (result < 0) return fail("cannot start the H.264 encoder", result);
  result = avcodec_parameters_from_context(videoStream_->codecpar, video_);
  if (result < 0) return fail("cannot describe the video stream", result);
  videoStream_->time_base = video_->time_base;
  videoStream_->avg_frame_rate = video_->framerate;
  return true;
}

bool Mp4Writer::addSoundStream() {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) return fail("this libavcodec has no AAC encoder", 0);
  soundStream_ = avformat_new_stream(container_, nullptr);
  sound_ = avcodec_alloc_context3(codec);
  if (!soundStream_ || !sound_) return fail("out of memory", 0);
  sound_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  sound_->sample_rate = kSoundRate;
  sound_->bit_rate = kSoundBitRate;
  av_channel_layout_default(&sound_->ch_layout, 2);
  sound_->time_base = AVRational{1, kSoundRate};
  if (container_->oformat->flags & AVFMT_GLOBALHEADER) sound_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  // Without noise substitution: the FFmpeg encoder's stand-in noise can
  // swing up to 3 dB past the song's own peaks, past full scale on loud hits.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "aac_pns", "0", 0);
  int result = avcodec_open2(sound_, codec, &options);
  av_dict_free(&options);
  if (result < 0) return fail("cannot start the AAC encoder", result);
  result = avcodec_parameters_from_context(soundStream_->codecpar, sound_);
  if (result < 0) return fail("cannot describe the sound stream", result);
  soundStream_->time_base = sound_->time_base;
  return true;
}

bool Mp4Writer::writePicture(const uint8_t* bgraBottomUp) {
  int result = av_frame_make_writable(picture_);
  if (result < 0) return fail("cannot allocate a picture", result);
  // Starting at the last row with a negative stride turns the picture upright.
  const int stride = format_.width * 4;
  const uint8_t* source[1] = {bgraBottomUp + static_cast<size_t>(format_.height - 1) * stride};
  const int sourceStride[1] = {-stride};
  sws_scale(converter_, source, sourceStride, 0, format_.height, picture_->data, picture_->linesize);
  picture_->pts = pictures_;
  ++pictures_;
  return encode(video_, videoStream_, picture_);
}

bool Mp4Writer::writePicture(const PlaneFill& fill) {
  const int result = av_frame_make_writable(picture_);
  if (result < 0) return fail("cannot allocate a picture", result);
  const int strides[3] = {picture_->linesize[0], picture_->linesize[1], picture_->linesize[2]};
  fill(picture_->data, strides);
  picture_->pts = pictures_;
  ++pictures_;
  return encode(video_, videoStream_, picture_);
}

bool Mp4Writer::writeSound(const int16_t* interleaved, size_t frames) {
  const int block = sound_->frame_size;
  for (size_t i = 0; i < frames; ++i) {
    pendingLeft_.push_back(interleaved[2 * i] / 32768.0f);
    pendingRight_.push_back(interleaved[2 * i + 1] / 32768.0f);
    if (static_cast<int>(pendingLeft_.size()) == block && !encodeSoundBlock(block)) return false;
  }
  return true;
}

bool Mp4Writer::encodeSoundBlock(int samples) {
  soundBlock_->format = sound_->sample_fmt;
  soundBlock_->sample_rate = sound_->sample_rate;
  soundBlock_->nb_samples = samples;
  int result = av_channel_layout_copy(&soundBlock_->ch_layout, &sound_->ch_layout);
  if (result >= 0) result = av_frame_get_buffer(soundBlock_, 0);
  if (result < 0) return fail("cannot allocate a sound block", result);
  std::copy(pendingLeft_.begin(), pendingLeft_.begin() + samples, reinterpret_cast<float*>(soundBlock_->data[0]));
  std::copy(pendingRight_.begin(), pendingRight_.begin() + samples, reinterpret_cast<float*>(soundBlock_->data[1]));
  pendingLeft_.erase(pendingLeft_.begin(), pendingLeft_.begin() + samples);
  pendingRight_.erase(pendingRight_.begin(), pendingRight_.begin() + samples);
  soundBlock_->pts = soundSamples_;
  soundSamples_ += samples;
  const bool ok = encode(sound_, soundStream_, soundBlock_);
  av_frame_unref(soundBlock_);
  return ok;
}

bool Mp4Writer::encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
  int result = avcodec_send_frame(codec, frame);
  if (result < 0) return fail("the encoder refused a frame", result);
  for (;;) {
    result = avcodec_receive_packet(codec, packet_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) return fail("encoding failed", result);
    av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
    packet_->stream_index = stream->index;
    result = av_interleaved_write_frame(container_, packet_);
    if (result < 0) return fail("cannot write the file", result);
  }
}

bool Mp4Writer::finish() {
  if (!pendingLeft_.empty() && !encodeSoundBlock(static_cast<int>(pendingLeft_.size()))) return false;
  if (!encode(video_, videoStream_, nullptr) || !encode(sound_, soundStream_, nullptr)) return false;
  int result = av_write_trailer(container_);
  if (result < 0) return fail("cannot complete the file", result);
  // Closing flushes the last bytes: a full disk can still show here.
  result = avio_closep(&container_->pb);
  if (result < 0) return fail("cannot write the file", result);
  return true;
}

void Mp4Writer::release() {
  if (container_ && container_->pb) avio_closep(&container_->pb);
  avformat_free_context(container_);
  container_ = nullptr;
  avcodec_free_context(&video_);
  avcodec_free_context(&sound_);
  av_frame_free(&picture_);
  av_frame_free(&soundBlock_);
  av_packet_free(&packet_);
  sws_freeContext(converter_);
  converter_ = nullptr;
}
