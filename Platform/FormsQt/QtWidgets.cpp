#include "Platform/FormsQt/QtWidgets.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

namespace Forms::Gui {

TCaptionGroup::TCaptionGroup(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    caption_ = new QLabel(this);
    QFont font = caption_->font();
    font.setBold(true);
    font.setUnderline(true);
    caption_->setFont(font);
    body_ = new QWidget(this);
    layout->addWidget(caption_);
    layout->addWidget(body_);
}

void TCaptionGroup::SetCaption(const QString& caption)
{
    // Leading and trailing blanks only framed the caption in a border.
    caption_->setText(caption.trimmed());
    caption_->setVisible(!caption.trimmed().isEmpty());
}

TDateField::TDateField(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    edit_ = new QLineEdit(this);
    // The calendar opens from a drop-down mark inside the field.
    calendar_ = edit_->addAction(DropGlyph(), QLineEdit::TrailingPosition);
    calendar_->setToolTip(QStringLiteral("Calendar"));
    layout->addWidget(edit_);
    setFocusProxy(edit_);
    connect(edit_, &QLineEdit::editingFinished, this, [this] {
        if (OnCommit) OnCommit(edit_->text());
    });
    connect(calendar_, &QAction::triggered, this, [this] { ShowCalendar(); });
}

void TDateField::SetReadOnly(bool readOnly)
{
    edit_->setReadOnly(readOnly);
    calendar_->setEnabled(!readOnly);
}

void TDateField::ShowCalendar()
{
    // A popup: it goes away by itself when the user clicks elsewhere.
    auto* calendar = new QCalendarWidget(this);
    calendar->setWindowFlags(::Qt::Popup);
    calendar->setAttribute(::Qt::WA_DeleteOnClose);
    const QDate shown = QDate::fromString(edit_->text().trimmed(), ::Qt::ISODate);
    if (shown.isValid()) calendar->setSelectedDate(shown);
    connect(calendar, &QCalendarWidget::clicked, this, [this, calendar](QDate date) {
        calendar->close();
        if (OnPick) OnPick(date);
    });
    calendar->adjustSize();
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (at.y() + calendar->height() > area.bottom()) at.setY(mapToGlobal(QPoint(0, 0)).y() - calendar->height());
        at.setX(std::min(at.x(), area.right() - calendar->width()));
    }
    calendar->move(at);
    calendar->show();
}

TStatusText::TStatusText(QWidget* parent) : QLabel(parent)
{
    setContentsMargins(4, 0, 4, 0);
}

void TStatusText::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
}

TSegmentBar::TSegmentBar(QWidget* parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

void TSegmentBar::SetSegments(int segments)
{
    segments_ = std::max(1, segments);
    update();
}

void TSegmentBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
    const QRect area = rect().adjusted(3, 3, -3, -3);
    if (area.width() < segments_ || area.height() < 1) return;
    const int gap = 2;
    const double step = double(area.width() + gap) / segments_;
    const int lit = (value() - minimum()) * segments_ / std::max(1, maximum() - minimum());
    const QColor on = palette().color(QPalette::Disabled, QPalette::WindowText);
    const QColor off = palette().color(QPalette::Window).darker(108);
    for (int i = 0; i < segments_; ++i) {
        const int left = area.left() + int(i * step);
        const int right = area.left() + int((i + 1) * step) - gap;
        painter.fillRect(QRect(QPoint(left, area.top()), QPoint(right, area.bottom())), i < lit ? on : off);
    }
}

namespace {

QPixmap Canvas(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(::Qt::transparent);
    return pixmap;
}

} // namespace

QIcon DropGlyph()
{
    QPixmap pixmap = Canvas(12);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(::Qt::NoPen);
    painter.setBrush(QColor(60, 60, 60));
    painter.drawPolygon(QPolygonF({QPointF(2, 4), QPointF(10, 4), QPointF(6, 9)}));
    return QIcon(pixmap);
}

QIcon FindGlyph()
{
    QPixmap pixmap = Canvas(16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1.6));
    painter.drawEllipse(QRectF(2, 2, 8, 8));
    painter.setPen(QPen(QColor(40, 40, 40), 2.4, ::Qt::SolidLine, ::Qt::RoundCap));
    painter.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    return QIcon(pixmap);
}

QIcon CalendarGlyph()
{
    QPixmap pixmap = Canvas(16);
    QPainter painter(&pixmap);
    painter.setPen(QColor(40, 40, 40));
    painter.setBrush(QColor(255, 255, 255));
    painter.drawRect(1, 2, 13, 12);
    painter.fillRect(2, 3, 12, 3, QColor(190, 40, 40));
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            painter.fillRect(3 + column * 3, 7 + row * 2, 2, 1, QColor(60, 60, 60));
    return QIcon(pixmap);
}

QPixmap LogoPicture(int size)
{
    // A mast with radio waves on a rounded tile.
    QPixmap pixmap = Canvas(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size / 72.0;
    QLinearGradient tile(0, 0, 0, size);
    tile.setColorAt(0, QColor(70, 110, 170));
    tile.setColorAt(1, QColor(30, 60, 110));
    painter.setPen(::Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(2 * s, 2 * s, 68 * s, 68 * s), 10 * s, 10 * s);
    painter.setPen(QPen(QColor(235, 240, 250), 3 * s, ::Qt::SolidLine, ::Qt::RoundCap));
    const QPointF top(36 * s, 26 * s);
    painter.drawLine(top, QPointF(24 * s, 62 * s));
    painter.drawLine(top, QPointF(48 * s, 62 * s));
    painter.drawLine(QPointF(29 * s, 46 * s), QPointF(43 * s, 46 * s));
    painter.setBrush(QColor(235, 240, 250));
    painter.drawEllipse(top, 3 * s, 3 * s);
    painter.setBrush(::Qt::NoBrush);
    for (int ring = 1; ring <= 2; ++ring) {
        const double r = (8 + ring * 7) * s;
        const QRectF box(top.x() - r, top.y() - r, 2 * r, 2 * r);
        painter.drawArc(box, -40 * 16, 80 * 16);
        painter.drawArc(box, 140 * 16, 80 * 16);
    }
    return pixmap;
}

} // namespace Forms::Gui
