// Draws the workstation's list and tree pictures at build time and writes them with the
// resource list that rcc compiles into the program:
//   PictureContainer2/<name>.png  the named pictures of the pickers and folder lists
//   DirImageList2/<n>.png         the numbered pictures of the trees and glow buttons
// The artwork is plain shapes, so no font (and no GUI application) is needed.
//   draw_pictures <output folder>

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Painter = std::function<void(QPainter &, int size)>;

const QColor Outline(60, 60, 60);

void folder(QPainter &p, int s, QColor body)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(body.darker(160), u));
    p.setBrush(body.darker(115));
    p.drawRoundedRect(QRectF(1.5 * u, 3 * u, 6 * u, 3 * u), u, u);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5 * u, 4.5 * u, 13 * u, 9.5 * u), u, u);
}

void padlock(QPainter &p, int s)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(QColor(90, 90, 90), 1.3 * u));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9.3 * u, 6.8 * u, 4.4 * u, 5 * u), 0, 180 * 16);
    p.setPen(QPen(QColor(120, 80, 0), 0.8 * u));
    p.setBrush(QColor(240, 190, 40));
    p.drawRect(QRectF(8.5 * u, 9.3 * u, 6 * u, 5.2 * u));
    p.setBrush(QColor(90, 60, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(11.5 * u, 11.6 * u), 0.9 * u, 0.9 * u);
}

void document(QPainter &p, int s)
{
    const qreal u = s / 16.0;
    QPainterPath page;
    page.moveTo(3 * u, 1.5 * u);
    page.lineTo(10 * u, 1.5 * u);
    page.lineTo(13 * u, 4.5 * u);
    page.lineTo(13 * u, 14.5 * u);
    page.lineTo(3 * u, 14.5 * u);
    page.closeSubpath();
    p.setPen(QPen(Outline, 0.8 * u));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(210, 210, 210));
    QPainterPath corner;
    corner.moveTo(10 * u, 1.5 * u);
    corner.lineTo(10 * u, 4.5 * u);
    corner.lineTo(13 * u, 4.5 * u);
    corner.closeSubpath();
    p.drawPath(corner);
    p.setPen(QPen(QColor(70, 110, 190), 0.9 * u));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(5 * u, (7 + 2 * i) * u), QPointF(11 * u, (7 + 2 * i) * u));
}

// A thermal cycler seen from the front: lid, body, block of wells and a status light.
void instrument(QPainter &p, int s, QColor body, int wellColumns, int wellRows, QColor light)
{
    const qreal u = s / 24.0;
    p.setPen(QPen(Outline, 0.9 * u));
    p.setBrush(body.lighter(130));
    p.drawRoundedRect(QRectF(2 * u, 2 * u, 20 * u, 6 * u), 2 * u, 2 * u);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5 * u, 7 * u, 21 * u, 15 * u), 2 * u, 2 * u);
    p.setBrush(QColor(230, 232, 236));
    const QRectF block(4 * u, 9.5 * u, 12 * u, 10 * u);
    p.drawRect(block);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 100, 120));
    const qreal dx = block.width() / wellColumns, dy = block.height() / wellRows;
    const qreal r = std::min(dx, dy) * 0.32;
    for (int c = 0; c < wellColumns; ++c)
        for (int w = 0; w < wellRows; ++w)
            p.drawEllipse(QPointF(block.left() + dx * (c + 0.5), block.top() + dy * (w + 0.5)), r, r);
    p.setBrush(light);
    p.setPen(QPen(light.darker(150), 0.6 * u));
    p.drawEllipse(QPointF(19 * u, 12 * u), 1.6 * u, 1.6 * u);
}

void arrow(QPainter &p, int s, QColor c, bool right)
{
    const qreal u = s / 16.0;
    QPainterPath a;
    const qreal x0 = right ? 2 * u : 14 * u, x1 = right ? 9 * u : 7 * u, x2 = right ? 14 * u : 2 * u;
    a.moveTo(x0, 6 * u);
    a.lineTo(x1, 6 * u);
    a.lineTo(x1, 3 * u);
    a.lineTo(x2, 8 * u);
    a.lineTo(x1, 13 * u);
    a.lineTo(x1, 10 * u);
    a.lineTo(x0, 10 * u);
    a.closeSubpath();
    p.setPen(QPen(c.darker(150), 0.8 * u));
    p.setBrush(c);
    p.drawPath(a);
}

