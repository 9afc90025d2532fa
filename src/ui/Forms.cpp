#include "ui/Forms.h"

#include "ui/Ui.h"

#include <QTimer>

#include <algorithm>

namespace tobrel {

Screen::Screen(AppContext &context, const QString &formName) : ctx(context)
{
    setObjectName(formName);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void Forms::registerForm(const QString &name, Factory factory)
{
    m_factories[name] = std::move(factory);
}

Screen *Forms::loaded(const QString &name) const
{
    for (const auto &[n, w] : m_loaded)
        if (n == name && w)
            return w;
    return nullptr;
}

Screen *Forms::load(const QString &name)
{
    if (Screen *s = loaded(name))
        return s;
    auto it = m_factories.find(name);
    if (it == m_factories.end())
        return nullptr;
    m_loaded.erase(std::remove_if(m_loaded.begin(), m_loaded.end(),
                                  [&](const auto &p) { return p.first == name || !p.second; }),
                   m_loaded.end());
    Screen *s = it->second();
    m_loaded.emplace_back(name, s);
    return s;
}

Screen *Forms::show(const QString &name)
{
    Screen *s = load(name);
    if (!s)
        return nullptr;
    s->show();
    s->raise();
    s->activateWindow();
    QPointer<Screen> guard(s);
    QTimer::singleShot(0, s, [guard] {
        if (guard && guard->isVisible())
            guard->Form_Activate();
    });
    return s;
}

void Forms::unload(const QString &name)
{
    for (auto it = m_loaded.begin(); it != m_loaded.end(); ++it) {
        if (it->first == name) {
            QPointer<Screen> w = it->second;
            m_loaded.erase(it);
            if (w) {
                w->hide();
                w->deleteLater();
            }
            return;
        }
    }
}

void Forms::closeAll()
{
    while (!m_loaded.empty()) {
        QPointer<Screen> w = m_loaded.back().second;
        m_loaded.pop_back();
        if (w) {
            w->hide();
            w->deleteLater();
        }
    }
}

} // namespace tobrel
