// The school's own places, which a file the teacher saves (a CSV of the results, a
// result sheet as PDF) must never take the place of: the data root with the data
// folder and the sound folder, the program folder, this PC's folder of the runs kept
// back (the pending file), and the suite folder that holds the path data. A save there
// would replace a file the program or the suite reads (the results file, the roster,
// the pending runs) with the CSV or the PDF.
//
// The check looks at where the name leads, links followed, not at the name as typed:
// "out.csv" that is a link to the results file is the results file. The program's save
// handlers and the data tool's export both ask it.
#pragma once
#include <QString>
#include <QStringList>

namespace tobrel {

struct Configuration;

// Why `target` must not be saved as a file of `extension` (".csv", ".pdf"): where it
// leads lies in one of the school's folders (or below; directly in the suite folder)
// under a name that is not such a file, or is such a folder itself. "" when it may be
// saved. A CSV beside the school's data ("成績.csv" in the data folder) may be.
// alsoFolders: more folders of the program's own to keep (this user's folders of runs
// kept back for every results file, say).
QString schoolFileRefusal(const Configuration &config, const QString &target, const QString &extension,
                          const QStringList &alsoFolders = {});

} // namespace tobrel
