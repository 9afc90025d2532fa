// Sound output through SDL2's audio subsystem. The device is opened once and reused,
// so a cue starts without delay: at start-up on a thread of its own (startEarly), or
// else at the first sound. Bringing the subsystem and the device up takes tens of
// milliseconds, which the first answer of a run would otherwise wait for. A WAV file is read into
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
#include <thread>
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
    // Brings the subsystem up and opens the device on a thread of its own. The first
    // sound waits for that thread; when it failed, the sound tries again itself and
    // reports the failure, as it does without an early start.
    void startEarly() override;

    // The device's format, once opened: rate, channels and bytes per frame.
    int rate() const { return m_rate; }
    int channels() const { return m_channels; }
    int bytesPerFrame() const { return m_bytesPerFrame; }
    // Bytes of the last sound after conversion to the device's format.
    int64_t lastConvertedBytes() const { return m_lastBytes; }
    // How long the last sound kept play() waiting while the device played it: the
    // sound's own length, as the device paces it.
    double lastDeviceWaitMs() const { return m_lastDeviceWaitMs; }

private:
    // A device opened and still paused, with its format.
    struct OpenedDevice {
        uint32_t id = 0; // 0: none
        int rate = 0;
        int channels = 0;
        int bytesPerFrame = 0;
        int bufferFrames = 0;
    };
    bool ensureOpen(QString *errorText);
    // The subsystem (once) and a newly opened device; id 0 with errorText set when
    // either fails. Touches nothing a sound being played uses, so it may run on the
    // starting thread.
    OpenedDevice openDevice(QString *errorText);
    // Makes an opened device the one sounds go to (held locked between sounds).
    void takeDevice(const OpenedDevice &device);
    // Waits for the early start, if any, and takes the device it opened.
    void finishStart();

    std::thread m_starter;
    OpenedDevice m_started; // opened by the starting thread, not yet taken
    uint32_t m_device = 0;
    bool m_subsystemUp = false;
    int m_rate = 0;
    int m_channels = 0;
    int m_bytesPerFrame = 0;
    int m_bufferFrames = 0;
    int64_t m_lastBytes = 0;
    double m_lastDeviceWaitMs = 0;
};

} // namespace tobrel
