#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kapitolo {

class FileDialogs;
class Messages;

// "Netzwerk-Kommunikation": the communication folder and the channel, checked on OK.
// While an exercise runs on this computer they are shown, not changed.
class TNetzKomForm : public QDialog
{
    Q_OBJECT
public:
    TNetzKomForm(Messages &messages, FileDialogs &fileDialogs, QWidget *parent = nullptr);

    // Before exec(): the current settings, and whether they may be changed now.
    void setValues(const QString &folder, const QString &channel, bool locked);
    // After an accepted exec(): the checked values, the folder ending with a separator.
    QString folder() const { return m_folder; }
    QString channel() const { return m_channel; }
    // Browser participation: whether it is allowed, the port, the fixed code and the
    // running quizzes per device address (0: any number).
    void setWebValues(bool enabled, int port, const QString &code, int sessionsPerDevice);
    bool webEnabled() const { return m_webEnabled; }
    int webPort() const { return m_webPort; }
    QString webCode() const { return m_webCode; }
    int webSessionsPerDevice() const { return m_webSessionsPerDevice; }

    void DurchsuchenBtnClick();
    void OKBtnClick();

    QLineEdit *OrdnerEdit = nullptr;
    QLineEdit *KanalEdit = nullptr;
    QPushButton *DurchsuchenBtn = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *AbbrBtn = nullptr;
    QLabel *GesperrtLab = nullptr;
    QCheckBox *WebCheck = nullptr;
    QLineEdit *WebPortEdit = nullptr;
    QLineEdit *WebCodeEdit = nullptr;
    QSpinBox *WebJeGeraetSpin = nullptr;

private:
    Messages &m_messages;
    FileDialogs &m_fileDialogs;
    QString m_folder;
    QString m_channel;
    bool m_locked = false;
    bool m_webEnabled = false;
    int m_webPort = 8080;
    QString m_webCode;
    int m_webSessionsPerDevice = 1;
};

} // namespace kapitolo
