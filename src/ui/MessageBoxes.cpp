#include "ui/MessageBoxes.h"

#include <QMessageBox>

namespace tobrel {

void QtMessageBoxes::information(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

void QtMessageBoxes::critical(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::critical(parent, title, text, QMessageBox::Ok);
}

bool QtMessageBoxes::question(QWidget *parent, const QString &title, const QString &text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

} // namespace tobrel
