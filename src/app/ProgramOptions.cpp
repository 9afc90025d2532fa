#include "app/ProgramOptions.h"

namespace tobrel {

ProgramOptions parseProgramOptions(const QStringList &arguments)
{
    ProgramOptions o;
    auto usage = [&o](const QString &error) {
        o.action = ProgramOptions::Action::Usage;
        o.error = error;
        return o;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == u"--help" || a == u"-h") {
            o.action = ProgramOptions::Action::Help;
        } else if (a == u"--version") {
            if (o.action != ProgramOptions::Action::Help)
                o.action = ProgramOptions::Action::Version;
        } else if (a == u"--data-root" || a.startsWith(QStringLiteral("--data-root="))) {
            QString value;
            if (a.contains(u'=')) {
                value = a.mid(a.indexOf(u'=') + 1);
            } else {
                if (i + 1 >= arguments.size())
                    return usage(QStringLiteral("--data-root の後にフォルダがありません"));
                value = arguments[++i];
            }
            if (value.isEmpty())
                return usage(QStringLiteral("--data-root のフォルダが空です"));
            o.dataRoot = value;
        } else if (a == u"--") {
            break; // the rest is not ours
        } else if (a.startsWith(u'-') && a != u"-") {
            return usage(QStringLiteral("%1 というオプションはありません").arg(a));
        }
    }
    return o;
}

QString programHelp()
{
    return QStringLiteral(
        "使い方: tobrel [--data-root フォルダ]\n"
        "\n"
        "Tobrel: ２けたの数の２乗を時間を計って練習する、塾のドリルです。\n"
        "\n"
        "  --data-root フォルダ  塾のデータルート（共通データ.txt のあるフォルダ）を、\n"
        "                        今回の起動だけ指定します。\n"
        "  --help                この説明を出して終わります。\n"
        "  --version             版を出して終わります。\n"
        "\n"
        "データの場所:\n"
        "  スイートのフォルダに置いたプログラムは、一つ上のフォルダの パスデータ.txt の\n"
        "  1番目の項目をデータルートにします。/usr/bin に入れたプログラムは、\n"
        "  tobrel-data setup が書く設定ファイル（/etc/tobrel.conf、または\n"
        "  ~/.config/tobrel/tobrel.conf）を読みます。環境変数 TOBREL_DATA_ROOT も使えます。\n"
        "  設定のしかた: sudo tobrel-data setup データルート\n");
}

QString programVersionLine(const QString &name)
{
    return QStringLiteral("%1 %2.%3.%4").arg(name).arg(TOBREL_VERSION_MAJOR).arg(TOBREL_VERSION_MINOR).arg(TOBREL_VERSION_PATCH);
}

} // namespace tobrel
