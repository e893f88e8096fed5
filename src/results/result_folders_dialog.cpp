#include "results/result_folders_dialog.h"

#include "platform/messages.h"
#include "platform/services.h"
#include "results/result_folders.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kapitolo {

namespace {

QLabel *makeNote(const QString &text, QWidget *parent)
{
    auto *note = new QLabel(text, parent);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return note;
}

} // namespace

TBestListVerzForm::TBestListVerzForm(Messages &messages, FileDialogs &fileDialogs, QWidget *parent)
    : QDialog(parent)
    , m_messages(messages)
    , m_fileDialogs(fileDialogs)
{
    setObjectName(QStringLiteral("TBestListVerzForm"));
    setWindowTitle(QStringLiteral("Ordner für Protokolle und Bestenlisten"));

    auto *protocolGroup = new QGroupBox(QStringLiteral(" Ordner für Protokolle "), this);
    ProtVerzEdit1 = new QLineEdit(protocolGroup);
    ProtVerzEdit1->setObjectName(QStringLiteral("ProtVerzEdit1"));
    ProtVerzAuswBtn = new QPushButton(QStringLiteral("Durchsuchen..."), protocolGroup);
    ProtVerzAuswBtn->setObjectName(QStringLiteral("ProtVerzAuswBtn"));
    ProtVerzAuswBtn->setAutoDefault(false);
    auto *protocolLayout = new QGridLayout(protocolGroup);
    protocolLayout->addWidget(ProtVerzEdit1, 0, 0);
    protocolLayout->addWidget(ProtVerzAuswBtn, 0, 1);
    protocolLayout->addWidget(makeNote(QStringLiteral("In diesem Ordner werden die Protokolle automatisch "
                                                      "gespeichert. Dazu \nsind für diesen Order "
                                                      "Schreibzugriffsrechte erforderlich."),
                                       protocolGroup),
                              1, 0, 1, 2);

    auto *bestListGroup = new QGroupBox(QStringLiteral(" Ordner für Bestenlisten "), this);
    BestListVerzEdit1 = new QLineEdit(bestListGroup);
    BestListVerzEdit1->setObjectName(QStringLiteral("BestListVerzEdit1"));
    BestListVerzAuswBtn = new QPushButton(QStringLiteral("Durchsuchen..."), bestListGroup);
    BestListVerzAuswBtn->setObjectName(QStringLiteral("BestListVerzAuswBtn"));
    BestListVerzAuswBtn->setAutoDefault(false);
    auto *bestListLayout = new QGridLayout(bestListGroup);
    bestListLayout->addWidget(BestListVerzEdit1, 0, 0);
    bestListLayout->addWidget(BestListVerzAuswBtn, 0, 1);
    bestListLayout->addWidget(
        makeNote(QStringLiteral("In diesem Ordner werden die Bestenlisten gepeichert. Wenn hierfür ein "
                                "Netzwerk-Ordner \nangegeben wird, so wird eine gemeinsame Liste für alle Rechner "
                                "geführt, die darauf zugreifen, \nansonsten nur für den lokalen Rechner. In jedem "
                                "Fall wird für den Ordner Lese- und \nSchreibberechtigung benötigt."),
                 bestListGroup),
        1, 0, 1, 2);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    AbbrBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    AbbrBtn->setObjectName(QStringLiteral("AbbrBtn"));
    AbbrBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &TBestListVerzForm::OKBtnClick);
    connect(AbbrBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ProtVerzAuswBtn, &QPushButton::clicked, this, &TBestListVerzForm::ProtVerzAuswBtnClick);
    connect(BestListVerzAuswBtn, &QPushButton::clicked, this, &TBestListVerzForm::BestListVerzAuswBtnClick);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(AbbrBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(protocolGroup);
    layout->addWidget(bestListGroup);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TBestListVerzForm::setFolders(const QString &protocolFolder, const QString &bestListFolder)
{
    m_protocolFolder = protocolFolder;
    m_bestListFolder = bestListFolder;
    ProtVerzEdit1->setText(protocolFolder);
    BestListVerzEdit1->setText(bestListFolder);
}

void TBestListVerzForm::browse(QLineEdit *edit, const QString &title)
{
    const QString chosen = m_fileDialogs.folderName(title, edit->text());
    if (!chosen.isEmpty())
        edit->setText(chosen);
    raise();
    activateWindow();
}

void TBestListVerzForm::ProtVerzAuswBtnClick()
{
    browse(ProtVerzEdit1, QStringLiteral("Ordner für Protokolle festlegen"));
}

void TBestListVerzForm::BestListVerzAuswBtnClick()
{
    browse(BestListVerzEdit1, QStringLiteral("Ordner für Bestenlisten festlegen"));
}

void TBestListVerzForm::OKBtnClick()
{
    const ResultFolderCheck check = checkResultFolders(ProtVerzEdit1->text(), BestListVerzEdit1->text());
    ProtVerzEdit1->setText(check.protocolText);
    BestListVerzEdit1->setText(check.bestListText);
    if (!check.ok()) {
        m_messages.error(check.errorText());
        (check.invalid == ResultFolderCheck::Protocol ? ProtVerzEdit1 : BestListVerzEdit1)->setFocus();
        return;
    }
    m_protocolFolder = check.protocolText;
    m_bestListFolder = check.bestListText;
    accept();
}

} // namespace kapitolo
