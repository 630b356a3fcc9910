// The video file, written with FFmpeg's libraries: H.264 and AAC in MP4, or
// VP9 and Opus in WebM, the audio resampled to 48 kHz for either codec; or,
// with no picture (Width 0), Opus alone in Ogg, for the browser's music.
#include <stdarg.h>
#include <stdio.h>

#include "capture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

const int EncodedRate = 48000; // what both audio codecs take natively

struct EncodedStream {
    AVStream* Stream;
    AVCodecContext* Codec;
    AVFrame* Frame;
};

static AVFormatContext* Output;
static EncodedStream Video, Audio;
static SwsContext* Scaler;
static SwrContext* Resampler;
static AVAudioFifo* Fifo;
static uint8_t** Converted; // the resampler's output, Capacity sample frames
static int Capacity;
static int64_t AudioPts;
static int64_t AudioShift; // added to the sound's packets, in samples
static AVPacket* Packet;
static char Reason[256];

const char* EncoderError()
{
    return Reason;
}

// Sets the reason, with FFmpeg's words for Code when it is an error.
static bool Fail(int Code, const char* Format, ...) __attribute__((format(printf, 2, 3)));
static bool Fail(int Code, const char* Format, ...)
{
    va_list Args;
    va_start(Args, Format);
    int N = vsnprintf(Reason, sizeof Reason, Format, Args);
    va_end(Args);
    if (Code < 0 && N >= 0 && N < (int)sizeof Reason) {
        snprintf(Reason + N, sizeof Reason - N, ": ");
        av_strerror(Code, Reason + N + 2, sizeof Reason - N - 2);
    }
    return false;
}

// Every packet the encoder has ready, into the file.
static bool WritePackets(EncodedStream* S)
{
    for (;;) {
        int Got = avcodec_receive_packet(S->Codec, Packet);
        if (Got == AVERROR(EAGAIN) || Got == AVERROR_EOF)
            return true;
        if (Got < 0)
            return Fail(Got, "Encoding failed");
        // Older encoders leave a video packet's duration unset; it is one
        // frame, and the muxer then knows how long the last one lasts.
        if (Packet->duration == 0 && S == &Video)
            Packet->duration = 1;
        if (S == &Audio && Packet->pts != AV_NOPTS_VALUE)
            Packet->pts += AudioShift;
        if (S == &Audio && Packet->dts != AV_NOPTS_VALUE)
            Packet->dts += AudioShift;
        av_packet_rescale_ts(Packet, S->Codec->time_base, S->Stream->time_base);
        Packet->stream_index = S->Stream->index;
        int Written = av_interleaved_write_frame(Output, Packet);
        if (Written < 0)
            return Fail(Written, "Writing failed");
    }
}

static bool SendFrame(EncodedStream* S, AVFrame* Frame)
{
    int Sent = avcodec_send_frame(S->Codec, Frame);
    return Sent < 0 ? Fail(Sent, "Encoding failed") : WritePackets(S);
}

// The stream, its encoder (found by name, set up by Configure) and its
// reusable frame.
static bool AddStream(EncodedStream* S, const char* Name,
    void (*Configure)(AVCodecContext*, const EncoderSetup*), const EncoderSetup* Setup,
    AVDictionary** Options)
{
    const AVCodec* Codec = avcodec_find_encoder_by_name(Name);
    if (Codec == NULL)
        return Fail(0, "FFmpeg has no %s encoder", Name);
    S->Stream = avformat_new_stream(Output, NULL);
    S->Codec = avcodec_alloc_context3(Codec);
    S->Frame = av_frame_alloc();
    if (S->Stream == NULL || S->Codec == NULL || S->Frame == NULL)
        return Fail(AVERROR(ENOMEM), "Cannot set up %s", Name);
    Configure(S->Codec, Setup);
    if (Output->oformat->flags & AVFMT_GLOBALHEADER)
        S->Codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int Opened = avcodec_open2(S->Codec, Codec, Options);
    if (Opened < 0)
        return Fail(Opened, "Cannot open the %s encoder", Name);
    S->Stream->time_base = S->Codec->time_base;
    int Copied = avcodec_parameters_from_context(S->Stream->codecpar, S->Codec);
    return Copied < 0 ? Fail(Copied, "Cannot set up %s", Name) : true;
}

static void ConfigureVideo(AVCodecContext* C, const EncoderSetup* Setup)
{
    C->width = Setup->Width;
    C->height = Setup->Height;
    C->pix_fmt = AV_PIX_FMT_YUV420P; // what every browser plays
    C->time_base = AVRational {1, Setup->Fps};
    C->framerate = AVRational {Setup->Fps, 1};
    C->gop_size = 2 * Setup->Fps; // a key frame every two seconds, to seek by
    C->color_range = AVCOL_RANGE_MPEG;
    C->colorspace = AVCOL_SPC_BT709;
    C->color_primaries = AVCOL_PRI_BT709;
    C->color_trc = AVCOL_TRC_BT709;
    if (Setup->WebM) {
        C->bit_rate = 0; // with crf: constant quality
        av_opt_set(C->priv_data, "deadline", "realtime", 0);
        av_opt_set(C->priv_data, "cpu-used", "8", 0);
        av_opt_set(C->priv_data, "row-mt", "1", 0);
        av_opt_set(C->priv_data, "crf", "30", 0);
    } else {
        av_opt_set(C->priv_data, "preset", "superfast", 0);
        av_opt_set(C->priv_data, "profile", "high", 0);
        av_opt_set(C->priv_data, "crf", "20", 0);
    }
}

