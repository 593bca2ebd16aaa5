// Widgets the standard set lacks: a captioned group, a date field that may be
// empty, the segmented status-bar progress bar, and painted glyphs.
#pragma once

#include <QAction>
#include <QDate>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QToolButton>
#include <QWidget>

#include <functional>

namespace Forms::Gui {

// A group with a bold underlined caption above its body (no frame).
class TCaptionGroup : public QWidget {
public:
    explicit TCaptionGroup(QWidget* parent = nullptr);
    void SetCaption(const QString& caption);
    QWidget* Body() const { return body_; }

private:
    QLabel* caption_;
    QWidget* body_;
};

// A one-line date field with a calendar drop-down; blank means no date.
class TDateField : public QWidget {
public:
    explicit TDateField(QWidget* parent = nullptr);
    QLineEdit* Edit() const { return edit_; }
    void SetReadOnly(bool readOnly);
    // The text the user left in the field (editing finished).
    std::function<void(const QString& text)> OnCommit;
    // A day chosen in the calendar.
    std::function<void(QDate date)> OnPick;

private:
    void ShowCalendar();
    QLineEdit* edit_;
    QAction* calendar_;
};

// A status bar text pane: sunken, text on one line.
class TStatusText : public QLabel {
public:
    explicit TStatusText(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The status bar's progress pane: a sunken bar of grey LED segments.
class TSegmentBar : public QProgressBar {
public:
    explicit TSegmentBar(QWidget* parent = nullptr);
    int Segments() const { return segments_; }
    void SetSegments(int segments);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int segments_ = 20;
};

// Small painted glyphs: the drop-down mark, the find and calendar buttons;
// and the logo.
QIcon DropGlyph();
QIcon FindGlyph();
QIcon CalendarGlyph();
QPixmap LogoPicture(int size);

} // namespace Forms::Gui
