// Sound output through SDL2's audio subsystem. The device is opened once, at the
// first sound, and reused, so a cue starts without delay. A WAV file is read into
// memory, checked (checkWav), decoded by SDL from those bytes, converted to the
// device's format piece by piece, queued, and the call returns only once the device
// has played all of it.
//
// Between sounds the device is held locked, so its thread writes nothing (this keeps
// SDL's disk driver, used by the tests, from filling its file with silence).
#pragma once
#include "sound/AudioDevice.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace tobrel {

// Checks a WAV file's bytes, decodes them and converts the sound to signed 16-bit
// samples at the given rate and channel count. Returns "" or the reason it cannot be
// played (the caller names the file).
QString decodeWavTo(const QByteArray &wav, int rate, int channels, std::vector<uint8_t> &out);

class SdlAudioDevice final : public AudioDevice {
public:
    SdlAudioDevice() = default;
    ~SdlAudioDevice() override;
    SdlAudioDevice(const SdlAudioDevice &) = delete;
    SdlAudioDevice &operator=(const SdlAudioDevice &) = delete;

    int play(const QString &path, QString *errorText) override;

    // The device's format, once opened: rate, channels and bytes per frame.
    int rate() const { return m_rate; }
    int channels() const { return m_channels; }
    int bytesPerFrame() const { return m_bytesPerFrame; }
    // Bytes of the last sound after conversion to the device's format.
    int64_t lastConvertedBytes() const { return m_lastBytes; }

private:
    bool ensureOpen(QString *errorText);

    uint32_t m_device = 0;
    bool m_subsystemUp = false;
    int m_rate = 0;
    int m_channels = 0;
    int m_bytesPerFrame = 0;
    int m_bufferFrames = 0;
    int64_t m_lastBytes = 0;
};

} // namespace tobrel
