#pragma once

#include "document/topic_document.h"
#include "sharing/sheet_builder.h"
#include "sharing/sheet_picture.h"

#include <QDialog>
#include <QImage>
#include <QScrollArea>

#include <memory>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace kapitolo {

class Messages;
class RadioGroup;
class SaveFileDialog;
class TArbeitsblattDruckForm;

// The preview control ABImg: the sheet's picture scaled smoothly to its size.
class SheetImage : public QWidget
{
public:
    explicit SheetImage(QWidget *parent = nullptr);
    void setImage(const QImage &image);
    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
    QImage m_scaled;
};

// The scroll area with the white sheet panel: 40 pixels narrower than the area,
// centred 8 pixels below the top, its height following the sheet's proportions. The
// wheel scrolls; dragging the sheet with the left button scrolls by the mouse movement.
class SheetPreview : public QScrollArea
{
public:
    explicit SheetPreview(QWidget *parent = nullptr);
    void setImage(const QImage &image);
    SheetImage *sheetImage() const { return m_image; }
    QWidget *sheetPanel() const { return m_panel; }
    void scrollToTop();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutPanel();

    QWidget *m_content;
    QWidget *m_panel;
    SheetImage *m_image;
    bool m_dragging = false;
    int m_lastY = 0;
};

// "Arbeitsblatt": worksheet, solution sheet or overlay of the open document, with its
// preview, saved, copied and printed.
class TArbeitsblattForm : public QDialog
{
    Q_OBJECT
public:
    TArbeitsblattForm(Messages &messages, QWidget *parent = nullptr);
    ~TArbeitsblattForm() override;

    // Shows the window for the document modally (Ctrl+A, "Arbeitsblatt").
    int ShowSheet(const TopicDocument &document);
    // The same without the modal loop, for the window's tests.
    void showFor(const TopicDocument &document);

    // The options as the controls hold them.
    SheetOptions options() const;
    // Reads the controls and builds the sheet and its preview, with the busy cursor.
    void BuildSheet();
    const SheetPicture &sheet() const { return m_sheet; }
    int buildCount() const { return m_buildCount; }

    void DruckenClick();
    void SpeichernClick();
    void KopierenClick();

    // Tests answer the file dialog; the window shows the real one otherwise.
    void setSaveDialog(SaveFileDialog *dialog);
    SheetPreview *preview() const { return m_preview; }

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void TitelCheckClick();
    void prepare(const TopicDocument &document);

    Messages &m_messages;
    std::unique_ptr<SaveFileDialog> m_ownSaveDialog;
    SaveFileDialog *m_saveDialog;
    const TopicDocument *m_document = nullptr;
    SheetPicture m_sheet;
    int m_buildCount = 0;

    RadioGroup *m_modeRadio;
    QCheckBox *m_titelCheck;
    QLineEdit *m_titelEdit;
    QPlainTextEdit *m_aufgMemo;
    QCheckBox *m_nameBox;
    QCheckBox *m_klasseBox;
    QCheckBox *m_datumBox;
    QCheckBox *m_textvorgabeCheck;
    QWidget *m_typ2Pan;
    QSpinBox *m_abFrageEdit;
    QPushButton *m_closeButton;
    SheetPreview *m_preview;
    TArbeitsblattDruckForm *m_printForm;
};

} // namespace kapitolo
