#include "host/Media.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "host/Audio.h"
#include "host/Clock.h"
#include "host/Input.h"
#include "host/InputScript.h"
#include "host/Window.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace host {

// One decoder of one stream of a file: the file is opened separately for the sound and for the
// pictures, so that the mixer's thread and the game's thread never share a demuxer.
struct Decoder {
    AVFormatContext* fmt = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    bool draining = false;  // the file has ended; the decoder is being flushed
    bool ended = false;     // nothing more will come
};

struct MediaSource {
    std::string path;
    bool hasVideoStream = false;

    // Sound: touched by the mixer's pull under `lock`.
    std::recursive_mutex lock;
    Decoder audio;
    SwrContext* swr = nullptr;
    std::vector<float> pcm;  // converted stereo frames waiting for the mixer
    size_t pcmAt = 0;
    bool audioRendered = false;
    bool audioOpened = false;  // this source holds the sound output open
    bool audioEnded = false;
    float gain = 1.0f;
    bool running = false;
    bool completion = false;  // the end was reached and not yet taken
    bool completionSeen = false;
    int sourceId = 0;

    // Pictures: the game thread only.
    Decoder video;
    bool videoRendered = false;
    bool videoEnded = false;
    bool haveFrame = false;  // a decoded picture waits for its time
    double framePts = 0;     // seconds
    double lastPts = -1;
    double frameDuration = 0.04;
    double clockBase = 0;    // centiseconds of the game clock at the stream's time 0
    double pausedAt = 0;     // stream time (s) when stopped
    SwsContext* sws = nullptr;
    AVFrame* yuv = nullptr;
    SDL_Renderer* renderer = nullptr;
    bool ownRenderer = false;
    SDL_Texture* texture = nullptr;
};