static void ConfigureAudio(AVCodecContext* C, const EncoderSetup* Setup)
{
    C->sample_rate = EncodedRate;
    C->time_base = AVRational {1, EncodedRate};
    av_channel_layout_default(&C->ch_layout, Setup->AudioChannels);
    // The formats these two encoders take: AAC planar float, Opus float.
    bool Opus = Setup->WebM || Setup->Width == 0;
    C->sample_fmt = Opus ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_FLTP;
    // Music alone is fetched by a web page: small rather than rich.
    C->bit_rate = Setup->Width == 0 ? 64000 : Setup->WebM ? 96000 : 160000;
}

static bool SetUpScaler(const EncoderSetup* Setup)
{
    AVFrame* F = Video.Frame;
    F->format = AV_PIX_FMT_YUV420P;
    F->width = Setup->Width;
    F->height = Setup->Height;
    int Got = av_frame_get_buffer(F, 0);
    if (Got < 0)
        return Fail(Got, "Cannot allocate a frame");
    Scaler = sws_getContext(Setup->Width, Setup->Height, AV_PIX_FMT_BGRA, Setup->Width,
        Setup->Height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, NULL, NULL, NULL);
    if (Scaler == NULL)
        return Fail(0, "Cannot convert BGRA to YUV 4:2:0");
    // The stream is tagged BT.709; convert with the same coefficients.
    const int* Bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(Scaler, Bt709, 1, Bt709, 0, 0, 1 << 16, 1 << 16);
    return true;
}

static bool SetUpResampler(const EncoderSetup* Setup)
{
    AVCodecContext* C = Audio.Codec;
    AVChannelLayout In;
    av_channel_layout_default(&In, Setup->AudioChannels);
    int Got = swr_alloc_set_opts2(&Resampler, &C->ch_layout, C->sample_fmt, C->sample_rate, &In,
        AV_SAMPLE_FMT_S16, Setup->AudioRate, 0, NULL);
    if (Got >= 0)
        Got = swr_init(Resampler);
    if (Got < 0)
        return Fail(Got, "Cannot resample %d Hz to %d Hz", Setup->AudioRate, EncodedRate);
    Fifo = av_audio_fifo_alloc(C->sample_fmt, C->ch_layout.nb_channels, 2 * C->frame_size);
    AVFrame* F = Audio.Frame;
    F->format = C->sample_fmt;
    F->sample_rate = C->sample_rate;
    F->nb_samples = C->frame_size;
    av_channel_layout_copy(&F->ch_layout, &C->ch_layout);
    Got = Fifo != NULL ? av_frame_get_buffer(F, 0) : AVERROR(ENOMEM);
    return Got < 0 ? Fail(Got, "Cannot allocate the audio buffers") : true;
}

bool OpenEncoder(const EncoderSetup* Setup)
{
    AudioPts = 0;
    AudioShift = 0;
    Reason[0] = '\0';
    av_log_set_level(AV_LOG_ERROR); // the encoders' own reports are noise here
    bool SoundOnly = Setup->Width == 0;
    if (SoundOnly && Setup->AudioRate <= 0)
        return Fail(0, "A file without picture needs sound");
    const char* Container = SoundOnly ? "ogg" : Setup->WebM ? "webm" : "mp4";
    int Got = avformat_alloc_output_context2(&Output, NULL, Container, Setup->Path);
    if (Got < 0)
        return Fail(Got, "Cannot make a %s file", Container);
    // No version strings or random identifiers: the same capture makes
    // the same file.
    Output->flags |= AVFMT_FLAG_BITEXACT;
    Packet = av_packet_alloc();
    if (Packet == NULL)
        return Fail(AVERROR(ENOMEM), "Cannot allocate a packet");
    if (!SoundOnly
        && (!AddStream(&Video, Setup->WebM ? "libvpx-vp9" : "libx264", ConfigureVideo, Setup, NULL)
            || !SetUpScaler(Setup)))
        return false;
    const char* AudioCodec = SoundOnly || Setup->WebM ? "libopus" : "aac";
    if (Setup->AudioRate > 0
        && (!AddStream(&Audio, AudioCodec, ConfigureAudio, Setup, NULL)
            || !SetUpResampler(Setup)))
        return false;
    // WebM's reader takes the Opus start-up samples (CodecDelay) off the
    // sound's block times, but FFmpeg 5's writer does not add them: the
    // first packet's negative time then shifts every stream, the picture
    // lands that much after its sound. Writing the sound's blocks at their
    // time plus the delay, as the container means, keeps both at zero.
    // MP4 marks the AAC start-up with an edit list instead, and Ogg with
    // the Opus header's pre-skip; nothing to do.
    // FFmpeg 7's writer (libavformat 61, Debian 13) adds the delay itself,
    // and the shift would then be twice; FFmpeg 5's (59, Debian 12) does
    // not. test_capture.py checks both containers on each; test_web_music.py
    // the Ogg's length.
    if (Setup->AudioRate > 0 && Setup->WebM && !SoundOnly
        && avformat_version() < AV_VERSION_INT(60, 0, 0))
        AudioShift = Audio.Codec->initial_padding;
    Got = avio_open(&Output->pb, Setup->Path, AVIO_FLAG_WRITE);
    if (Got < 0)
        return Fail(Got, "Cannot write %s", Setup->Path);
    AVDictionary* Options = NULL;
    if (!Setup->WebM)
        av_dict_set(&Options, "movflags", "+faststart", 0); // playable while it loads
    Got = avformat_write_header(Output, &Options);
    av_dict_free(&Options);
    return Got < 0 ? Fail(Got, "Cannot write the %s header", Container) : true;
}

