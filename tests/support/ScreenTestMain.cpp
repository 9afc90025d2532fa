// Screen tests run in one QApplication on the offscreen platform, on a display of the
// size TOBREL_TEST_DISPLAY names ("1920x1080"; 1024 x 768, the size the forms were
// designed for, when it is not set).
#include "ui/FormStyle.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QByteArray offscreenPlatform(const QString &folder)
{
    int width = 1024, height = 768;
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$")).match(qEnvironmentVariable("TOBREL_TEST_DISPLAY"));
    if (m.hasMatch()) {
        width = m.captured(1).toInt();
        height = m.captured(2).toInt();
    }
    const QString path = folder + QStringLiteral("/display.json");
    QFile config(path);
    if (!config.open(QIODevice::WriteOnly))
        return "offscreen";
    config.write(QStringLiteral(R"({"windowFrameMargins": false, "screens": [{"name": "display", "x": 0, "y": 0,
 "width": %1, "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                     .arg(width)
                     .arg(height)
                     .toUtf8());
    return "offscreen:configfile=" + QFile::encodeName(path);
}

} // namespace

int main(int argc, char **argv)
{
    const QString folder = QDir::tempPath() + QStringLiteral("/tobrel-screen-tests-%1").arg(getpid());
    QDir().mkpath(folder);
    qputenv("QT_QPA_PLATFORM", offscreenPlatform(folder));
    // A start that finds its data keeps the user's folders ready (runs kept back, the
    // settings): here, never in the real home of whoever runs the tests.
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder + QStringLiteral("/state")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder + QStringLiteral("/config")));
    int status = 0;
    {
        QApplication app(argc, argv);
        QApplication::setStyle(new tobrel::FormStyle);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    QDir(folder).removeRecursively();
    return status;
}