namespace {

MovieKeyHandler g_keyHandler = nullptr;
bool g_listening = false;

void Quiet() {
    static bool done = false;
    if (!done) av_log_set_level(AV_LOG_QUIET);
    done = true;
}

float GainOf(int hundredthsDb) {
    if (hundredthsDb <= -10000) return 0.0f;
    return static_cast<float>(std::pow(10.0, std::min(hundredthsDb, 0) / 2000.0));
}

void CloseDecoder(Decoder& d) {
    av_frame_free(&d.frame);
    av_packet_free(&d.packet);
    avcodec_free_context(&d.codec);
    if (d.fmt) avformat_close_input(&d.fmt);
    d = Decoder();
}

bool OpenDecoder(const std::string& path, AVMediaType type, Decoder& d) {
    Quiet();
    CloseDecoder(d);
    if (avformat_open_input(&d.fmt, path.c_str(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(d.fmt, nullptr) < 0) return false;
    const AVCodec* codec = nullptr;
    d.stream = av_find_best_stream(d.fmt, type, -1, -1, &codec, 0);
    if (d.stream < 0 || !codec) return false;
    d.codec = avcodec_alloc_context3(codec);
    if (!d.codec || avcodec_parameters_to_context(d.codec, d.fmt->streams[d.stream]->codecpar) < 0) return false;
    if (avcodec_open2(d.codec, codec, nullptr) < 0) return false;
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    return d.packet && d.frame;
}

// The next decoded frame of the decoder's stream into d.frame; false at the end of the stream or on
// any error (a broken file ends where it breaks).
bool NextFrame(Decoder& d) {
    if (d.ended || !d.codec) return false;
    for (;;) {
        int r = avcodec_receive_frame(d.codec, d.frame);
        if (r == 0) return true;
        if (r != AVERROR(EAGAIN) || d.draining) {
            d.ended = true;
            return false;
        }
        // Feed the decoder: packets of other streams are dropped.
        for (;;) {
            int rr = av_read_frame(d.fmt, d.packet);
            if (rr < 0) {
                d.draining = true;
                avcodec_send_packet(d.codec, nullptr);
                break;
            }
            bool mine = d.packet->stream_index == d.stream;
            int sent = mine ? avcodec_send_packet(d.codec, d.packet) : 0;
            av_packet_unref(d.packet);
            if (mine && sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA) {
                d.ended = true;
                return false;
            }
            if (mine) break;
        }
    }
}

bool OpenAudioDecoder(MediaSource& s) {
    swr_free(&s.swr);
    s.pcm.clear();
    s.pcmAt = 0;
    s.audioEnded = false;
    if (!OpenDecoder(s.path, AVMEDIA_TYPE_AUDIO, s.audio)) {
        CloseDecoder(s.audio);
        return false;
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    // Zeroed first: copying into a layout releases what the destination held before.
    AVChannelLayout in{};
    if (s.audio.codec->ch_layout.nb_channels > 0)
        av_channel_layout_copy(&in, &s.audio.codec->ch_layout);
    else
        av_channel_layout_default(&in, 2);
    int r = swr_alloc_set_opts2(&s.swr, &stereo, AV_SAMPLE_FMT_FLT, AudioOutputRate(), &in, s.audio.codec->sample_fmt,
                                s.audio.codec->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    if (r < 0 || !s.swr || swr_init(s.swr) < 0) {
        swr_free(&s.swr);
        CloseDecoder(s.audio);
        return false;
    }
    return true;
}

// Decodes and converts more sound into pcm; false when the sound has ended.
bool DecodeAudio(MediaSource& s) {
    if (s.audioEnded || !s.swr) return false;
    Decoder& d = s.audio;
    bool got = NextFrame(d);
    int outMax = swr_get_out_samples(s.swr, got ? d.frame->nb_samples : 0);
    if (outMax <= 0 && !got) {
        s.audioEnded = true;
        return false;
    }
    size_t at = s.pcm.size();
    s.pcm.resize(at + static_cast<size_t>(std::max(outMax, 0)) * 2);
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(s.pcm.data() + at)};
    int n = got ? swr_convert(s.swr, out, outMax, const_cast<const uint8_t**>(d.frame->extended_data), d.frame->nb_samples)
                : swr_convert(s.swr, out, outMax, nullptr, 0);
    s.pcm.resize(at + static_cast<size_t>(std::max(n, 0)) * 2);
    if (!got) {
        s.audioEnded = true;
        return n > 0;
    }
    return true;
}

void MarkCompletion(MediaSource& s) {
    if (!s.completionSeen) {
        s.completion = true;
        s.completionSeen = true;
    }
}

// The mixer's pull: adds the source's sound at its volume.
void Pull(void* user, float* mix, int frames) {
    auto& s = *static_cast<MediaSource*>(user);
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (!s.running || !s.audioRendered) return;
    int i = 0;
    while (i < frames) {
        if (s.pcmAt >= s.pcm.size()) {
            s.pcm.clear();
            s.pcmAt = 0;
            if (!DecodeAudio(s)) {
                // The sound has ended; a movie ends with its pictures.
                if (!s.videoRendered) MarkCompletion(s);
                return;
            }
            continue;
        }
        mix[2 * i] += s.pcm[s.pcmAt] * 32767.0f * s.gain;
        mix[2 * i + 1] += s.pcm[s.pcmAt + 1] * 32767.0f * s.gain;
        s.pcmAt += 2;
        ++i;
    }
}

double StreamTime(const MediaSource& s) {
    if (!s.running) return s.pausedAt;
    return (NowCentiseconds() - s.clockBase) / 100.0;
}

void Present(MediaSource& s) {
    if (IsHeadless() || !HasWindow()) return;
    auto* window = static_cast<SDL_Window*>(NativeWindow());
    if (!s.renderer) {
        s.renderer = SDL_GetRenderer(window);
        if (!s.renderer) {
            s.renderer = SDL_CreateRenderer(window, -1, 0);
            s.ownRenderer = s.renderer != nullptr;
        }
        if (!s.renderer) return;
    }
    AVFrame* f = s.video.frame;
    int w = f->width, h = f->height;
    if (!s.texture) {
        s.texture = SDL_CreateTexture(s.renderer, SDL_PIXELFORMAT_IYUV, SDL_TEXTUREACCESS_STREAMING, w, h);
        if (!s.texture) return;
    }
    AVFrame* src = f;
    if (f->format != AV_PIX_FMT_YUV420P) {
        s.sws = sws_getCachedContext(s.sws, w, h, static_cast<AVPixelFormat>(f->format), w, h, AV_PIX_FMT_YUV420P,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!s.yuv) {
            s.yuv = av_frame_alloc();
            s.yuv->format = AV_PIX_FMT_YUV420P;
            s.yuv->width = w;
            s.yuv->height = h;
            if (av_frame_get_buffer(s.yuv, 0) < 0) return;
        }
        if (!s.sws) return;
        sws_scale(s.sws, f->data, f->linesize, 0, h, s.yuv->data, s.yuv->linesize);
        src = s.yuv;
    }
    SDL_UpdateYUVTexture(s.texture, nullptr, src->data[0], src->linesize[0], src->data[1], src->linesize[1],
                         src->data[2], src->linesize[2]);
    // The game's presenter may already have given the renderer a logical size: draw in its units.
    int ww = 0, wh = 0;
    SDL_RenderGetLogicalSize(s.renderer, &ww, &wh);
    if (ww <= 0 || wh <= 0) SDL_GetRendererOutputSize(s.renderer, &ww, &wh);
    // The whole window, keeping the picture's shape.
    double scale = std::min(static_cast<double>(ww) / w, static_cast<double>(wh) / h);
    SDL_Rect dst{static_cast<int>((ww - w * scale) / 2), static_cast<int>((wh - h * scale) / 2),
                 static_cast<int>(w * scale), static_cast<int>(h * scale)};
    SDL_SetRenderDrawColor(s.renderer, 0, 0, 0, 255);
    SDL_RenderClear(s.renderer);
    SDL_RenderCopy(s.renderer, s.texture, nullptr, &dst);
    SDL_RenderPresent(s.renderer);
}

// Shows (or, headless, drops) every picture whose time has come; reports the end after the last
// picture has had its time.
void ServiceVideo(MediaSource& s) {
    if (!s.videoRendered || !s.running) return;
    double now = StreamTime(s);
    for (;;) {
        if (!s.haveFrame && !s.videoEnded) {
            if (NextFrame(s.video)) {
                AVStream* st = s.video.fmt->streams[s.video.stream];
                int64_t ts = s.video.frame->best_effort_timestamp;
                double pts = ts == AV_NOPTS_VALUE ? s.lastPts + s.frameDuration : ts * av_q2d(st->time_base);
                if (st->start_time != AV_NOPTS_VALUE && ts != AV_NOPTS_VALUE) pts -= st->start_time * av_q2d(st->time_base);
                // Timestamps that run backwards or leap far ahead are not waited for.
                if (pts < s.lastPts || pts > s.lastPts + 10.0) pts = std::max(s.lastPts, 0.0) + (s.lastPts < 0 ? 0 : s.frameDuration);
                s.framePts = pts;
                s.haveFrame = true;
            } else {
                s.videoEnded = true;
            }
        }
        if (s.haveFrame) {
            if (s.framePts > now) return;
            Present(s);
            s.lastPts = s.framePts;
            s.haveFrame = false;
            continue;
        }
        // The stream has ended: the last picture stays for its duration, then the movie is complete.
        if (now >= s.lastPts + s.frameDuration) {
            std::lock_guard<std::recursive_mutex> guard(s.lock);
            MarkCompletion(s);
        }
        return;
    }
}

void OnWindowEvent(const void* raw) {
    const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
    if (e.type != SDL_KEYDOWN || e.key.repeat) return;
    switch (e.key.keysym.sym) {
        case SDLK_RETURN: PressMovieKey(13); break;
        case SDLK_ESCAPE: PressMovieKey(27); break;
        case SDLK_SPACE: PressMovieKey(32); break;
        default: break;
    }
}

// Keys from the input script (headless): Return, Escape and Space by their scan codes.
void OnScriptKey(int scanCode) {
    if (!IsHeadless()) return;  // the window's own event has already been delivered
    if (scanCode == 28) PressMovieKey(13);
    if (scanCode == 1) PressMovieKey(27);
    if (scanCode == 57) PressMovieKey(32);
}

}  // namespace

MediaSource* OpenMediaSource(const char* path) {
    if (!path || !*path) return nullptr;
    Quiet();
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path, nullptr, nullptr) < 0) return nullptr;
    bool ok = avformat_find_stream_info(fmt, nullptr) >= 0;
    auto* s = new MediaSource;
    s->path = path;
    if (ok) s->hasVideoStream = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) >= 0;
    avformat_close_input(&fmt);
    if (!ok) {
        delete s;
        return nullptr;
    }
    return s;
}

