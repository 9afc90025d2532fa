// Builds a PCM WAV file (RIFF header and data) around samples, for the demo school's
// generated cues and the sound tests.
#pragma once
#include <QByteArray>

namespace tobrel {

// pcm holds interleaved little-endian samples of the given width (8 or 16 bits).
QByteArray pcmWavFile(int rate, int channels, int bits, const QByteArray &pcm);

// Appends one sample in [-1, 1] at the given width (8-bit unsigned, 16-bit signed).
void appendSample(QByteArray &pcm, double value, int bits);

} // namespace tobrel
