#include "app/about_box.h"

#include "app/app_texts.h"
#include "platform/services.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kapitolo {

namespace {

const char kTerms[] =
    "%programmtitel%\n"
    "\n"
    "Ostrabel Lernsoftware\n"
    "Am Schulberg 4\n"
    "01067 Dresden\n"
    "www.ostrabel.de\n"
    "\n"
    "Nutzungsbedingungen\n"
    "\n"
    "1. %programmtitel% darf in Schulen, in anderen Bildungseinrichtungen und zu Hause für das "
    "Lernen und Üben frei genutzt werden. Die Weitergabe an Schülerinnen und Schüler ist ausdrücklich "
    "erwünscht.\n"
    "\n"
    "2. Das Programm darf unverändert kopiert und auf beliebig vielen Rechnern installiert werden. "
    "Ein Verkauf oder die Weitergabe gegen Entgelt ist nicht gestattet.\n"
    "\n"
    "3. Die mitgelieferten Themen dürfen im Unterricht verwendet, ausgedruckt und an die Lerngruppe "
    "verteilt werden. Eigene Themen gehören ihren Autorinnen und Autoren.\n"
    "\n"
    "4. %programmtitel% speichert Protokolle und Bestenlisten nur in den Ordnern, die in den Optionen "
    "eingestellt sind. Es sendet keine Daten ins Internet.\n"
    "\n"
    "5. Das Programm wurde sorgfältig geprüft. Für Schäden, die aus seiner Nutzung entstehen, wird "
    "keine Haftung übernommen, soweit das Gesetz dies zulässt.\n";

} // namespace

QString TInfoBox::termsText()
{
    // Replace left to right without scanning what was put in.
    const QString source = QString::fromUtf8(kTerms);
    const QString pattern = QStringLiteral("%programmtitel%");
    QString result;
    qsizetype from = 0;
    for (qsizetype at = source.indexOf(pattern); at >= 0; at = source.indexOf(pattern, from)) {
        result += source.mid(from, at - from) + programTitle();
        from = at + pattern.size();
    }
    return result + source.mid(from);
}

TInfoBox::TInfoBox(ShellOpener &shell, QWidget *parent)
    : QDialog(parent)
    , m_shell(shell)
{
    setWindowTitle(QStringLiteral("Info"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowIcon(QApplication::windowIcon());
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    m_titelLabel = new QLabel(this);
    QFont big = m_titelLabel->font();
    big.setPointSize(16);
    big.setBold(true);
    m_titelLabel->setFont(big);
    m_versLab = new QLabel(this);
    auto *link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(makerWebAddress()), this);
    link->setObjectName(QStringLiteral("Label1"));
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(link, &QLabel::linkActivated, this, [this](const QString &) { m_shell.open(makerWebAddress()); });
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setPlainText(termsText());
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(m_titelLabel);
    layout->addWidget(m_versLab);
    layout->addWidget(link);
    layout->addWidget(m_memo, 1);
    layout->addWidget(buttons);
    resize(460, 420);
}

void TInfoBox::showEvent(QShowEvent *event)
{
    m_titelLabel->setText(programTitle());
    m_versLab->setText(programVersionText());
    QDialog::showEvent(event);
}

} // namespace kapitolo
