#include "editor/new_topic_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kapitolo {

TNeuesThemaForm::TNeuesThemaForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TNeuesThemaForm"));
    setWindowTitle(QStringLiteral("Neues Thema"));
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral(" Was für ein Thema soll entstehen? "), this);
    auto *column = new QVBoxLayout(group);
    const QString captions[3] = {
        QStringLiteral("&Bildbeschriftung: Beschriftungen auf einer Karte oder einem Bild"),
        QStringLiteral("&Lückentext: ein Text, in dessen Lücken Wörter gezogen werden"),
        QStringLiteral("&Einzelfragen: Fragen mit je einer Antwort"),
    };
    const char *names[3] = {"BildbeschriftungRadio", "LueckentextRadio", "EinzelfragenRadio"};
    for (int i = 0; i < 3; ++i) {
        m_kinds[i] = new QRadioButton(captions[i], group);
        m_kinds[i]->setObjectName(QLatin1String(names[i]));
        column->addWidget(m_kinds[i]);
    }
    m_kinds[0]->setChecked(true);
    layout->addWidget(group);
    auto *note = new QLabel(QStringLiteral("Für eine Bildbeschriftung wählen Sie anschließend das Bild (PNG oder JPEG)."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Weiter"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

qint32 TNeuesThemaForm::kind() const
{
    for (int i = 0; i < 3; ++i)
        if (m_kinds[i]->isChecked())
            return i;
    return 0;
}

} // namespace kapitolo
