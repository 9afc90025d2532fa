#include "app/ProgramOptions.h"

#include "app/DataSetting.h"

namespace tobrel {

namespace {

// Qt's own command-line options (QGuiApplication, QApplication and the X11 platform),
// written with one dash or two: those that take the next word as their value, and
// those that stand alone. -style, -stylesheet and -qmljsdebugger may carry it after "=".
bool isQtOptionWithValue(const QString &name)
{
    static const QStringList names{QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
                                   QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
                                   QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowtitle"),
                                   QStringLiteral("qwindowicon"),     QStringLiteral("session"),
                                   QStringLiteral("display"),         QStringLiteral("name"),
                                   QStringLiteral("visual"),          QStringLiteral("geometry"),
                                   QStringLiteral("title"),           QStringLiteral("icon"),
                                   QStringLiteral("style"),           QStringLiteral("stylesheet"),
                                   QStringLiteral("qmljsdebugger")};
    return names.contains(name);
}

bool isQtSwitch(const QString &name)
{
    static const QStringList names{QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                   QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                   QStringLiteral("sync"),    QStringLiteral("testability")};
    return names.contains(name);
}

// -style=NAME, -stylesheet=FILE, -qmljsdebugger=...: name is the word without its dashes.
bool isQtOptionWithJoinedValue(const QString &name)
{
    const QString before = name.left(name.indexOf(u'='));
    return name.contains(u'=') && (before == u"style" || before == u"stylesheet" || before == u"qmljsdebugger");
}

// The option's name without its dashes, "" when the word is no such option.
QString qtOptionName(const QString &word)
{
    if (!word.startsWith(u'-') || word.startsWith(QStringLiteral("---")))
        return {};
    return word.mid(word.startsWith(QStringLiteral("--")) ? 2 : 1);
}

} // namespace

ProgramOptions parseProgramOptions(const QStringList &arguments)
{
    ProgramOptions o;
    auto usage = [&o](const QString &error) {
        o.action = ProgramOptions::Action::Usage;
        o.error = error;
        return o;
    };
    // --data-root DIR, --data-root=DIR and the same for --data-folder.
    auto valueOf = [&](const QString &option, int &i, QString *value) {
        const QString &a = arguments[i];
        if (a != option && !a.startsWith(option + u'='))
            return false;
        if (a.contains(u'=')) {
            *value = a.mid(a.indexOf(u'=') + 1);
        } else if (i + 1 < arguments.size()) {
            *value = arguments[++i];
        } else {
            *value = QString();
            usage(QStringLiteral("%1 の後に値がありません").arg(option));
        }
        return true;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString value;
        if (a == u"--help" || a == u"-h") {
            o.action = ProgramOptions::Action::Help;
        } else if (a == u"--version") {
            if (o.action != ProgramOptions::Action::Help)
                o.action = ProgramOptions::Action::Version;
        } else if (valueOf(QStringLiteral("--data-root"), i, &value)) {
            if (o.action == ProgramOptions::Action::Usage)
                return o;
            if (value.isEmpty())
                return usage(QStringLiteral("--data-root のフォルダが空です"));
            o.dataRoot = value;
        } else if (valueOf(QStringLiteral("--data-folder"), i, &value)) {
            if (o.action == ProgramOptions::Action::Usage)
                return o;
            if (!isPlainFolderName(value))
                return usage(QStringLiteral("--data-folder の「%1」はフォルダの名前ではありません"
                                            "（空白・/・# を含まない一つの名前にしてください）")
                                 .arg(value));
            o.dataFolder = value;
        } else if (a == u"--") {
            break; // the rest is not ours
        } else if (const QString qt = qtOptionName(a); !qt.isEmpty() && isQtSwitch(qt)) {
            continue; // Qt's, read when the application starts
        } else if (!qt.isEmpty() && isQtOptionWithValue(qt)) {
            if (i + 1 >= arguments.size())
                return usage(QStringLiteral("%1 の後に値がありません").arg(a));
            ++i;
        } else if (isQtOptionWithJoinedValue(qt)) {
            continue;
        } else if (a.startsWith(u'-') && a != u"-") {
            return usage(QStringLiteral("%1 というオプションはありません").arg(a));
        }
    }
    return o;
}

QString programHelp()
{
    return QStringLiteral("使い方: tobrel [--data-root フォルダ] [--data-folder 名前]\n"
                          "\n"
                          "Tobrel: ２けたの数の２乗を時間を計って練習する、塾のドリルです。\n"
                          "\n"
                          "  --data-root フォルダ  塾のデータルート（共通データ.txt のあるフォルダ）を、\n"
                          "                        今回の起動だけ指定します。設定ファイルは読みません。\n"
                          "  --data-folder 名前    データルートの中のプログラムのデータフォルダの名前を、\n"
                          "                        今回の起動だけ指定します。\n"
                          "  --help                この説明を出して終わります。\n"
                          "  --version             版を出して終わります。\n"
                          "\n"
                          "データの場所:\n"
                          "  スイートのフォルダに置いたプログラムは、一つ上のフォルダの パスデータ.txt の\n"
                          "  1番目の項目をデータルートにします。/usr/bin に入れたプログラムは、\n"
                          "  tobrel-data setup が書く設定ファイル（/etc/tobrel.conf、または\n"
                          "  ~/.config/tobrel/tobrel.conf）を読みます。環境変数 TOBREL_DATA_ROOT は\n"
                          "  --data-root と同じです。データルートを --data-root か TOBREL_DATA_ROOT で指定すると、\n"
                          "  /usr/bin のプログラムのデータフォルダは tobrel（--data-folder で変えられます）、\n"
                          "  プログラムメニューはありません（スイートのフォルダでは、どちらもスイートのもの）。\n"
                          "  設定のしかた: sudo tobrel-data setup データルート\n");
}

QString programVersionLine(const QString &name)
{
    return QStringLiteral("%1 %2.%3.%4")
        .arg(name)
        .arg(TOBREL_VERSION_MAJOR)
        .arg(TOBREL_VERSION_MINOR)
        .arg(TOBREL_VERSION_PATCH);
}

} // namespace tobrel