bool EncodeVideoFrame(const Uint8* Pixels, int64_t Index)
{
    AVFrame* F = Video.Frame;
    int Got = av_frame_make_writable(F);
    if (Got < 0)
        return Fail(Got, "Cannot reuse the frame");
    // GL's rows run bottom-up: start at the last and step backwards.
    int Stride = F->width * 4;
    const uint8_t* Rows[1] = {Pixels + (size_t)(F->height - 1) * Stride};
    const int Strides[1] = {-Stride};
    sws_scale(Scaler, Rows, Strides, 0, F->height, F->data, F->linesize);
    F->pts = Index;
    return SendFrame(&Video, F);
}

// Whole encoder frames from the FIFO; at the end (Last) also the rest.
static bool SendAudioFrames(bool Last)
{
    AVFrame* F = Audio.Frame;
    int Size = Audio.Codec->frame_size;
    while (av_audio_fifo_size(Fifo) >= Size || (Last && av_audio_fifo_size(Fifo) > 0)) {
        int Got = av_frame_make_writable(F);
        if (Got < 0)
            return Fail(Got, "Cannot reuse the audio frame");
        F->nb_samples = av_audio_fifo_read(Fifo, (void**)F->data, Size);
        F->pts = AudioPts;
        AudioPts += F->nb_samples;
        if (!SendFrame(&Audio, F))
            return false;
    }
    return true;
}

// Count source sample frames (none, to drain it) through the resampler.
static bool Resample(const Sint16* Samples, int Count)
{
    int Room = swr_get_out_samples(Resampler, Count);
    if (Room > Capacity) {
        if (Converted != NULL)
            av_freep(&Converted[0]);
        av_freep(&Converted);
        Capacity = 0;
        int Got = av_samples_alloc_array_and_samples(
            &Converted, NULL, Audio.Codec->ch_layout.nb_channels, Room, Audio.Codec->sample_fmt, 0);
        if (Got < 0)
            return Fail(Got, "Cannot allocate the audio buffers");
        Capacity = Room;
    }
    const uint8_t* In[1] = {(const uint8_t*)Samples};
    int Made = swr_convert(Resampler, Converted, Capacity, Samples != NULL ? In : NULL, Count);
    if (Made < 0)
        return Fail(Made, "Resampling failed");
    if (av_audio_fifo_write(Fifo, (void**)Converted, Made) < Made)
        return Fail(AVERROR(ENOMEM), "Cannot buffer the audio");
    return true;
}

bool EncodeAudio(const Sint16* Samples, int Count)
{
    return Resample(Samples, Count) && SendAudioFrames(false);
}

bool CloseEncoder()
{
    if (Audio.Codec != NULL
        && (!Resample(NULL, 0) || !SendAudioFrames(true) || !SendFrame(&Audio, NULL)))
        return false;
    if (Video.Codec != NULL && !SendFrame(&Video, NULL))
        return false;
    int Got = av_write_trailer(Output);
    if (Got < 0)
        return Fail(Got, "Cannot finish the file");
    FreeEncoder();
    return true;
}

static void FreeStream(EncodedStream* S)
{
    avcodec_free_context(&S->Codec);
    av_frame_free(&S->Frame);
    S->Stream = NULL;
}

void FreeEncoder()
{
    FreeStream(&Video);
    FreeStream(&Audio);
    sws_freeContext(Scaler);
    Scaler = NULL;
    swr_free(&Resampler);
    av_audio_fifo_free(Fifo);
    Fifo = NULL;
    if (Converted != NULL)
        av_freep(&Converted[0]);
    av_freep(&Converted);
    Capacity = 0;
    av_packet_free(&Packet);
    if (Output != NULL)
        avio_closep(&Output->pb);
    avformat_free_context(Output);
    Output = NULL;
}
