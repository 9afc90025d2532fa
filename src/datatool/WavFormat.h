// Whether the program's sound output can play a WAV file's bytes.
#pragma once
#include <QByteArray>
#include <QString>

namespace tobrel {

// "" when the bytes are a WAV file the program plays; otherwise what is wrong.
QString wavFormatProblem(const QByteArray &bytes);

} // namespace tobrel
