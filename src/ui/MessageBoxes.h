// Message boxes behind an interface, so that tests can see what would have been shown.
#pragma once
#include <QString>
#include <QStringList>

class QWidget;

namespace tobrel {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void information(QWidget *parent, const QString &title, const QString &text) = 0;
    virtual void critical(QWidget *parent, const QString &title, const QString &text) = 0;
    // Yes/No question; true for Yes.
    virtual bool question(QWidget *parent, const QString &title, const QString &text) = 0;
    // OK/Cancel question; true for OK.
    virtual bool okCancel(QWidget *parent, const QString &title, const QString &text) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
public:
    void information(QWidget *parent, const QString &title, const QString &text) override;
    void critical(QWidget *parent, const QString &title, const QString &text) override;
    bool question(QWidget *parent, const QString &title, const QString &text) override;
    bool okCancel(QWidget *parent, const QString &title, const QString &text) override;
};

// Records the boxes instead of showing them; questions get the prepared answer.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    void information(QWidget *, const QString &title, const QString &text) override { shown << title + u'|' + text; }
    void critical(QWidget *, const QString &title, const QString &text) override { shown << title + u'|' + text; }
    bool question(QWidget *, const QString &title, const QString &text) override
    {
        shown << title + u'|' + text;
        return answer;
    }
    bool okCancel(QWidget *, const QString &title, const QString &text) override
    {
        shown << title + u'|' + text;
        return answer;
    }
    QStringList shown;
    bool answer = true;
};

} // namespace tobrel