void magnifier(QPainter &p, int s)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(QColor(80, 80, 80), 2 * u, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10 * u, 10 * u), QPointF(14 * u, 14 * u));
    p.setPen(QPen(QColor(50, 90, 160), 1.5 * u));
    p.setBrush(QColor(200, 225, 255));
    p.drawEllipse(QPointF(6.5 * u, 6.5 * u), 4.5 * u, 4.5 * u);
}

void key(QPainter &p, int s)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(QColor(120, 80, 0), 0.8 * u));
    p.setBrush(QColor(240, 190, 40));
    p.drawEllipse(QPointF(5 * u, 8 * u), 3.5 * u, 3.5 * u);
    p.drawRect(QRectF(8 * u, 7 * u, 6.5 * u, 2 * u));
    p.drawRect(QRectF(12 * u, 9 * u, 1.5 * u, 2.5 * u));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(4.3 * u, 8 * u), 1.1 * u, 1.1 * u);
}

void cross(QPainter &p, int s, QColor c)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(c, 2.5 * u, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4 * u, 4 * u), QPointF(12 * u, 12 * u));
    p.drawLine(QPointF(12 * u, 4 * u), QPointF(4 * u, 12 * u));
}

void tick(QPainter &p, int s)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(QColor(40, 150, 60), 2.5 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath t;
    t.moveTo(3 * u, 8.5 * u);
    t.lineTo(6.5 * u, 12 * u);
    t.lineTo(13 * u, 4 * u);
    p.drawPath(t);
}

void plus(QPainter &p, int s, QColor c)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(c.darker(150), 0.8 * u));
    p.setBrush(c);
    p.drawEllipse(QPointF(11.5 * u, 11.5 * u), 4 * u, 4 * u);
    p.setPen(QPen(Qt::white, 1.6 * u));
    p.drawLine(QPointF(9.3 * u, 11.5 * u), QPointF(13.7 * u, 11.5 * u));
    p.drawLine(QPointF(11.5 * u, 9.3 * u), QPointF(11.5 * u, 13.7 * u));
}

void disk(QPainter &p, int s)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(Outline, 0.8 * u));
    p.setBrush(QColor(70, 100, 170));
    p.drawRoundedRect(QRectF(1.5 * u, 1.5 * u, 13 * u, 13 * u), u, u);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4 * u, 1.5 * u, 8 * u, 5 * u));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(4 * u, 9 * u, 8 * u, 5.5 * u));
}

void refresh(QPainter &p, int s)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(QColor(40, 130, 60), 2 * u, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3 * u, 3 * u, 10 * u, 10 * u), 30 * 16, 280 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 130, 60));
    QPainterPath head;
    head.moveTo(11 * u, 1.5 * u);
    head.lineTo(14.5 * u, 6 * u);
    head.lineTo(9.5 * u, 6.5 * u);
    head.closeSubpath();
    p.drawPath(head);
}

void network(QPainter &p, int s)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(QColor(80, 80, 80), 1.2 * u));
    p.drawLine(QPointF(8 * u, 5 * u), QPointF(8 * u, 9 * u));
    p.drawLine(QPointF(3 * u, 9 * u), QPointF(13 * u, 9 * u));
    p.drawLine(QPointF(3 * u, 9 * u), QPointF(3 * u, 11 * u));
    p.drawLine(QPointF(13 * u, 9 * u), QPointF(13 * u, 11 * u));
    p.setPen(QPen(Outline, 0.8 * u));
    p.setBrush(QColor(90, 140, 210));
    p.drawRect(QRectF(5 * u, 1 * u, 6 * u, 4 * u));
    p.drawRect(QRectF(0.5 * u, 11 * u, 5 * u, 4 * u));
    p.drawRect(QRectF(10.5 * u, 11 * u, 5 * u, 4 * u));
}