void CloseMediaSource(MediaSource* s) {
    if (!s) return;
    if (s->sourceId) RemoveAudioSource(s->sourceId);  // no pull runs after this
    {
        std::lock_guard<std::recursive_mutex> guard(s->lock);
        swr_free(&s->swr);
        CloseDecoder(s->audio);
    }
    CloseDecoder(s->video);
    sws_freeContext(s->sws);
    av_frame_free(&s->yuv);
    if (s->texture) SDL_DestroyTexture(s->texture);
    if (s->ownRenderer) SDL_DestroyRenderer(s->renderer);
    if (s->audioOpened) CloseAudio();
    delete s;
}

bool RenderMediaAudio(MediaSource* s) {
    if (!s) return false;
    // A movie may play before the sound buffers exist: the source holds the output open itself.
    if (!s->audioOpened) s->audioOpened = OpenAudio(2, 22050, 16);
    if (!s->audioOpened) return false;
    std::lock_guard<std::recursive_mutex> guard(s->lock);
    s->audioRendered = OpenAudioDecoder(*s);
    return s->audioRendered;
}

bool RenderMediaVideo(MediaSource* s) {
    if (!s) return false;
    s->videoRendered = OpenDecoder(s->path, AVMEDIA_TYPE_VIDEO, s->video);
    if (!s->videoRendered) {
        CloseDecoder(s->video);
        return false;
    }
    AVStream* st = s->video.fmt->streams[s->video.stream];
    AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) s->frameDuration = std::clamp(av_q2d(av_inv_q(rate)), 0.001, 1.0);
    if (!g_listening) {
        AddEventListener(OnWindowEvent);
        SetKeyPressObserver(OnScriptKey);
        g_listening = true;
    }
    return true;
}

