#include "datatool/WavFormat.h"

#include <SDL.h>

namespace tobrel {

QString wavFormatProblem(const QByteArray &bytes)
{
    SDL_RWops *rw = SDL_RWFromConstMem(bytes.constData(), static_cast<int>(bytes.size()));
    SDL_AudioSpec spec{};
    Uint8 *buffer = nullptr;
    Uint32 length = 0;
    if (!rw || !SDL_LoadWAV_RW(rw, 1, &spec, &buffer, &length))
        return QStringLiteral("WAVファイルとして読めません (%1)").arg(QString::fromUtf8(SDL_GetError()));
    SDL_FreeWAV(buffer);
    return {};
}

} // namespace tobrel
