#include "common/forms/ItemMarkupDelegate.h"
#include "common/forms/DuvoPictures.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

namespace duvo {
namespace {

QString decodeEntities(QString text)
{
    if (!text.contains(u'&'))
        return text;
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

// The value of an attribute in a tag's inside text ("IMG SRC=\"x\" align=bottom").
QString attribute(QStringView tag, QLatin1String name)
{
    qsizetype at = 0;
    while (at < tag.size()) {
        const qsizetype found = tag.indexOf(name, at, Qt::CaseInsensitive);
        if (found < 0)
            return {};
        qsizetype p = found + name.size();
        const bool startsWord = found > 0 && tag.at(found - 1).isSpace();
        while (p < tag.size() && tag.at(p).isSpace())
            ++p;
        if (!startsWord || p >= tag.size() || tag.at(p) != u'=') {
            at = found + 1;
            continue;
        }
        ++p;
        while (p < tag.size() && tag.at(p).isSpace())
            ++p;
        if (p < tag.size() && (tag.at(p) == u'"' || tag.at(p) == u'\'')) {
            const QChar quote = tag.at(p);
            const qsizetype end = tag.indexOf(quote, p + 1);
            return tag.mid(p + 1, (end < 0 ? tag.size() : end) - p - 1).toString();
        }
        qsizetype end = p;
        while (end < tag.size() && !tag.at(end).isSpace())
            ++end;
        return tag.mid(p, end - p).toString();
    }
    return {};
}

QFont runFont(const QFont &base, const ItemMarkup::Run &run)
{
    QFont f = base;
    if (run.bold)
        f.setBold(true);
    if (run.pointSize > 0)
        f.setPointSize(run.pointSize);
    return f;
}

// Width and height of one line; ascent is the largest text ascent on it.
struct LineMetrics {
    int width = 0, height = 0, descent = 0;
};

LineMetrics measure(const ItemMarkup::Line &line, const QFont &base)
{
    LineMetrics m;
    int x = 0, ascent = 0;
    for (const ItemMarkup::Run &run : line) {
        if (run.x >= 0)
            x = run.x;
        if (!run.picture.isNull()) {
            const QSize s = run.picture.deviceIndependentSize().toSize();
            x += s.width();
            m.height = std::max(m.height, s.height());
        } else if (!run.text.isEmpty()) {
            const QFontMetrics fm(runFont(base, run));
            x += fm.horizontalAdvance(run.text);
            ascent = std::max(ascent, fm.ascent());
            m.descent = std::max(m.descent, fm.descent());
        }
        m.width = std::max(m.width, x);
    }
    if (line.empty())
        ascent = QFontMetrics(base).ascent(), m.descent = QFontMetrics(base).descent();
    m.height = std::max(m.height, ascent + m.descent);
    return m;
}

} // namespace

ItemMarkup ItemMarkup::parse(const QString &markup)
{
    ItemMarkup out;
    out.FLines.emplace_back();
    bool bold = false;
    std::vector<int> sizes;  // the <FONT SIZE> stack
    int pendingX = -1;
    QString text;

    const auto flush = [&] {
        if (text.isEmpty())
            return;
        Run run;
        run.text = decodeEntities(text);
        run.bold = bold;
        run.pointSize = sizes.empty() ? 0 : sizes.back();
        run.x = std::exchange(pendingX, -1);
        out.FLines.back().push_back(std::move(run));
        text.clear();
    };

    const qsizetype n = markup.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = markup.at(i);
        if (c != u'<') {
            text += c;
            ++i;
            continue;
        }
        const qsizetype close = markup.indexOf(u'>', i + 1);
        if (close < 0) {  // no tag after all: the rest is text
            text += QStringView(markup).mid(i);
            break;
        }
        const QStringView tag = QStringView(markup).mid(i + 1, close - i - 1).trimmed();
        i = close + 1;
        qsizetype nameEnd = 0;
        while (nameEnd < tag.size() && !tag.at(nameEnd).isSpace())
            ++nameEnd;
        const QString name = tag.left(nameEnd).toString().toUpper();
        if (name == QLatin1String("B") || name == QLatin1String("/B") || name == QLatin1String("FONT") ||
            name == QLatin1String("/FONT") || name == QLatin1String("BR") || name == QLatin1String("IND") ||
            name == QLatin1String("IMG"))
            flush();
        if (name == QLatin1String("B")) {
            bold = true;
        } else if (name == QLatin1String("/B")) {
            bold = false;
        } else if (name == QLatin1String("FONT")) {
            bool ok = false;
            const int size = attribute(tag, QLatin1String("SIZE")).toInt(&ok);
            sizes.push_back(ok && size > 0 && size <= 72 ? size : (sizes.empty() ? 0 : sizes.back()));
        } else if (name == QLatin1String("/FONT")) {
            if (!sizes.empty())
                sizes.pop_back();
        } else if (name == QLatin1String("BR")) {
            out.FLines.emplace_back();
            pendingX = -1;
        } else if (name == QLatin1String("IND")) {
            bool ok = false;
            const int x = attribute(tag, QLatin1String("X")).toInt(&ok);
            if (ok && x >= 0 && x <= 4096)
                pendingX = x;
        } else if (name == QLatin1String("IMG")) {
            Run run;
            run.picture = MarkupPicture(attribute(tag, QLatin1String("SRC")));
            run.x = std::exchange(pendingX, -1);
            if (!run.picture.isNull())
                out.FLines.back().push_back(std::move(run));
        }
    }
    flush();
    if (pendingX >= 0) {  // an indent with nothing after it still takes its room
        Run run;
        run.x = pendingX;
        out.FLines.back().push_back(std::move(run));
    }
    while (out.FLines.size() > 1 && out.FLines.back().empty())
        out.FLines.pop_back();
    return out;
}

QSize ItemMarkup::size(const QFont &base) const
{
    int width = 0, height = 0;
    for (const Line &line : FLines) {
        const LineMetrics m = measure(line, base);
        width = std::max(width, m.width);
        height += m.height;
    }
    return {width, height};
}

void ItemMarkup::draw(QPainter *painter, const QRect &rect, const QFont &base, const QColor &color) const
{
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    painter->setPen(color);
    int top = rect.top();
    // A single line sits in the middle of the item; several lines stack from the top.
    if (FLines.size() == 1) {
        const int h = measure(FLines.front(), base).height;
        top = rect.top() + std::max(0, (rect.height() - h) / 2);
    }
    for (const Line &line : FLines) {
        const LineMetrics m = measure(line, base);
        const int bottom = top + m.height;
        const int baseline = bottom - m.descent;
        int x = rect.left();
        for (const Run &run : line) {
            if (run.x >= 0)
                x = rect.left() + run.x;
            if (!run.picture.isNull()) {
                const QSize s = run.picture.deviceIndependentSize().toSize();
                painter->drawPixmap(QRect(QPoint(x, bottom - s.height()), s), run.picture);
                x += s.width();
            } else if (!run.text.isEmpty()) {
                const QFont f = runFont(base, run);
                painter->setFont(f);
                painter->drawText(QPoint(x, baseline), run.text);
                x += QFontMetrics(f).horizontalAdvance(run.text);
            }
        }
        top = bottom;
        if (top > rect.bottom())
            break;
    }
    painter->restore();
}

// ---- The delegate -------------------------------------------------------------------------

ItemMarkupDelegate::ItemMarkupDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

const ItemMarkup &ItemMarkupDelegate::parsed(const QString &markup) const
{
    // Painting asks for the same item several times in a row (size, then paint).
    if (markup != FLastText || FLastText.isNull()) {
        FLast = ItemMarkup::parse(markup);
        FLastText = markup;
        if (FLastText.isNull())
            FLastText = QLatin1String("");
    }
    return FLast;
}

QSize ItemMarkupDelegate::markupSize(const QString &markup, const QFont &font) const
{
    if (markup != FSizeText || FSizeText.isNull() || font != FSizeFont) {
        FSize = parsed(markup).size(font);
        FSizeText = markup.isNull() ? QLatin1String("") : markup;
        FSizeFont = font;
    }
    return FSize;
}

void ItemMarkupDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString markup = opt.text;
    opt.text.clear();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    QRect area = opt.rect.adjusted(2, 0, -2, 0);
    if (opt.features & QStyleOptionViewItem::HasCheckIndicator) {
        const QRect check = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, widget);
        area.setLeft(check.right() + 5);
    }
    const QColor color = opt.palette.color(opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
                                           opt.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                              : QPalette::Text);
    parsed(markup).draw(painter, area, opt.font, color);
}

QSize ItemMarkupDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QSize markup = markupSize(opt.text, opt.font);
    int extra = 4;
    if (opt.features & QStyleOptionViewItem::HasCheckIndicator) {
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        extra += style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, widget) + 8;
    }
    const int height = FItemHeight > 0 ? FItemHeight : markup.height() + 4;
    return {markup.width() + extra, height};
}

} // namespace duvo
