#include "tools/datakit/Media.h"

#include <cstring>

#include "tools/datakit/Bytes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace datakit {
namespace {

struct Stream {
    AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;
};

// Sends one frame (null: flush) to an encoder and writes every packet it gives back.
bool EncodeAndWrite(AVFormatContext* fmt, Stream& s, AVFrame* frame) {
    if (avcodec_send_frame(s.codec, frame) < 0) return false;
    AVPacket* pkt = av_packet_alloc();
    bool ok = true;
    for (;;) {
        int r = avcodec_receive_packet(s.codec, pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
        if (r < 0) {
            ok = false;
            break;
        }
        av_packet_rescale_ts(pkt, s.codec->time_base, s.stream->time_base);
        pkt->stream_index = s.stream->index;
        if (av_interleaved_write_frame(fmt, pkt) < 0) {
            ok = false;
            break;
        }
    }
    av_packet_free(&pkt);
    return ok;
}

bool AddAudio(AVFormatContext* fmt, Stream& s, int rate, int bitRate) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MP2);
    if (!codec) return false;
    s.stream = avformat_new_stream(fmt, nullptr);
    s.codec = avcodec_alloc_context3(codec);
    if (!s.stream || !s.codec) return false;
    s.codec->sample_fmt = AV_SAMPLE_FMT_S16;
    s.codec->sample_rate = rate;
    s.codec->bit_rate = bitRate;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&s.codec->ch_layout, &stereo);
    s.codec->time_base = AVRational{1, rate};
    if (fmt->oformat->flags & AVFMT_GLOBALHEADER) s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(s.codec, codec, nullptr) < 0) return false;
    s.stream->time_base = s.codec->time_base;
    return avcodec_parameters_from_context(s.stream->codecpar, s.codec) >= 0;
}

bool WriteAudio(AVFormatContext* fmt, Stream& s, const std::vector<int16_t>& stereo) {
    const int frameSize = s.codec->frame_size;
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_SAMPLE_FMT_S16;
    frame->sample_rate = s.codec->sample_rate;
    av_channel_layout_copy(&frame->ch_layout, &s.codec->ch_layout);
    frame->nb_samples = frameSize;
    bool ok = av_frame_get_buffer(frame, 0) >= 0;
    size_t total = stereo.size() / 2;
    for (size_t at = 0; ok && at < total; at += static_cast<size_t>(frameSize)) {
        ok = av_frame_make_writable(frame) >= 0;
        auto* dst = reinterpret_cast<int16_t*>(frame->data[0]);
        for (int i = 0; i < frameSize; ++i) {
            size_t k = at + static_cast<size_t>(i);
            dst[2 * i] = k < total ? stereo[2 * k] : 0;
            dst[2 * i + 1] = k < total ? stereo[2 * k + 1] : 0;
        }
        frame->pts = static_cast<int64_t>(at);
        if (ok) ok = EncodeAndWrite(fmt, s, frame);
    }
    av_frame_free(&frame);
    return ok && EncodeAndWrite(fmt, s, nullptr);
}

AVFormatContext* OpenOutput(const std::string& path, const char* format) {
    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* fmt = nullptr;
    if (avformat_alloc_output_context2(&fmt, nullptr, format, path.c_str()) < 0) return nullptr;
    return fmt;
}

bool Finish(AVFormatContext* fmt, const std::string& path, bool ok) {
    if (ok) ok = avio_open(&fmt->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
    return ok;
}

void Free(AVFormatContext* fmt, Stream* streams, int n) {
    for (int i = 0; i < n; ++i) avcodec_free_context(&streams[i].codec);
    if (fmt) {
        if (fmt->pb) avio_closep(&fmt->pb);
        avformat_free_context(fmt);
    }
}

std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

bool EncodeMusic(const std::string& path, const std::vector<int16_t>& stereo, int rate) {
    if (!Folder(path).empty() && !MakeDirs(Folder(path))) return false;
    AVFormatContext* fmt = OpenOutput(path, "mp2");
    if (!fmt) return false;
    Stream audio;
    bool ok = AddAudio(fmt, audio, rate, 64000);
    ok = Finish(fmt, path, ok) && avformat_write_header(fmt, nullptr) >= 0;
    if (ok) ok = WriteAudio(fmt, audio, stereo);
    if (ok) ok = av_write_trailer(fmt) >= 0;
    Free(fmt, &audio, 1);
    return ok;
}

bool EncodeMovie(const std::string& path, int width, int height, int fps, int frames, const MovieFrameFn& draw,
                 const std::vector<int16_t>& stereo, int rate) {
    if (width % 16 || height % 16 || width <= 0 || height <= 0 || fps <= 0) return false;
    if (!Folder(path).empty() && !MakeDirs(Folder(path))) return false;
    AVFormatContext* fmt = OpenOutput(path, "mpeg");
    if (!fmt) return false;
    Stream streams[2];
    Stream& video = streams[0];
    Stream& audio = streams[1];
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
    bool ok = codec != nullptr;
    if (ok) {
        video.stream = avformat_new_stream(fmt, nullptr);
        video.codec = avcodec_alloc_context3(codec);
        ok = video.stream && video.codec;
    }
    if (ok) {
        video.codec->width = width;
        video.codec->height = height;
        video.codec->time_base = AVRational{1, fps};
        video.codec->framerate = AVRational{fps, 1};
        video.codec->pix_fmt = AV_PIX_FMT_YUV420P;
        video.codec->bit_rate = 800000;
        video.codec->gop_size = 12;
        video.codec->max_b_frames = 0;
        ok = avcodec_open2(video.codec, codec, nullptr) >= 0;
        video.stream->time_base = video.codec->time_base;
        if (ok) ok = avcodec_parameters_from_context(video.stream->codecpar, video.codec) >= 0;
    }
    bool withAudio = !stereo.empty();
    int nStreams = withAudio ? 2 : 1;
    if (ok && withAudio) ok = AddAudio(fmt, audio, rate, 128000);
    ok = Finish(fmt, path, ok) && avformat_write_header(fmt, nullptr) >= 0;

    if (ok) {
        AVFrame* frame = av_frame_alloc();
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        ok = av_frame_get_buffer(frame, 0) >= 0;
        SwsContext* sws = sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, AV_PIX_FMT_YUV420P,
                                         SWS_BILINEAR, nullptr, nullptr, nullptr);
        std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
        for (int i = 0; ok && i < frames; ++i) {
            draw(i, width, height, rgb.data());
            ok = av_frame_make_writable(frame) >= 0 && sws;
            const uint8_t* src[1] = {rgb.data()};
            int srcStride[1] = {width * 3};
            if (ok) sws_scale(sws, src, srcStride, 0, height, frame->data, frame->linesize);
            frame->pts = i;
            if (ok) ok = EncodeAndWrite(fmt, video, frame);
        }
        if (ok) ok = EncodeAndWrite(fmt, video, nullptr);
        sws_freeContext(sws);
        av_frame_free(&frame);
    }
    if (ok && withAudio) ok = WriteAudio(fmt, audio, stereo);
    if (ok) ok = av_write_trailer(fmt) >= 0;
    Free(fmt, streams, nStreams);
    return ok;
}

}  // namespace datakit
