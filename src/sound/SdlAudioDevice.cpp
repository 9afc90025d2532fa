#include "sound/SdlAudioDevice.h"

#include "sound/WavCheck.h"
#include "text/LoadedLibrary.h"

#include <QFile>
#include <QFileInfo>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace tobrel {
namespace {

// SDL is loaded when the sound output first starts (behind the splash, on a thread of
// its own), not with the program.
#define TOBREL_SDL_FUNCTIONS(X)                                                                                        \
    X(SDL_AudioStreamFlush)                                                                                            \
    X(SDL_AudioStreamGet)                                                                                              \
    X(SDL_AudioStreamPut)                                                                                              \
    X(SDL_ClearQueuedAudio)                                                                                            \
    X(SDL_CloseAudioDevice)                                                                                            \
    X(SDL_Delay)                                                                                                       \
    X(SDL_FreeAudioStream)                                                                                             \
    X(SDL_FreeWAV)                                                                                                     \
    X(SDL_GetError)                                                                                                    \
    X(SDL_GetPerformanceCounter)                                                                                       \
    X(SDL_GetPerformanceFrequency)                                                                                     \
    X(SDL_GetQueuedAudioSize)                                                                                          \
    X(SDL_GetTicks)                                                                                                    \
    X(SDL_InitSubSystem)                                                                                               \
    X(SDL_LoadWAV_RW)                                                                                                  \
    X(SDL_LockAudioDevice)                                                                                             \
    X(SDL_NewAudioStream)                                                                                              \
    X(SDL_OpenAudioDevice)                                                                                             \
    X(SDL_PauseAudioDevice)                                                                                            \
    X(SDL_QueueAudio)                                                                                                  \
    X(SDL_QuitSubSystem)                                                                                               \
    X(SDL_RWFromConstMem)                                                                                              \
    X(SDL_SetHint)                                                                                                     \
    X(SDL_UnlockAudioDevice)

TOBREL_LOADED_LIBRARY(SdlLibrary, "libSDL2-2.0.so.0", TOBREL_SDL_FUNCTIONS);

// The library; its functions are used only once sdlLoaded() said it is there.
const SdlLibrary &sdl() { return loadedOnce<SdlLibrary>(); }

bool sdlLoaded(QString *errorText)
{
    const QString &problem = sdl().problem();
    if (problem.isEmpty())
        return true;
    if (errorText)
        *errorText = QStringLiteral("音声装置を使えません (%1)").arg(problem);
    return false;
}

QString sdlError() { return QString::fromUtf8(sdl().SDL_GetError()); }

} // namespace

