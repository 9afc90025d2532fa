#include "ui/Accessible.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>

#include <memory>

namespace tobrel {

void connectChoice(QButtonGroup *group, QObject *context, std::function<void(int)> handler)
{
    // A click toggles the option first and then reports the click: the handler runs
    // at the toggle, and at the click only when the option was already chosen before
    // it was pressed (nothing toggled).
    auto chosenBeforePress = std::make_shared<bool>(false);
    QObject::connect(group, &QButtonGroup::idPressed, context,
                     [group, chosenBeforePress](int id) { *chosenBeforePress = group->button(id)->isChecked(); });
    QObject::connect(group, &QButtonGroup::idToggled, context, [handler](int id, bool checked) {
        if (checked)
            handler(id);
    });
    QObject::connect(group, &QButtonGroup::idClicked, context, [handler, chosenBeforePress](int id) {
        if (*chosenBeforePress)
            handler(id);
        *chosenBeforePress = false;
    });
}

namespace {

const char kNamedCombo[] = "tobrelAccessibleName";

// A combo box read as its caption, with the item shown as its value. On Linux Qt reads
// a combo box's shown item as its name; everything else is as Qt's own: the popup
// list and the edit line as children, and the actions that open and close the list.
class NamedComboBox final : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return combo()->property(kNamedCombo).toString();
        if (t == QAccessible::Value)
            return combo()->currentText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return combo()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(combo()->view());
        if (index == 1 && combo()->isEditable())
            return QAccessible::queryAccessibleInterface(combo()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *c) const override
    {
        if (!c)
            return -1;
        if (c->object() == combo()->view())
            return 0;
        if (combo()->isEditable() && c->object() == combo()->lineEdit())
            return 1;
        return -1;
    }
    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (!combo()->isEnabled())
            return;
        if (action == showMenuAction() || action == pressAction()) {
            if (combo()->view()->isVisible())
                combo()->hidePopup();
            else
                combo()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface *namedComboFactory(const QString &, QObject *object)
{
    auto *combo = qobject_cast<QComboBox *>(object);
    if (combo && combo->property(kNamedCombo).isValid())
        return new NamedComboBox(combo);
    return nullptr;
}

} // namespace

void nameComboBox(QComboBox *combo, const QString &name)
{
    static const bool installed = [] {
        QAccessible::installFactory(namedComboFactory);
        return true;
    }();
    Q_UNUSED(installed);
    combo->setProperty(kNamedCombo, name);
    combo->setAccessibleName(name);
    if (QLineEdit *edit = combo->lineEdit())
        edit->setAccessibleName(name);
}

void announce(QWidget *screen, const QString &text)
{
    screen->setAccessibleDescription(text);
    // Told also when the words are the same as last time: it is new news.
    QAccessibleEvent changed(screen, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

} // namespace tobrel
