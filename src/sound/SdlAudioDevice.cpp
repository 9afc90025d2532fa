#include "sound/SdlAudioDevice.h"

#include <QFileInfo>

#include <SDL.h>

#include <vector>

namespace tobrel {
namespace {

QString sdlError() { return QString::fromUtf8(SDL_GetError()); }

} // namespace

SdlAudioDevice::~SdlAudioDevice()
{
    if (m_device != 0) {
        SDL_UnlockAudioDevice(m_device);
        SDL_CloseAudioDevice(m_device);
    }
    if (m_subsystemUp)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudioDevice::ensureOpen(QString *errorText)
{
    if (m_device != 0)
        return true;
    if (!m_subsystemUp) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            if (errorText)
                *errorText = QStringLiteral("音声装置を使えません (%1)").arg(sdlError());
            return false;
        }
        m_subsystemUp = true;
    }
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (dev == 0) {
        if (errorText)
            *errorText = QStringLiteral("音声装置を開けません (%1)").arg(sdlError());
        return false;
    }
    SDL_LockAudioDevice(dev);
    SDL_PauseAudioDevice(dev, 0);
    m_device = dev;
    m_rate = have.freq;
    m_channels = have.channels;
    m_bytesPerFrame = have.channels * static_cast<int>(SDL_AUDIO_BITSIZE(have.format) / 8);
    m_bufferFrames = have.samples;
    return true;
}

int SdlAudioDevice::play(const QString &path, QString *errorText)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        if (errorText)
            *errorText = QStringLiteral("音声ファイルがありません: %1").arg(path);
        return AudioFileMissing;
    }
    if (!ensureOpen(errorText))
        return AudioNoDevice;

    SDL_AudioSpec spec{};
    Uint8 *buffer = nullptr;
    Uint32 length = 0;
    SDL_RWops *rw = SDL_RWFromFile(path.toUtf8().constData(), "rb");
    if (!rw || !SDL_LoadWAV_RW(rw, 1, &spec, &buffer, &length)) {
        if (errorText)
            *errorText = QStringLiteral("WAVファイルとして読めません: %1 (%2)").arg(path, sdlError());
        return AudioNotWav;
    }

    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_S16SYS,
                          static_cast<Uint8>(m_channels), m_rate) < 0) {
        SDL_FreeWAV(buffer);
        if (errorText)
            *errorText = QStringLiteral("この形式のWAVは再生できません: %1 (%2)").arg(path, sdlError());
        return AudioNotWav;
    }
    std::vector<Uint8> data(static_cast<size_t>(length) * static_cast<size_t>(cvt.len_mult) + 16);
    SDL_memcpy(data.data(), buffer, length);
    SDL_FreeWAV(buffer);
    int converted = static_cast<int>(length);
    if (cvt.needed) {
        cvt.buf = data.data();
        cvt.len = static_cast<int>(length);
        if (SDL_ConvertAudio(&cvt) != 0) {
            if (errorText)
                *errorText = QStringLiteral("WAVを変換できません: %1 (%2)").arg(path, sdlError());
            return AudioNotWav;
        }
        converted = cvt.len_cvt;
    }
    converted -= converted % m_bytesPerFrame;
    m_lastBytes = converted;

    // One buffer of silence after the sound: once the device has taken it from the
    // queue, every byte of the sound has gone out to the device.
    const int tail = m_bufferFrames * m_bytesPerFrame;
    data.resize(static_cast<size_t>(converted) + static_cast<size_t>(tail));
    SDL_memset(data.data() + converted, 0, static_cast<size_t>(tail));

    SDL_ClearQueuedAudio(m_device);
    if (SDL_QueueAudio(m_device, data.data(), static_cast<Uint32>(converted + tail)) != 0) {
        if (errorText)
            *errorText = QStringLiteral("音声を再生できません (%1)").arg(sdlError());
        return AudioNoDevice;
    }
    const double seconds = static_cast<double>(converted + tail) / (m_rate * m_bytesPerFrame);
    const Uint32 giveUp = SDL_GetTicks() + static_cast<Uint32>(seconds * 1000) + 2000;

    SDL_UnlockAudioDevice(m_device);
    while (SDL_GetQueuedAudioSize(m_device) > 0 && !SDL_TICKS_PASSED(SDL_GetTicks(), giveUp))
        SDL_Delay(1);
    SDL_LockAudioDevice(m_device);
    SDL_ClearQueuedAudio(m_device);
    return AudioOk;
}

} // namespace tobrel
