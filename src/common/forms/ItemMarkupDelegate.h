#pragma once
// The one delegate that draws the item markup of every HTML list and tree of the workstation
// (the device pickers, the navigator, the browser, folder security, the copy and disk
// managers). Items keep their markup text byte for byte as their display text; rules read the
// plain text with ListItemPlainText. The markup understood:
//   <IMG SRC="name" align="bottom">  a picture: "idx:N" from DirImageList2, else PictureContainer2
//   <B> </B>                          bold
//   <FONT SIZE="n"> </FONT>           point size n (nested fonts restore the outer size)
//   <BR>                              a new line (</BR> is ignored)
//   <IND X="n">                       go on at n pixels from the item's left edge
//   &amp; &lt; &gt; &quot; &nbsp;    the characters they stand for
// Tag and attribute names are compared without case; other tags are skipped; a "<" without
// its ">" is drawn as text. Checkable items get their check box before the markup.

#include <QFont>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <vector>

namespace duvo {

// One item's markup, parsed once and laid out for a base font.
class ItemMarkup {
public:
    struct Run {
        QString text;        // text run (empty for a picture)
        QPixmap picture;     // picture run
        bool bold = false;
        int pointSize = 0;   // 0: the base font's size
        int x = -1;          // >= 0: the run starts at this x (an <IND>)
    };
    using Line = std::vector<Run>;

    static ItemMarkup parse(const QString &markup);
    const std::vector<Line> &lines() const { return FLines; }

    // The size the markup takes with this base font.
    QSize size(const QFont &base) const;
    // Draws the markup into rect (top-left aligned, lines stacked) in the given colour.
    void draw(QPainter *painter, const QRect &rect, const QFont &base, const QColor &color) const;

private:
    std::vector<Line> FLines;
};

class ItemMarkupDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ItemMarkupDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // A fixed item height (the lists' "item height"); 0: the markup's own height.
    void setItemHeight(int height) { FItemHeight = height; }
    int itemHeight() const { return FItemHeight; }

private:
    const ItemMarkup &parsed(const QString &markup) const;
    QSize markupSize(const QString &markup, const QFont &font) const;

    int FItemHeight = 0;
    mutable QString FLastText;
    mutable ItemMarkup FLast;
    // The last size asked for, kept apart from painting: a list of like items is laid out
    // by its first item, again after every change of the list.
    mutable QString FSizeText;
    mutable QFont FSizeFont;
    mutable QSize FSize;
};

} // namespace duvo
