#include "ui/KeyMoments.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tobrel {

namespace {

// a - b for times that wrap around at 2^32 ms (the window system's clocks do, after
// about 49 days).
qint32 msApart(quint64 a, quint64 b) { return static_cast<qint32>(static_cast<quint32>(a) - static_cast<quint32>(b)); }

// The mark is a time of a clock that runs in the key events' own clock (the tests').
class ClockKeyMoments final : public KeyMoments {
public:
    ClockKeyMoments(std::function<quint64()> clock, bool judges = true) : m_clock(std::move(clock)), m_judges(judges) {}
    void markShown() override { m_mark = m_clock(); }
    bool pressedBeforeShown(const QKeyEvent &event) override
    {
        return m_judges && event.timestamp() != 0 && msApart(event.timestamp(), m_mark) < 0;
    }

private:
    std::function<quint64()> m_clock;
    bool m_judges;
    quint64 m_mark = 0;
};

// The mark is a change of a property of a window of our own: the X server puts the
// notice of it into the stream of events at the moment it makes the change, with its
// own time. Every key event before the notice in the stream was pressed before the
// mark; keys are judged when they are delivered, which may be after the notice was
// read, so they are compared by their time, and the few pressed in the very
// millisecond of the mark by whether they came before it in the stream.
class X11KeyMoments final : public KeyMoments, public QAbstractNativeEventFilter {
public:
    explicit X11KeyMoments(xcb_connection_t *connection) : m_connection(connection)
    {
        const xcb_setup_t *setup = xcb_get_setup(m_connection);
        const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
        m_window = xcb_generate_id(m_connection);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        // Never mapped, never seen: it is there to be marked.
        xcb_create_window(m_connection, 0, m_window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        static const char name[] = "_TOBREL_SCREEN_SHOWN";
        const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(m_connection, 0, sizeof name - 1, name);
        if (xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(m_connection, cookie, nullptr)) {
            m_atom = reply->atom;
            free(reply);
        }
        xcb_flush(m_connection);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~X11KeyMoments() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
        xcb_destroy_window(m_connection, m_window);
        xcb_flush(m_connection);
    }
    bool usable() const { return m_atom != XCB_ATOM_NONE && !xcb_connection_has_error(m_connection); }

    void markShown() override
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, m_atom, XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(m_connection);
        m_awaiting = true;
        m_sinceMarked.start();
        m_beforeMark.clear();
    }

    bool pressedBeforeShown(const QKeyEvent &event) override
    {
        const quint64 t = event.timestamp();
        if (t == 0)
            return false;
        if (m_awaiting) {
            // The notice is on its way, so this key came before it. Should it never
            // come (the connection lost), keys are not held for ever.
            if (m_sinceMarked.elapsed() < kGiveUpMs)
                return true;
            m_awaiting = false;
            m_markTime = static_cast<quint32>(t);
            m_beforeMark.clear();
            return false;
        }
        const qint32 apart = msApart(t, m_markTime);
        if (apart != 0)
            return apart < 0;
        const Press p{static_cast<quint32>(t), event.nativeScanCode()};
        return std::find(m_beforeMark.begin(), m_beforeMark.end(), p) != m_beforeMark.end();
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        switch (event->response_type & ~0x80) {
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE:
            if (m_awaiting && m_beforeMark.size() < kKeptPresses) {
                const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
                m_beforeMark.push_back({key->time, key->detail});
            }
            return false;
        case XCB_PROPERTY_NOTIFY: {
            const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
            if (notify->window != m_window || notify->atom != m_atom)
                return false;
            if (m_awaiting) {
                m_awaiting = false;
                m_markTime = notify->time;
                // Only the presses of the mark's own millisecond need telling apart.
                std::erase_if(m_beforeMark, [&](const Press &p) { return p.time != m_markTime; });
            }
            return true; // ours alone
        }
        default:
            return false;
        }
    }

private:
    struct Press {
        quint32 time = 0;
        quint32 keycode = 0;
        bool operator==(const Press &) const = default;
    };
    static constexpr qint64 kGiveUpMs = 3000;
    static constexpr size_t kKeptPresses = 256;

    xcb_connection_t *m_connection;
    xcb_window_t m_window = 0;
    xcb_atom_t m_atom = XCB_ATOM_NONE;
    bool m_awaiting = false;
    quint32 m_markTime = 0;
    QElapsedTimer m_sinceMarked;
    std::vector<Press> m_beforeMark;
};

} // namespace

std::unique_ptr<KeyMoments> KeyMoments::forPlatform(std::function<quint64()> clock)
{
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        if (xcb_connection_t *connection = x11->connection()) {
            auto moments = std::make_unique<X11KeyMoments>(connection);
            if (moments->usable())
                return moments;
        }
    }
    if (clock)
        return std::make_unique<ClockKeyMoments>(std::move(clock));
    // A window system whose key times run in a clock we cannot read: keys are not told
    // apart by their time, only held while a screen is being brought up.
    return std::make_unique<ClockKeyMoments>([] { return quint64(0); }, false);
}

} // namespace tobrel
