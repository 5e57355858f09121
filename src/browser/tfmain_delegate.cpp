// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/tfmain_delegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPainter>
#include <QTextLayout>

namespace morvane {

namespace {

    // Space between the box and the first caption line, and around the caption's highlight.
    constexpr int kCaptionGap = 3;
    constexpr int kHighlightPad = 1;

} // namespace

QStringList captionLines(const QString &caption, const QFont &font, int width, int maxLines)
{
    QStringList lines;
    if (caption.isEmpty() || width <= 0 || maxLines <= 0)
        return lines;
    QTextLayout layout(caption, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            // The last line there is room for takes the rest of the caption, elided if needed.
            lines.append(QFontMetrics(font).elidedText(
                caption.mid(line.textStart()), Qt::ElideRight, width));
            break;
        }
        lines.append(caption.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();
    // A line ending in the blank it was broken at would be centred off by that blank.
    for (QString &l : lines) {
        while (l.size() > 1 && l.back().isSpace())
            l.chop(1);
    }
    return lines;
}

void ListItemDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString caption = opt.text;

    // The style draws the box (tinted when selected) and the focus frame; the caption is laid
    // out here, since the style only wraps at word boundaries and elides the rest. The item must
    // not look to the style as if it had a text at all: it would fill the highlight over a text
    // area of its own (a stray block under a one-line caption).
    opt.text.clear();
    opt.features &= ~QStyleOptionViewItem::HasDisplay;
    // The focus frame goes round the caption, drawn below; the style would put it round its
    // empty text area, a stray line under the caption.
    const QStyle::State state = opt.state;
    opt.state &= ~QStyle::State_HasFocus;
    const QWidget *widget = opt.widget;
    QStyle *style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QFontMetrics metrics(opt.font);
    const int lineHeight = metrics.height();
    const QRect item = opt.rect;
    const int top = item.top() + opt.decorationSize.height() + kCaptionGap;
    const int width = item.width() - 2 * (kHighlightPad + 1);
    const int maxLines = lineHeight > 0 ? (item.bottom() + 1 - top) / lineHeight : 0;
    const QStringList lines = captionLines(caption, opt.font, width, maxLines);
    if (lines.isEmpty())
        return;

    int textWidth = 0;
    for (const QString &l : lines)
        textWidth = qMax(textWidth, metrics.horizontalAdvance(l));
    const QRect text(item.left() + (item.width() - textWidth) / 2,
        top,
        textWidth,
        lineHeight * static_cast<int>(lines.size()));

    painter->save();
    const bool selected = (state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group = (opt.state & QStyle::State_Enabled) == 0
        ? QPalette::Disabled
        : ((opt.state & QStyle::State_Active) != 0 ? QPalette::Normal : QPalette::Inactive);
    const QRect captionRect = text.adjusted(-kHighlightPad, 0, kHighlightPad, 0);
    if (selected)
        painter->fillRect(captionRect, opt.palette.brush(group, QPalette::Highlight));
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRect lineRect(
            item.left(), top + static_cast<int>(i) * lineHeight, item.width(), lineHeight);
        painter->drawText(lineRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, lines[i]);
    }
    painter->restore();

    if ((state & QStyle::State_HasFocus) != 0) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.state = state | QStyle::State_Item;
        focus.rect = captionRect;
        focus.backgroundColor =
            opt.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
}

void ListItemDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const
{
    const QByteArray property = editor->metaObject()->userProperty().name();
    if (m_commit)
        m_commit(index, editor->property(property.constData()).toString());
}

void ListItemDelegate::updateEditorGeometry(
    QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const QRect item = option.rect;
    const int top = item.top() + option.decorationSize.height() + kCaptionGap;
    const int height = editor->sizeHint().height();
    editor->setGeometry(item.left(), top, item.width(), height);
    // Centred, as the caption it replaces.
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        line->setAlignment(Qt::AlignHCenter);
}

} // namespace morvane
