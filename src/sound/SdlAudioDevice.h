// Sound output through SDL2's audio subsystem. The device is opened once, at the
// first sound, and reused, so a cue starts without delay. A WAV file (PCM, mono or
// stereo, 8 or 16 bit, any common rate) is converted to the device's format, queued,
// and the call returns only once the device has played all of it.
//
// Between sounds the device is held locked, so its thread writes nothing (this keeps
// SDL's disk driver, used by the tests, from filling its file with silence).
#pragma once
#include "sound/AudioDevice.h"

#include <cstdint>

namespace tobrel {

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
