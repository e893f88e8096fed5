#include "network/communication_dialog.h"

#include "network/exchange_files.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/services.h"
#include "web/web_participation.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kapitolo {

TNetzKomForm::TNetzKomForm(Messages &messages, FileDialogs &fileDialogs, QWidget *parent)
    : QDialog(parent)
    , m_messages(messages)
    , m_fileDialogs(fileDialogs)
{
    setObjectName(QStringLiteral("TNetzKomForm"));
    setWindowTitle(QStringLiteral("Netzwerk-Kommunikation"));

    auto *folderLabel = new QLabel(QStringLiteral("Kommunikations&ordner:"), this);
    OrdnerEdit = new QLineEdit(this);
    OrdnerEdit->setObjectName(QStringLiteral("OrdnerEdit"));
    OrdnerEdit->setMinimumWidth(340);
    folderLabel->setBuddy(OrdnerEdit);
    DurchsuchenBtn = new QPushButton(QStringLiteral("&Durchsuchen..."), this);
    DurchsuchenBtn->setObjectName(QStringLiteral("DurchsuchenBtn"));
    DurchsuchenBtn->setAutoDefault(false);
    auto *channelLabel = new QLabel(QStringLiteral("Kommunikations&kanal:"), this);
    KanalEdit = new QLineEdit(this);
    KanalEdit->setObjectName(QStringLiteral("KanalEdit"));
    KanalEdit->setMaxLength(8);
    KanalEdit->setMaximumWidth(120);
    channelLabel->setBuddy(KanalEdit);
    auto *channelNote = new QLabel(QStringLiteral("(1 bis 8 Zeichen)"), this);

    auto *note = new QLabel(QStringLiteral("Alle Rechner der Klasse müssen denselben gemeinsamen Ordner und denselben "
                                           "Kanal verwenden, zum Beispiel den Austauschordner der Klasse auf dem "
                                           "Schulserver. Mit verschiedenen Kanälen können mehrere Netzwerk-Übungen "
                                           "denselben Ordner nutzen."),
                            this);
    note->setWordWrap(true);
    GesperrtLab = new QLabel(QStringLiteral("Während einer Netzwerk-Übung auf diesem Rechner können Ordner und Kanal "
                                            "nicht geändert werden."),
                             this);
    GesperrtLab->setObjectName(QStringLiteral("GesperrtLab"));
    GesperrtLab->setWordWrap(true);
    GesperrtLab->hide();

    // Browser participation: pupils without Kapitolo join the teacher's exercise with a
    // browser, on this port of the teacher's computer.
    auto *web = new QGroupBox(QStringLiteral(" Teilnahme im Browser "), this);
    WebCheck = new QCheckBox(QStringLiteral("Teilnahme im &Browser erlauben"), web);
    WebCheck->setObjectName(QStringLiteral("WebCheck"));
    auto *portLabel = new QLabel(QStringLiteral("&Port:"), web);
    WebPortEdit = new QLineEdit(web);
    WebPortEdit->setObjectName(QStringLiteral("WebPortEdit"));
    WebPortEdit->setMaxLength(5);
    WebPortEdit->setMaximumWidth(80);
    portLabel->setBuddy(WebPortEdit);
    auto *codeLabel = new QLabel(QStringLiteral("&Fester Code:"), web);
    WebCodeEdit = new QLineEdit(web);
    WebCodeEdit->setObjectName(QStringLiteral("WebCodeEdit"));
    WebCodeEdit->setMaxLength(8);
    WebCodeEdit->setMaximumWidth(120);
    codeLabel->setBuddy(WebCodeEdit);
    auto *codeNote = new QLabel(QStringLiteral("(4 bis 8 Ziffern; leer: ein neuer Code für jede Übung)"), web);
    auto *deviceLabel = new QLabel(QStringLiteral("Quizze je &Gerät:"), web);
    WebJeGeraetSpin = new QSpinBox(web);
    WebJeGeraetSpin->setObjectName(QStringLiteral("WebJeGeraetSpin"));
    WebJeGeraetSpin->setRange(0, 100);
    WebJeGeraetSpin->setSpecialValueText(QStringLiteral("beliebig"));
    WebJeGeraetSpin->setMaximumWidth(120);
    deviceLabel->setBuddy(WebJeGeraetSpin);
    auto *deviceNote = new QLabel(QStringLiteral("(laufende Quizze von einer Geräteadresse; 0 = beliebig viele, für "
                                                 "Rechner, die sich eine Adresse teilen)"),
                                  web);
    deviceNote->setWordWrap(true);
    auto *webGrid = new QGridLayout(web);
    webGrid->addWidget(WebCheck, 0, 0, 1, 3);
    webGrid->addWidget(portLabel, 1, 0);
    webGrid->addWidget(WebPortEdit, 1, 1);
    webGrid->addWidget(codeLabel, 2, 0);
    webGrid->addWidget(WebCodeEdit, 2, 1);
    webGrid->addWidget(codeNote, 2, 2);
    webGrid->addWidget(deviceLabel, 3, 0);
    webGrid->addWidget(WebJeGeraetSpin, 3, 1);
    webGrid->addWidget(deviceNote, 3, 2);
    webGrid->setColumnStretch(2, 1);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    AbbrBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    AbbrBtn->setObjectName(QStringLiteral("AbbrBtn"));
    AbbrBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &TNetzKomForm::OKBtnClick);
    connect(AbbrBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(DurchsuchenBtn, &QPushButton::clicked, this, &TNetzKomForm::DurchsuchenBtnClick);

    auto *grid = new QGridLayout;
    grid->addWidget(folderLabel, 0, 0);
    grid->addWidget(OrdnerEdit, 0, 1);
    grid->addWidget(DurchsuchenBtn, 0, 2);
    grid->addWidget(channelLabel, 1, 0);
    auto *channelRow = new QHBoxLayout;
    channelRow->addWidget(KanalEdit);
    channelRow->addWidget(channelNote);
    channelRow->addStretch();
    grid->addLayout(channelRow, 1, 1, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(AbbrBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addWidget(web);
    layout->addWidget(GesperrtLab);
    layout->addLayout(buttons);
    setMinimumWidth(560);
}

void TNetzKomForm::setValues(const QString &folder, const QString &channel, bool locked)
{
    m_folder = folder;
    m_channel = channel;
    m_locked = locked;
    OrdnerEdit->setText(QDir::toNativeSeparators(folder));
    KanalEdit->setText(channel);
    OrdnerEdit->setReadOnly(locked);
    KanalEdit->setReadOnly(locked);
    DurchsuchenBtn->setEnabled(!locked);
    GesperrtLab->setVisible(locked);
    WebCheck->setEnabled(!locked);
    WebPortEdit->setReadOnly(locked);
    WebCodeEdit->setReadOnly(locked);
    WebJeGeraetSpin->setReadOnly(locked);
}

void TNetzKomForm::setWebValues(bool enabled, int port, const QString &code, int sessionsPerDevice)
{
    m_webEnabled = enabled;
    m_webPort = port;
    m_webCode = code;
    m_webSessionsPerDevice = qBound(0, sessionsPerDevice, 100);
    WebCheck->setChecked(enabled);
    WebPortEdit->setText(QString::number(port));
    WebCodeEdit->setText(code);
    WebJeGeraetSpin->setValue(m_webSessionsPerDevice);
}

void TNetzKomForm::DurchsuchenBtnClick()
{
    const QString chosen =
        m_fileDialogs.folderName(QStringLiteral("Kommunikationsordner festlegen"), OrdnerEdit->text());
    if (!chosen.isEmpty())
        OrdnerEdit->setText(QDir::toNativeSeparators(chosen));
    raise();
    activateWindow();
}

void TNetzKomForm::OKBtnClick()
{
    if (m_locked) {
        reject();
        return;
    }
    const QString folder = QDir::fromNativeSeparators(OrdnerEdit->text().trimmed());
    const QString channel = KanalEdit->text();
    const QString problem = communicationSettingsProblem(folder, channel);
    if (!problem.isEmpty()) {
        m_messages.error(problem);
        (isValidChannel(channel) ? OrdnerEdit : KanalEdit)->setFocus();
        return;
    }
    const QString webProblem = webSettingsProblem(WebPortEdit->text(), WebCodeEdit->text().trimmed());
    if (!webProblem.isEmpty()) {
        m_messages.error(webProblem);
        (webSettingsProblem(WebPortEdit->text(), QString()).isEmpty() ? WebCodeEdit : WebPortEdit)->setFocus();
        return;
    }
    m_folder = withTrailingSeparator(folder);
    m_channel = channel;
    m_webEnabled = WebCheck->isChecked();
    m_webPort = WebPortEdit->text().trimmed().toInt();
    m_webCode = WebCodeEdit->text().trimmed();
    m_webSessionsPerDevice = WebJeGeraetSpin->value();
    accept();
}

} // namespace kapitolo
