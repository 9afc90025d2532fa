#include "ui/PaintProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>

#include <unistd.h>

namespace tobrel {
namespace {

constexpr QEvent::Type kPaintCheck = static_cast<QEvent::Type>(QEvent::User + 401);
constexpr QEvent::Type kWidgetPainted = static_cast<QEvent::Type>(QEvent::User + 402);

struct PaintCheck final : QEvent {
    PaintCheck(QWidget *s, QString n) : QEvent(kPaintCheck), screen(s), name(std::move(n)) {}
    QPointer<QWidget> screen;
    QString name;
};

// A watched widget has been painted with this text; told once the paints of the same
// round have reached the display.
struct WidgetPainted final : QEvent {
    explicit WidgetPainted(QString painted) : QEvent(kWidgetPainted), text(std::move(painted)) {}
    QString text;
};

} // namespace

double processAgeMs()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The program's name comes second, in parentheses, and may hold spaces and
    // parentheses itself: the fields are counted from after its last ')'.
    const QByteArray line = stat.readAll();
    const qsizetype nameEnd = line.lastIndexOf(')');
    if (nameEnd < 0)
        return -1;
    const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
    constexpr qsizetype kStartTime = 22 - 3; // the 22nd field; the state, the 3rd, comes first here
    if (fields.size() <= kStartTime)
        return -1;
    bool read = false;
    const qulonglong startTicks = fields[kStartTime].toULongLong(&read);
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    if (!read || ticksPerSecond <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    const double nowMs = static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    return std::max(0.0, nowMs - static_cast<double>(startTicks) * 1e3 / static_cast<double>(ticksPerSecond));
}

std::unique_ptr<PaintProbe> PaintProbe::fromEnvironment(std::function<void(int)> exit)
{
    const QString exitAfter = qEnvironmentVariable("TOBREL_EXIT_WHEN_PAINTED");
    const bool log = qEnvironmentVariableIntValue("TOBREL_PAINT_LOG") != 0;
    if (exitAfter.isEmpty() && !log)
        return nullptr;
    return std::unique_ptr<PaintProbe>(
        new PaintProbe(exitAfter, log, qEnvironmentVariable("TOBREL_PAINT_WIDGET"), std::move(exit)));
}

PaintProbe::PaintProbe(QString exitAfter, bool log, QString widgetName, std::function<void(int)> exit)
    : m_exitAfter(std::move(exitAfter)), m_log(log), m_widgetName(std::move(widgetName)), m_exit(std::move(exit))
{
    m_sinceStart.start();
    // Made once Qt is up: what the process did before is counted in.
    m_startedMsBefore = std::max(0.0, processAgeMs());
    QCoreApplication::instance()->installEventFilter(this);
}

void PaintProbe::activated(QWidget *screen, const QString &formName) { checkLater(screen, formName); }

void PaintProbe::checkLater(QWidget *screen, const QString &formName)
{
    // Paints asked for are posted events, and the window system's events come before
    // posted ones; an event of the lowest priority comes after all of them.
    QCoreApplication::postEvent(this, new PaintCheck(screen, formName), std::numeric_limits<int>::min());
}

void PaintProbe::soundPlayed(double deviceMs)
{
    if (!m_log)
        return;
    std::fprintf(stderr, "sound %.1f\n", deviceMs);
    std::fflush(stderr);
}

void PaintProbe::customEvent(QEvent *event)
{
    if (event->type() == kWidgetPainted) {
        painted(m_widgetName, static_cast<WidgetPainted *>(event)->text);
        return;
    }
    if (event->type() != kPaintCheck)
        return;
    auto *check = static_cast<PaintCheck *>(event);
    QWidget *screen = check->screen;
    if (!screen || !screen->isVisible())
        return;
    const QWindow *window = screen->window()->windowHandle();
    if (!window || !window->isExposed()) {
        // Not on the display yet: the expose paints it; look again after that.
        m_waitingForExpose = screen;
        m_waitingName = check->name;
        return;
    }
    painted(check->name);
}

bool PaintProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        // A key is seen once by every widget it passes through; the first sight counts.
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (m_lastKeyAt < 0 || key->timestamp() != m_lastKeyStamp) {
            m_lastKeyStamp = key->timestamp();
            m_lastKeyAt = m_sinceStart.nsecsElapsed();
        }
    } else if (event->type() == QEvent::Paint && m_log && !m_widgetName.isEmpty() &&
               watched->objectName() == m_widgetName) {
        QCoreApplication::postEvent(this, new WidgetPainted(watched->property("text").toString()),
                                    std::numeric_limits<int>::min());
    } else if (event->type() == QEvent::Expose && m_waitingForExpose &&
               watched == m_waitingForExpose->window()->windowHandle()) {
        QWidget *screen = m_waitingForExpose;
        m_waitingForExpose = nullptr;
        checkLater(screen, m_waitingName);
    }
    return false;
}

void PaintProbe::painted(const QString &formName, const QString &text)
{
    if (m_log) {
        const qint64 now = m_sinceStart.nsecsElapsed();
        const double sinceKey = m_lastKeyAt < 0 ? -1.0 : static_cast<double>(now - m_lastKeyAt) / 1e6;
        std::fprintf(stderr, "painted %s %.1f %.1f%s%s\n", formName.toUtf8().constData(),
                     m_startedMsBefore + static_cast<double>(now) / 1e6, sinceKey, text.isEmpty() ? "" : " ",
                     text.toUtf8().constData());
        std::fflush(stderr);
    }
    if (formName == m_exitAfter && m_exit)
        m_exit(0);
}

} // namespace tobrel
