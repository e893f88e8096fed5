#include "platform/widget_messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace kapitolo {

MessageAnswer WidgetMessages::show(MessageKind kind, const QString &text, MessageButtons buttons)
{
    return showTitled(kind, QGuiApplication::applicationDisplayName(), text, buttons);
}

MessageAnswer WidgetMessages::showTitled(MessageKind kind, const QString &title, const QString &text,
                                         MessageButtons buttons)
{
    QMessageBox box;
    switch (kind) {
    case MessageKind::Information: box.setIcon(QMessageBox::Information); break;
    case MessageKind::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageKind::Error: box.setIcon(QMessageBox::Critical); break;
    case MessageKind::Confirmation: box.setIcon(QMessageBox::Question); break;
    }
    box.setWindowTitle(title);
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setText(shown);
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    }
    if (auto *b = box.button(QMessageBox::Yes))
        b->setText(QStringLiteral("&Ja"));
    if (auto *b = box.button(QMessageBox::No))
        b->setText(QStringLiteral("&Nein"));
    if (auto *b = box.button(QMessageBox::Cancel))
        b->setText(QStringLiteral("Abbrechen"));
    box.adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        box.move(screen->availableGeometry().center() - box.rect().center());
    switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    default: return MessageAnswer::Ok;
    }
}

} // namespace kapitolo
