#pragma once

#include "app/app_texts.h"
#include "app/window_look.h"
#include "quiz/quiz_board.h"
#include "view/card_image_widget.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>

namespace kapitolo {

// The card area: the image control that shows the card, and over it the start page,
// 50 pixels inside each edge.
class CardArea : public QWidget
{
public:
    CardArea(QuizBoard *board, QWidget *parent)
        : QWidget(parent)
        , m_board(board)
    {
        setObjectName(QStringLiteral("LernKartPan"));
        setAutoFillBackground(true);
        m_image = new CardImageWidget(this);
        m_image->setObjectName(QStringLiteral("LernKartPicImg"));
        m_marker = new PositionMarkerFrame(m_image);
        m_marker->setObjectName(QStringLiteral("MoveAnker"));
        m_marker->hide();
        m_board->setParent(this);
        m_board->hide();
        m_start = new QFrame(this);
        m_start->setObjectName(QStringLiteral("StartInfoPan"));
        m_start->setAutoFillBackground(true);
        m_start->setFrameShape(QFrame::NoFrame);
        auto *layout = new QVBoxLayout(m_start);
        layout->setContentsMargins(20, 20, 20, 20);
        m_picture = new QLabel(m_start);
        m_picture->setObjectName(QStringLiteral("QuizStartImg"));
        m_picture->setAlignment(Qt::AlignCenter);
        m_picture->setCursor(Qt::PointingHandCursor);
        m_picture->setToolTip(makerWebAddress());
        m_url = new QLabel(m_start);
        m_url->setObjectName(QStringLiteral("InternetUrlLab"));
        m_url->setAlignment(Qt::AlignCenter);
        // Mouse only: a focused link label would swallow window keys such as Alt+Backspace.
        m_url->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        m_url->setFocusPolicy(Qt::NoFocus);
        m_maker = new QLabel(m_start);
        m_maker->setObjectName(QStringLiteral("MakerUrlLab"));
        m_maker->setAlignment(Qt::AlignCenter);
        m_maker->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        m_maker->setFocusPolicy(Qt::NoFocus);
        layout->addStretch(1);
        layout->addWidget(m_picture, 0, Qt::AlignCenter);
        layout->addSpacing(12);
        layout->addWidget(m_url);
        layout->addWidget(m_maker);
        layout->addStretch(1);
    }

    // The card colour behind the card and the start page; the start page's links in grey.
    void setColours(const QColor &cardColor)
    {
        QPalette cardPalette = palette();
        cardPalette.setColor(QPalette::Window, cardColor);
        setPalette(cardPalette);
        QPalette startPalette = m_start->palette();
        startPalette.setColor(QPalette::Window, cardColor);
        startPalette.setColor(QPalette::WindowText, QColor(111, 111, 106));
        m_start->setPalette(startPalette);
        m_url->setText(linkText(programWebAddress(), QColor(111, 111, 106)));
        m_maker->setText(linkText(makerWebAddress(), QColor(111, 111, 106)));
    }

    CardImageWidget *image() const { return m_image; }
    PositionMarkerFrame *marker() const { return m_marker; }
    QFrame *startPanel() const { return m_start; }
    QLabel *picture() const { return m_picture; }
    QLabel *urlLabel() const { return m_url; }
    QLabel *makerLabel() const { return m_maker; }
    // The quiz panel's place: 9 pixels in from the left, 8 from the top.
    QRect boardRect() const { return QRect(9, 8, qMax(1, width() - 17), qMax(1, height() - 16)); }
    std::function<void()> resized;

protected:
    void resizeEvent(QResizeEvent *) override
    {
        m_image->setGeometry(rect());
        m_board->setGeometry(boardRect());
        m_start->setGeometry(rect().adjusted(50, 50, -50, -50));
        if (resized)
            resized();
    }

private:
    QuizBoard *m_board;
    CardImageWidget *m_image;
    PositionMarkerFrame *m_marker;
    QFrame *m_start;
    QLabel *m_picture;
    QLabel *m_url;
    QLabel *m_maker;
};

} // namespace kapitolo