SdlAudioDevice::~SdlAudioDevice()
{
    finishStart();
    if (m_device != 0) {
        sdl().SDL_UnlockAudioDevice(m_device);
        sdl().SDL_CloseAudioDevice(m_device);
    }
    if (m_subsystemUp)
        sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudioDevice::startEarly()
{
    if (m_device != 0 || m_starter.joinable())
        return;
    m_starter = std::thread([this] { m_started = openDevice(nullptr); });
}

void SdlAudioDevice::finishStart()
{
    if (!m_starter.joinable())
        return;
    m_starter.join();
    if (m_started.id != 0)
        takeDevice(m_started);
    m_started = OpenedDevice();
}

SdlAudioDevice::OpenedDevice SdlAudioDevice::openDevice(QString *errorText)
{
    if (!sdlLoaded(errorText))
        return {};
    if (!m_subsystemUp) {
        // Left to itself SDL catches SIGINT and SIGTERM and turns them into a quit event
        // that nobody here reads: after the first sound, a shutdown of the PC or a kill
        // would no longer end the program.
        sdl().SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (sdl().SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            if (errorText)
                *errorText = QStringLiteral("音声装置を使えません (%1)").arg(sdlError());
            return {};
        }
        m_subsystemUp = true;
    }
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID dev = sdl().SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (dev == 0) {
        if (errorText)
            *errorText = QStringLiteral("音声装置を開けません (%1)").arg(sdlError());
        return {};
    }
    return {dev, have.freq, have.channels, have.channels * static_cast<int>(SDL_AUDIO_BITSIZE(have.format) / 8),
            have.samples};
}

void SdlAudioDevice::takeDevice(const OpenedDevice &dev)
{
    // Locked here, on the thread that plays: the device's lock is a mutex, which only
    // the thread that took it may release.
    sdl().SDL_LockAudioDevice(dev.id);
    sdl().SDL_PauseAudioDevice(dev.id, 0);
    m_device = dev.id;
    m_rate = dev.rate;
    m_channels = dev.channels;
    m_bytesPerFrame = dev.bytesPerFrame;
    m_bufferFrames = dev.bufferFrames;
}

bool SdlAudioDevice::ensureOpen(QString *errorText)
{
    finishStart();
    if (m_device != 0)
        return true;
    const OpenedDevice dev = openDevice(errorText);
    if (dev.id == 0)
        return false;
    takeDevice(dev);
    return true;
}

QString decodeWavTo(const QByteArray &wav, int rate, int channels, std::vector<uint8_t> &out)
{
    out.clear();
    if (const QString problem = checkWav(wav); !problem.isEmpty())
        return problem;
    if (QString problem; !sdlLoaded(&problem))
        return problem;
    SDL_AudioSpec wavFormat{};
    Uint8 *buffer = nullptr;
    Uint32 length = 0;
    // SDL reads from the bytes already in memory: whatever the header says, it can find
    // no more than the file holds.
    SDL_RWops *rw = sdl().SDL_RWFromConstMem(wav.constData(), static_cast<int>(wav.size()));
    if (!rw || !sdl().SDL_LoadWAV_RW(rw, 1, &wavFormat, &buffer, &length))
        return QStringLiteral("WAVファイルとして読めません (%1)").arg(sdlError());
    struct FreeWav {
        Uint8 *p;
        ~FreeWav() { sdl().SDL_FreeWAV(p); }
    } freeWav{buffer};

    // A stream converts in pieces, so no buffer is sized from a multiple of the input.
    SDL_AudioStream *stream = sdl().SDL_NewAudioStream(wavFormat.format, wavFormat.channels, wavFormat.freq,
                                                       AUDIO_S16SYS, static_cast<Uint8>(channels), rate);
    if (!stream)
        return QStringLiteral("この形式のWAVは再生できません (%1)").arg(sdlError());
    struct FreeStream {
        SDL_AudioStream *s;
        ~FreeStream() { sdl().SDL_FreeAudioStream(s); }
    } freeStream{stream};
    constexpr Uint32 kPiece = 64 * 1024;
    std::vector<uint8_t> piece(kPiece * 4);
    auto drain = [&]() -> bool {
        for (;;) {
            const int got = sdl().SDL_AudioStreamGet(stream, piece.data(), static_cast<int>(piece.size()));
            if (got < 0)
                return false;
            if (got == 0)
                return true;
            out.insert(out.end(), piece.begin(), piece.begin() + got);
        }
    };
    for (Uint32 done = 0; done < length;) {
        const Uint32 n = std::min(kPiece, length - done);
        if (sdl().SDL_AudioStreamPut(stream, buffer + done, static_cast<int>(n)) != 0 || !drain())
            return QStringLiteral("WAVを変換できません (%1)").arg(sdlError());
        done += n;
    }
    // The stream keeps the last stretch of the sound back for its resampler, and a flush
    // does not always give it out: silence after the sound pushes it through, and the
    // result is then cut to the sound's own length.
    const int inFrameBytes = wavFormat.channels * static_cast<int>(SDL_AUDIO_BITSIZE(wavFormat.format) / 8);
    const int64_t inFrames = inFrameBytes > 0 ? length / inFrameBytes : 0;
    const int64_t padFrames = 2 * (512 * std::max<int64_t>(1, wavFormat.freq / rate + 1) + 4096);
    const std::vector<uint8_t> silence(static_cast<size_t>(padFrames * inFrameBytes), wavFormat.silence);
    if (sdl().SDL_AudioStreamPut(stream, silence.data(), static_cast<int>(silence.size())) != 0 || !drain() ||
        sdl().SDL_AudioStreamFlush(stream) != 0 || !drain())
        return QStringLiteral("WAVを変換できません (%1)").arg(sdlError());
    const size_t frame = static_cast<size_t>(channels) * 2;
    const auto outFrames = static_cast<size_t>(std::llround(static_cast<double>(inFrames) * rate / wavFormat.freq));
    out.resize(std::min(out.size() - out.size() % frame, outFrames * frame));
    return {};
}

int SdlAudioDevice::play(const QString &path, QString *errorText)
{
    QFile file(path);
    if (!file.exists() || !QFileInfo(path).isFile()) {
        if (errorText)
            *errorText = QStringLiteral("音声ファイルがありません: %1").arg(path);
        return AudioFileMissing;
    }
    auto notPlayable = [&](const QString &why) {
        if (errorText)
            *errorText = QStringLiteral("WAVファイル %1 を再生できません: %2").arg(path, why);
        return AudioNotWav;
    };
    if (!file.open(QIODevice::ReadOnly))
        return notPlayable(file.errorString());
    if (file.size() > kWavMaxFileBytes)
        return notPlayable(QStringLiteral("ファイルが大きすぎます（%1バイト）").arg(file.size()));
    const QByteArray wav = file.read(kWavMaxFileBytes + 1);
    file.close();
    if (wav.size() > kWavMaxFileBytes)
        return notPlayable(QStringLiteral("ファイルが大きすぎます"));
    if (const QString problem = checkWav(wav); !problem.isEmpty())
        return notPlayable(problem);

    if (!ensureOpen(errorText))
        return AudioNoDevice;
    std::vector<Uint8> data;
    if (const QString problem = decodeWavTo(wav, m_rate, m_channels, data); !problem.isEmpty())
        return notPlayable(problem);
    const int converted = static_cast<int>(data.size());
    m_lastBytes = converted;

    // One buffer of silence after the sound: once the device has taken it from the
    // queue, every byte of the sound has gone out to the device.
    const int tail = m_bufferFrames * m_bytesPerFrame;
    data.resize(static_cast<size_t>(converted) + static_cast<size_t>(tail));
    std::memset(data.data() + converted, 0, static_cast<size_t>(tail));

    sdl().SDL_ClearQueuedAudio(m_device);
    if (sdl().SDL_QueueAudio(m_device, data.data(), static_cast<Uint32>(converted + tail)) != 0) {
        if (errorText)
            *errorText = QStringLiteral("音声を再生できません (%1)").arg(sdlError());
        return AudioNoDevice;
    }
    const double seconds = static_cast<double>(converted + tail) / (m_rate * m_bytesPerFrame);
    const Uint32 giveUp = sdl().SDL_GetTicks() + static_cast<Uint32>(seconds * 1000) + 2000;

    const Uint64 queued = sdl().SDL_GetPerformanceCounter();
    sdl().SDL_UnlockAudioDevice(m_device);
    while (sdl().SDL_GetQueuedAudioSize(m_device) > 0 && !SDL_TICKS_PASSED(sdl().SDL_GetTicks(), giveUp))
        sdl().SDL_Delay(1);
    sdl().SDL_LockAudioDevice(m_device);
    m_lastDeviceWaitMs = static_cast<double>(sdl().SDL_GetPerformanceCounter() - queued) * 1000.0 /
                         static_cast<double>(sdl().SDL_GetPerformanceFrequency());
    sdl().SDL_ClearQueuedAudio(m_device);
    return AudioOk;
}

} // namespace tobrel
