#include "sharing/mail_form.h"

#include "quiz/radio_group.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kapitolo {

namespace {

// The picture row's icons: a topic document and the viewer's installer package.
QPixmap documentIcon()
{
    QPixmap pixmap(32, 40);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(81, 81, 78), 1.5));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{2, 2}, {22, 2}, {30, 10}, {30, 38}, {2, 38}}));
    p.drawPolyline(QPolygonF({{22, 2}, {22, 10}, {30, 10}}));
    p.setPen(QPen(QColor(0, 95, 253), 2));
    for (int y = 16; y <= 32; y += 5)
        p.drawLine(7, y, 25, y);
    return pixmap;
}

QPixmap installerIcon()
{
    QPixmap pixmap(40, 40);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(81, 81, 78), 1.5));
    p.setBrush(QColor(236, 208, 150));
    p.drawPolygon(QPolygonF({{4, 14}, {36, 14}, {36, 38}, {4, 38}}));
    p.setBrush(QColor(246, 228, 180));
    p.drawPolygon(QPolygonF({{4, 14}, {12, 4}, {28, 4}, {36, 14}}));
    p.setPen(QPen(QColor(41, 152, 74), 3));
    p.drawLine(20, 18, 20, 32);
    p.drawLine(14, 26, 20, 32);
    p.drawLine(26, 26, 20, 32);
    return pixmap;
}

} // namespace

TMailForm::TMailForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TMailForm"));
    setWindowTitle(QStringLiteral("Dokument per E-Mail versenden"));
    auto *column = new QVBoxLayout(this);
    m_mailGroup = new RadioGroup(QStringLiteral(" Versandoptionen "),
                                 {QStringLiteral(" nur &Dokument versenden "),
                                  QStringLiteral(" Dokument und TSR-&Basissystem zusammen versenden ")},
                                 0, this);
    m_mailGroup->setObjectName(QStringLiteral("MailGroup"));
    column->addWidget(m_mailGroup);
    auto *note = new QLabel(QStringLiteral("(der Empfänger benötigt das TSR-Basissystem oder das TSR-Autorensystem, um "
                                           "die Datei öffnen zu können)"),
                            this);
    note->setWordWrap(true);
    column->addWidget(note);

    auto *pictures = new QHBoxLayout;
    pictures->addStretch(1);
    auto *document = new QLabel(this);
    document->setPixmap(documentIcon());
    pictures->addWidget(document);
    pictures->addWidget(new QLabel(QStringLiteral(" + "), this));
    auto *installer = new QLabel(this);
    installer->setPixmap(installerIcon());
    pictures->addWidget(installer);
    pictures->addStretch(1);
    column->addLayout(pictures);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("AbbrechenBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);

    setFixedSize(sizeHint().expandedTo(QSize(420, 0)));
}

int TMailForm::askSendOption()
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    return exec() == QDialog::Accepted ? m_mailGroup->itemIndex() : -1;
}

} // namespace kapitolo
