#include "text/LoadedLibrary.h"

#include <dlfcn.h>

namespace tobrel {

LoadedLibrary::LoadedLibrary(const char *fileName) : m_fileName(QString::fromLatin1(fileName))
{
    // Kept loaded for the rest of the program, its symbols to itself.
    m_handle = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char *why = ::dlerror();
        m_problem = QStringLiteral("%1 を読み込めません（%2）")
                        .arg(m_fileName, why ? QString::fromLocal8Bit(why) : QStringLiteral("理由不明"));
    }
}

void *LoadedLibrary::symbol(const char *name)
{
    if (!m_handle || !m_problem.isEmpty())
        return nullptr;
    void *found = ::dlsym(m_handle, name);
    if (!found)
        m_problem = QStringLiteral("%1 に %2 がありません").arg(m_fileName, QString::fromLatin1(name));
    return found;
}

} // namespace tobrel