bool MediaHasVideoStream(MediaSource* s) { return s && s->hasVideoStream; }

void RunMedia(MediaSource* s) {
    if (!s) return;
    bool addSource = false;
    {
        std::lock_guard<std::recursive_mutex> guard(s->lock);
        if (!s->running) s->clockBase = NowCentiseconds() - s->pausedAt * 100.0;
        s->running = true;
        addSource = s->audioRendered && !s->sourceId;
    }
    if (addSource) {
        int id = AddAudioSource(Pull, s);
        std::lock_guard<std::recursive_mutex> guard(s->lock);
        s->sourceId = id;
    }
}

void StopMedia(MediaSource* s) {
    if (!s) return;
    UpdateAudio();  // the null device plays up to now before the sound stops
    std::lock_guard<std::recursive_mutex> guard(s->lock);
    if (s->running) s->pausedAt = StreamTime(*s);
    s->running = false;
}

bool SeekMediaStart(MediaSource* s) {
    if (!s) return false;
    bool ok = true;
    {
        std::lock_guard<std::recursive_mutex> guard(s->lock);
        if (s->audioRendered) ok = OpenAudioDecoder(*s);
        if (!ok) s->audioRendered = false;
        s->completion = false;
        s->completionSeen = false;
        s->pausedAt = 0;
        if (s->running) s->clockBase = NowCentiseconds();
    }
    if (s->videoRendered) {
        ok = OpenDecoder(s->path, AVMEDIA_TYPE_VIDEO, s->video) && ok;
        s->videoEnded = false;
        s->haveFrame = false;
        s->lastPts = -1;
    }
    return ok;
}

void SetMediaVolume(MediaSource* s, int hundredthsDb) {
    if (!s) return;
    UpdateAudio();
    std::lock_guard<std::recursive_mutex> guard(s->lock);
    s->gain = GainOf(hundredthsDb);
}

bool TakeMediaCompletion(MediaSource* s) {
    if (!s) return false;
    UpdateAudio();
    ServiceVideo(*s);
    std::lock_guard<std::recursive_mutex> guard(s->lock);
    bool c = s->completion;
    s->completion = false;
    return c;
}

void WaitMedia(MediaSource* s, int milliseconds) {
    if (IsVirtualClock()) {
        AdvanceVirtualClockBy(milliseconds / 10.0);
        UpdateAudio();
        if (s) ServiceVideo(*s);
        if (InputScriptLoaded()) AdvanceInputScript(false);
        return;
    }
    uint32_t end = SDL_GetTicks() + static_cast<uint32_t>(std::max(milliseconds, 0));
    for (;;) {
        if (s) ServiceVideo(*s);
        uint32_t now = SDL_GetTicks();
        if (static_cast<int32_t>(end - now) <= 0) break;
        SDL_Delay(std::min<uint32_t>(5, end - now));
    }
}

void SetMovieKeyHandler(MovieKeyHandler handler) { g_keyHandler = handler; }

void PressMovieKey(int virtualKey) {
    if (g_keyHandler) g_keyHandler(virtualKey);
}

}  // namespace host
