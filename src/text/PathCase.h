// Suite folders are often copied from Windows PCs, whose file names ignore letter
// case: a cue table naming "pinpon" may sit beside "Pinpon.WAV". These helpers find
// such a file or folder when the exact name is not there.
#pragma once
#include <QString>

namespace tobrel {

// The path itself when it exists; otherwise the entry of its folder whose name differs
// only in letter case, when there is one; otherwise the path unchanged. A trailing
// separator is kept.
QString pathIgnoringCase(const QString &path);

} // namespace tobrel