void copyPages(QPainter &p, int s)
{
    const qreal u = s / 16.0;
    p.setPen(QPen(Outline, 0.8 * u));
    p.setBrush(QColor(220, 220, 220));
    p.drawRect(QRectF(1.5 * u, 1.5 * u, 8 * u, 10 * u));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5 * u, 4.5 * u, 8 * u, 10 * u));
}

bool save(const QString &root, const QString &relative, int size, const Painter &draw, QStringList &files)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, size);
    }
    const QString path = root + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "draw_pictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    files << relative;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures <output folder>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    QStringList files;
    bool ok = true;

    const QColor folderYellow(246, 205, 92);
    const QColor blue(70, 130, 200), green(60, 160, 90), grey(150, 150, 150);
    // The named pictures.
    const std::vector<std::pair<QString, std::pair<int, Painter>>> named = {
        {"DuvoQ24", {24, [&](QPainter &p, int s) { instrument(p, s, grey, 3, 2, QColor(220, 60, 50)); }}},
        {"Duvo2424", {24, [&](QPainter &p, int s) { instrument(p, s, blue, 3, 2, QColor(70, 200, 90)); }}},
        {"Duvo9624", {24, [&](QPainter &p, int s) { instrument(p, s, green, 6, 4, QColor(70, 200, 90)); }}},
        {"folder_ico", {16, [&](QPainter &p, int s) { folder(p, s, folderYellow); }}},
        {"folder_information_ico", {16, [&](QPainter &p, int s) { folder(p, s, folderYellow); padlock(p, s); }}},
        {"document_ico", {16, [&](QPainter &p, int s) { document(p, s); }}},
    };
    for (const auto &[name, entry] : named)
        ok = save(root, "PictureContainer2/" + name + ".png", entry.first, entry.second, files) && ok;

    // The numbered pictures: 1 folder, 13 to 15 the instrument types, 16 a protected folder,
    // 17 a protocol file, 8 the password key; the rest serve the glow buttons.
    const std::vector<Painter> numbered = {
        [&](QPainter &p, int s) { network(p, s); },                                      // 0
        [&](QPainter &p, int s) { folder(p, s, folderYellow); },                          // 1
        [&](QPainter &p, int s) { folder(p, s, folderYellow.lighter(115)); plus(p, s, green); }, // 2
        [&](QPainter &p, int s) { copyPages(p, s); },                                     // 3
        [&](QPainter &p, int s) { cross(p, s, QColor(200, 50, 40)); },                    // 4
        [&](QPainter &p, int s) { magnifier(p, s); },                                     // 5
        [&](QPainter &p, int s) { document(p, s); magnifier(p, s); },                        // 6
        [&](QPainter &p, int s) { disk(p, s); },                                          // 7
        [&](QPainter &p, int s) { key(p, s); },                                           // 8
        [&](QPainter &p, int s) { refresh(p, s); },                                       // 9
        [&](QPainter &p, int s) { arrow(p, s, blue, true); },                             // 10
        [&](QPainter &p, int s) { arrow(p, s, blue, false); },                            // 11
        [&](QPainter &p, int s) { tick(p, s); },                                          // 12
        [&](QPainter &p, int s) { instrument(p, s, grey, 3, 2, QColor(220, 60, 50)); },   // 13
        [&](QPainter &p, int s) { instrument(p, s, blue, 3, 2, QColor(70, 200, 90)); },   // 14
        [&](QPainter &p, int s) { instrument(p, s, green, 6, 4, QColor(70, 200, 90)); },  // 15
        [&](QPainter &p, int s) { folder(p, s, folderYellow); padlock(p, s); },           // 16
        [&](QPainter &p, int s) { document(p, s); },                                      // 17
    };
    for (size_t i = 0; i < numbered.size(); ++i)
        ok = save(root, QStringLiteral("DirImageList2/%1.png").arg(i), 16, numbered[i], files) && ok;

    QFile qrc(root + "/pictures.qrc");
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "draw_pictures: cannot write the resource list\n");
        return 1;
    }
    QTextStream out(&qrc);
    out << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    for (const QString &f : files)
        out << "  <file>" << f << "</file>\n";
    out << "</qresource>\n</RCC>\n";
    return ok ? 0 : 1;
}
