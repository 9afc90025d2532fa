#include "app/SessionBus.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tobrel;

TEST(SessionBus, OnlyAFruitlessSearchIsCutShort)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A runtime folder with the bus socket in it, one without, and a PATH folder with a
    // dbus-launch in it.
    const QString withBus = dir.filePath(QStringLiteral("run-bus"));
    const QString withoutBus = dir.filePath(QStringLiteral("run-empty"));
    const QString launcher = dir.filePath(QStringLiteral("bin"));
    for (const QString &folder : {withBus, withoutBus, launcher})
        ASSERT_TRUE(QDir().mkpath(folder));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(withBus + QStringLiteral("/bus"));
    ASSERT_LT(static_cast<size_t>(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), static_cast<size_t>(socketPath.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    QFile script(launcher + QStringLiteral("/dbus-launch"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    struct Case {
        const char *what;
        QString address, runtime, path;
        bool noBus;
    };
    const QString emptyBin = withoutBus; // a PATH folder without dbus-launch
    const Case cases[] = {
        {"an address given", QStringLiteral("unix:path=/run/user/1000/bus"), withoutBus, emptyBin, false},
        {"an empty address is none", QStringLiteral(""), withoutBus, emptyBin, true},
        {"the bus socket in the runtime folder", {}, withBus, emptyBin, false},
        {"dbus-launch on the PATH", {}, withoutBus, launcher, false},
        {"nothing anywhere", {}, withoutBus, emptyBin, true},
        {"no runtime folder and no PATH", {}, {}, {}, true},
    };
    for (const Case &c : cases) {
        QProcessEnvironment environment;
        if (!c.address.isNull())
            environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), c.address);
        if (!c.runtime.isEmpty())
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), c.runtime);
        if (!c.path.isEmpty())
            environment.insert(QStringLiteral("PATH"), c.path);
        EXPECT_EQ(noSessionBusToFind(environment), c.noBus) << c.what;
    }
    ::close(fd);
}
