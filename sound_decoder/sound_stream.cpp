// Decoding: the data chunk read in blocks through mmio, taken to PCM by the codec the system's
// ACM offers for its format, then to 16-bit at the caller's rate by the system's PCM converter,
// and a stereo pair averaged to mono. PCM layouts that converter refuses (24/32-bit, float, more
// than two channels) are narrowed to 16-bit here first; nothing else is decoded by hand.
#include "sound_decoder.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "wave_file.h"  // windows.h and mmsystem.h, which mmreg.h and msacm.h need first
#include <mmreg.h>
#include <msacm.h>

namespace sound_decoder {

// Source bytes read per refill: small enough that a long file costs only what is played.
static const uint32_t READ_BYTES = 16384;

// One ACM conversion with the bytes it has not yet taken.
struct Conversion {
    HACMSTREAM stream = 0;
    std::vector<uint8_t> input;
};

struct SoundStream::State {
    SoundFileInfo info;
    WaveFile file;
    WaveLayout layout;
    std::vector<uint8_t> pcm_format;    // what the codec writes, or the file holds: what the PCM converter reads
    uint32_t rate = 0;                  // the caller's
    WAVEFORMATEX mix_format = {};       // 16-bit PCM at that rate, one or two channels
    bool narrow = false;                // PCM or float narrowed here to 16-bit
    Conversion codec, converter;
    uint32_t read_size = 0;             // whole blocks of source
    uint64_t source_left = 0;
    bool ended = false;
    std::vector<float> pending;         // converted, not yet read
    size_t pending_at = 0;
};

static std::string format_name(uint16_t tag)
{
    switch (tag) {
    case WAVE_FORMAT_PCM: return "PCM";
    case WAVE_FORMAT_ADPCM: return "MS ADPCM";
    case WAVE_FORMAT_IEEE_FLOAT: return "IEEE float";
    case WAVE_FORMAT_ALAW: return "A-law";
    case WAVE_FORMAT_MULAW: return "mu-law";
    case WAVE_FORMAT_IMA_ADPCM: return "IMA ADPCM";
    case WAVE_FORMAT_GSM610: return "GSM 6.10";
    case WAVE_FORMAT_MPEGLAYER3: return "MPEG layer-3";
    }
    char text[32];
    snprintf(text, sizeof text, "format 0x%04X", tag);
    return text;
}

static std::vector<uint8_t> pcm_format(uint16_t channels, uint32_t rate, uint16_t bits)
{
    std::vector<uint8_t> bytes(sizeof(WAVEFORMATEX), 0);
    WAVEFORMATEX *format = (WAVEFORMATEX *)bytes.data();
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = channels;
    format->nSamplesPerSec = rate;
    format->wBitsPerSample = bits;
    format->nBlockAlign = (uint16_t)(channels * bits / 8);
    format->nAvgBytesPerSec = rate * format->nBlockAlign;
    return bytes;
}

static bool same_pcm(const WAVEFORMATEX &a, const WAVEFORMATEX &b)
{
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.wBitsPerSample == b.wBitsPerSample;
}

// Sets up the codec (when the file is not PCM) and the PCM converter (when the PCM is not
// already the mix format). Fills the info on the way; false and the failure when nothing decodes
// it.
static bool open_conversions(SoundStream::State &state, Failure &failure)
{
    const WAVEFORMATEX *format = (const WAVEFORMATEX *)state.layout.format.data();
    SoundFileInfo &info = state.info;
    info.format_tag = format->wFormatTag;
    // WAVE_FORMAT_EXTENSIBLE: the sub-format GUID's first two bytes hold the real tag.
    if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE && format->cbSize >= 22)
        memcpy(&info.format_tag, state.layout.format.data() + sizeof(WAVEFORMATEX) + 6, 2);
    info.format_name = format_name(info.format_tag);
    info.channels = format->nChannels;
    info.rate = format->nSamplesPerSec;
    info.bits = format->wBitsPerSample;
    info.data_bytes = state.layout.data_bytes;
    if (!format->nChannels || !format->nSamplesPerSec || !format->nBlockAlign)
        return fail(failure, FailureKind::BadFormat, "its fmt chunk gives no channels, rate or block size");
    uint32_t sample_bytes = format->nBlockAlign / format->nChannels;
    bool linear = info.format_tag == WAVE_FORMAT_PCM || info.format_tag == WAVE_FORMAT_IEEE_FLOAT;
    if (linear) {
        if (format->nBlockAlign % format->nChannels || sample_bytes < 1 ||
            sample_bytes > (info.format_tag == WAVE_FORMAT_PCM ? 4u : 8u) ||
            (info.format_tag == WAVE_FORMAT_IEEE_FLOAT && sample_bytes != 4 && sample_bytes != 8))
            return fail(failure, FailureKind::BadFormat,
                        "its " + std::to_string(sample_bytes * 8) + "-bit " + info.format_name +
                            " samples are not a layout it can read");
        info.seconds = (double)info.data_bytes / format->nBlockAlign / format->nSamplesPerSec;
        // The PCM converter takes 8 or 16-bit PCM in one or two channels; anything else is
        // narrowed here to 16-bit, and to mono beyond two channels.
        state.narrow = info.format_tag != WAVE_FORMAT_PCM || sample_bytes > 2 || format->nChannels > 2;
        uint16_t channels = format->nChannels > 2 ? 1 : format->nChannels;
        state.pcm_format = pcm_format(channels, format->nSamplesPerSec, state.narrow ? 16 : sample_bytes * 8);
    } else {
        if (format->nAvgBytesPerSec)
            info.seconds = (double)info.data_bytes / format->nAvgBytesPerSec;
        std::vector<uint8_t> suggested(sizeof(WAVEFORMATEX) + 64, 0);
        WAVEFORMATEX *pcm = (WAVEFORMATEX *)suggested.data();
        pcm->wFormatTag = WAVE_FORMAT_PCM;
        if (acmFormatSuggest(0, (WAVEFORMATEX *)format, pcm, (DWORD)suggested.size(), ACM_FORMATSUGGESTF_WFORMATTAG) != 0 ||
            acmStreamOpen(&state.codec.stream, 0, (WAVEFORMATEX *)format, pcm, 0, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
            state.codec.stream = 0;
            return fail(failure, FailureKind::NoCodec, "no codec on this system for " + info.format_name);
        }
        state.pcm_format = pcm_format(pcm->nChannels, pcm->nSamplesPerSec, pcm->wBitsPerSample);
    }
    const WAVEFORMATEX *pcm = (const WAVEFORMATEX *)state.pcm_format.data();
    // The converter keeps the channels: Wine's adds the two of a stereo pair rather than
    // averaging them, so the pair is averaged here, as a mixer would.
    state.mix_format = *(const WAVEFORMATEX *)pcm_format(pcm->nChannels, state.rate, 16).data();
    if (!same_pcm(*pcm, state.mix_format) &&
        acmStreamOpen(&state.converter.stream, 0, (WAVEFORMATEX *)pcm, &state.mix_format, 0, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
        state.converter.stream = 0;
        return fail(failure, FailureKind::NoConverter,
                    "the system's PCM converter does not take " + std::to_string(pcm->wBitsPerSample) + "-bit " +
                        std::to_string(pcm->nChannels) + "-channel " + std::to_string(pcm->nSamplesPerSec) + " Hz PCM");
    }
    // Whole blocks per read, at least one.
    state.read_size = std::max<uint32_t>(1, READ_BYTES / format->nBlockAlign) * format->nBlockAlign;
    return true;
}

static void close_conversions(SoundStream::State &state)
{
    for (Conversion *conversion : {&state.codec, &state.converter}) {
        if (conversion->stream)
            acmStreamClose(conversion->stream, 0);
        *conversion = Conversion();
    }
}

// Runs what the conversion holds through ACM into `output`; keeps what it does not take yet.
static bool convert(Conversion &conversion, std::vector<uint8_t> &output, bool end)
{
    if (conversion.input.empty())
        return true;
    DWORD output_size = 0;
    if (acmStreamSize(conversion.stream, (DWORD)conversion.input.size(), &output_size, ACM_STREAMSIZEF_SOURCE) != 0)
        return false;
    std::vector<uint8_t> converted(output_size + 64);
    ACMSTREAMHEADER header = {};
    header.cbStruct = sizeof header;
    header.pbSrc = conversion.input.data();
    header.cbSrcLength = (DWORD)conversion.input.size();
    header.pbDst = converted.data();
    header.cbDstLength = (DWORD)converted.size();
    if (acmStreamPrepareHeader(conversion.stream, &header, 0) != 0)
        return false;
    MMRESULT result = acmStreamConvert(conversion.stream, &header, end ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN);
    acmStreamUnprepareHeader(conversion.stream, &header, 0);
    if (result != 0)
        return false;
    output.insert(output.end(), converted.begin(), converted.begin() + header.cbDstLengthUsed);
    // At the end, a partial block the codec cannot take is dropped.
    conversion.input.erase(conversion.input.begin(), end ? conversion.input.end() : conversion.input.begin() + header.cbSrcLengthUsed);
    return true;
}

static int16_t to_16_bit(const uint8_t *sample, uint32_t bytes, bool is_float)
{
    double value;
    if (is_float && bytes == 4) {
        float f;
        memcpy(&f, sample, 4);
        value = f;
    } else if (is_float) {
        memcpy(&value, sample, 8);
    } else if (bytes == 1) {
        return (int16_t)((sample[0] - 128) << 8);
    } else {
        return (int16_t)(sample[bytes - 2] | sample[bytes - 1] << 8);  // the top 16 bits
    }
    value = value != value ? 0 : value > 1 ? 1 : value < -1 ? -1 : value;  // NaN to silence
    return (int16_t)(value * 32767 + (value < 0 ? -0.5 : 0.5));
}

// Float, 24 and 32-bit PCM to 16-bit; more than two channels to their mean.
static std::vector<uint8_t> narrowed(const SoundStream::State &state, const std::vector<uint8_t> &source)
{
    const WAVEFORMATEX *format = (const WAVEFORMATEX *)state.layout.format.data();
    uint32_t channels = format->nChannels, sample_bytes = format->nBlockAlign / channels;
    bool is_float = state.info.format_tag == WAVE_FORMAT_IEEE_FLOAT, mix_down = channels > 2;
    size_t frames = source.size() / format->nBlockAlign;
    std::vector<uint8_t> out(frames * (mix_down ? 1 : channels) * 2);
    int16_t *samples = (int16_t *)out.data();
    for (size_t frame = 0; frame < frames; ++frame) {
        const uint8_t *at = &source[frame * format->nBlockAlign];
        int32_t sum = 0;
        for (uint32_t c = 0; c < channels; ++c) {
            int16_t sample = to_16_bit(at + c * sample_bytes, sample_bytes, is_float);
            if (mix_down)
                sum += sample;
            else
                *samples++ = sample;
        }
        if (mix_down)
            *samples++ = (int16_t)(sum / (int32_t)channels);
    }
    return out;
}

// Reads and converts the next block of the file; false when the sound has ended.
static bool refill(SoundStream::State &state)
{
    if (state.ended)
        return false;
    uint32_t size = (uint32_t)std::min<uint64_t>(state.read_size, state.source_left);
    std::vector<uint8_t> source(size);
    if (size && mmioRead(state.file.mmio, (HPSTR)source.data(), (LONG)size) != (LONG)size)
        size = 0, source.clear();  // a read error ends the sound where it is
    state.source_left = size ? state.source_left - size : 0;
    bool end = state.source_left == 0;
    if (state.narrow)
        source = narrowed(state, source);
    std::vector<uint8_t> pcm, mixed;
    bool ok = true;
    if (state.codec.stream) {
        state.codec.input.insert(state.codec.input.end(), source.begin(), source.end());
        ok = convert(state.codec, pcm, end);
    } else {
        pcm.swap(source);
    }
    if (state.converter.stream) {
        state.converter.input.insert(state.converter.input.end(), pcm.begin(), pcm.end());
        ok = ok && convert(state.converter, mixed, end);
    } else {
        mixed.swap(pcm);
    }
    state.ended = end || !ok;
    const int16_t *samples = (const int16_t *)mixed.data();
    size_t count = mixed.size() / 2;
    if (state.mix_format.nChannels == 2) {
        state.pending.resize(count / 2);
        for (size_t i = 0; i < count / 2; ++i)
            state.pending[i] = (samples[2 * i] + samples[2 * i + 1]) / 65536.0f;
    } else {
        state.pending.resize(count);
        for (size_t i = 0; i < count; ++i)
            state.pending[i] = samples[i] / 32768.0f;
    }
    state.pending_at = 0;
    return true;
}

SoundStream::SoundStream() : state_(new State) {}

SoundStream::~SoundStream()
{
    close_conversions(*state_);
    close_wave_file(state_->file);
}

bool SoundStream::open(const std::string &utf8_path, uint32_t rate, Failure &failure, std::vector<std::string> *warnings)
{
    close_conversions(*state_);
    close_wave_file(state_->file);
    state_.reset(new State);
    state_->rate = rate;
    if (!open_wave_file(utf8_path, state_->file, failure))
        return false;
    if (!walk_wave_file(state_->file, state_->layout, failure, warnings) || !open_conversions(*state_, failure)) {
        close_conversions(*state_);
        close_wave_file(state_->file);
        return false;
    }
    if (!rewind())
        return fail(failure, FailureKind::CannotRead, "cannot read it");
    return true;
}

bool SoundStream::rewind()
{
    State &state = *state_;
    if (!state.file.mmio)
        return false;
    if (state.codec.stream)
        acmStreamReset(state.codec.stream, 0);
    if (state.converter.stream)
        acmStreamReset(state.converter.stream, 0);
    state.codec.input.clear();
    state.converter.input.clear();
    state.pending.clear();
    state.pending_at = 0;
    state.source_left = state.layout.data_bytes;
    state.ended = false;
    return mmioSeek(state.file.mmio, (LONG)state.layout.data_offset, SEEK_SET) == (LONG)state.layout.data_offset;
}

size_t SoundStream::read(float *samples, size_t count)
{
    State &state = *state_;
    size_t done = 0;
    while (done < count) {
        if (state.pending_at == state.pending.size()) {
            if (!state.file.mmio || !refill(state))
                break;
            continue;
        }
        size_t take = std::min(count - done, state.pending.size() - state.pending_at);
        memcpy(samples + done, &state.pending[state.pending_at], take * sizeof(float));
        done += take;
        state.pending_at += take;
    }
    return done;
}

void SoundStream::read_at_most(uint64_t bytes)
{
    state_->source_left = std::min(state_->source_left, bytes);
}

const SoundFileInfo &SoundStream::info() const
{
    return state_->info;
}

// The rate the first block is decoded at: the mixer's, though any rate proves the same.
static const uint32_t DESCRIBE_RATE = 22050;
// Opening only proves a codec takes the format; a first block of samples proves it takes the
// data. More would make the check cost what a whole file costs.
static const size_t FIRST_BLOCK_SAMPLES = 4096;
// A codec that has made no sample of the first megabyte makes none of the rest: the probe
// stops there, so a multi-gigabyte file that no codec decodes costs what a small one does.
static const uint64_t PROBE_BYTES = 1u << 20;

bool describe_sound_file(const std::string &utf8_path, SoundFileInfo &info, Failure &failure,
                         std::vector<std::string> *warnings)
{
    SoundStream stream;
    bool ok = stream.open(utf8_path, DESCRIBE_RATE, failure, warnings);
    info = stream.info();
    if (!ok)
        return false;
    float first_block[FIRST_BLOCK_SAMPLES];
    stream.read_at_most(PROBE_BYTES);
    if (info.data_bytes > 0 && stream.read(first_block, FIRST_BLOCK_SAMPLES) == 0)
        return fail(failure, FailureKind::UndecodableData, "its codec cannot decode the data");
    return true;
}

}  // namespace sound_decoder
