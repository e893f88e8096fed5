// Draws and synthesises the program's pictures, cursors and sounds at build time, so
// that the source tree carries no binary files:
//   make_resources PROGRAMFOLDER
// writes data/kapitolo.png, data/kapitolo-icon.png, data/hintergrund1.png,
// data/hintergrund2.png, data/cursors/*.png, sound/Richtig1.wav and sound/Falsch1.wav.

#include "platform/png_codec.h"
#include "platform/cursor_shapes.h"
#include "platform/nearest.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

using namespace kapitolo;

namespace {

constexpr double kPi = std::numbers::pi;

bool writePng(const QImage &image, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !encodePng(image, file, 9) || !file.flush()) {
        QTextStream(stderr) << "make_resources: cannot write " << path << '\n';
        return false;
    }
    return true;
}

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QFont arial(double pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(nearest(pixelSize));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// ---------------------------------------------------------------------------------
// The globe: coarse coastlines (longitude, latitude in degrees), drawn in orthographic
// projection. Points on the far side are pulled onto the rim, which closes the land
// along the horizon.

using Outline = std::vector<QPointF>;

const std::vector<Outline> &landOutlines()
{
    static const std::vector<Outline> land = {
        // Africa
        {{-5.9, 35.8}, {-2, 35.1}, {3, 36.8}, {10.2, 37.2}, {11, 35.5}, {10.1, 34.3}, {11.5, 33.1}, {15.2, 32.3},
         {18, 30.8}, {20, 31}, {20.1, 32.4}, {23.1, 32.6}, {25, 31.7}, {29, 30.9}, {32.3, 31.3}, {32.5, 29.9},
         {35.5, 24}, {37.2, 21}, {38.5, 18}, {39.7, 15.5}, {41.7, 13.3}, {43.3, 11.7}, {44.5, 10.4}, {51.2, 11.8},
         {51, 10.4}, {49, 6}, {46, 2}, {42, -1}, {40, -3}, {39.3, -6.8}, {40.4, -10.5}, {40.6, -15},
         {37, -17.8}, {35.3, -22.2}, {35.5, -24}, {32.6, -25.9}, {32.4, -28.7}, {30.9, -30.4}, {27.9, -33},
         {25.6, -33.8}, {22, -34.1}, {20, -34.8}, {18.4, -34.2}, {18.3, -32}, {17.2, -29}, {15.2, -27},
         {14.5, -22.5}, {11.8, -17.3}, {12.3, -13.5}, {13.3, -9.5}, {12.2, -6}, {9.3, -1}, {9.6, 3.3},
         {8.5, 4.5}, {6, 4.3}, {4.3, 6.3}, {1.5, 6.2}, {-2, 4.8}, {-4, 5.2}, {-7.5, 4.4}, {-10.8, 6.9},
         {-13.2, 8.9}, {-15, 10.9}, {-16.8, 12.6}, {-17.5, 14.7}, {-16.5, 19.5}, {-17.1, 21}, {-16, 23.8},
         {-14.5, 26.2}, {-13.2, 27.6}, {-9.8, 29.9}, {-9.6, 32.5}, {-6.8, 34}},
        // Madagascar
        {{49.3, -12}, {50.5, -15.5}, {49.6, -17}, {47.1, -24.9}, {45.2, -25.5}, {43.7, -23}, {44.2, -20},
         {44.4, -16.5}, {46.3, -15.8}, {48.2, -13.6}},
        // Eurasia, from Spain round the Mediterranean, Arabia, India and China to the
        // Pacific, back along the Arctic coast, Scandinavia and the North Sea
        {{-9, 43.5}, {-9.5, 39}, {-8.9, 37}, {-6, 36.5}, {-5.6, 36}, {-2, 36.7}, {0, 38.7}, {0.5, 40.5},
         {3.2, 42}, {3.5, 43.3}, {6, 43.1}, {8.5, 44.4}, {10.3, 43.6}, {11, 42.4}, {12.3, 41.7}, {14, 40.8},
         {15.6, 40}, {16, 38.9}, {15.7, 37.9}, {16.1, 38}, {17.2, 39}, {16.5, 39.7}, {17, 40.5}, {18.5, 40.1},
         {18, 40.7}, {16, 41.5}, {14.1, 42.6}, {13.6, 43.6}, {12.3, 44.6}, {12.4, 45.4}, {13.7, 45.7},
         {13.6, 45.1}, {15, 44.5}, {17, 43.1}, {19.3, 42}, {19.4, 41}, {20, 39.7}, {21, 38.3}, {21.6, 36.8},
         {22.5, 36.4}, {23, 37.8}, {24, 38.2}, {22.7, 39.5}, {23.5, 40.2}, {26, 40.8}, {26.2, 39.5},
         {27.3, 37.2}, {28.3, 36.7}, {30.5, 36.4}, {32.5, 36.1}, {34.6, 36.8}, {36, 36.7}, {35.9, 35.4},
         {35.5, 33.8}, {34.6, 32.2}, {34.2, 31.3}, {32.6, 31.1}, {32.5, 30}, {34.9, 29.5}, {35, 28},
         {37, 25}, {39, 21.5}, {41, 18}, {42.8, 14.8}, {43.3, 12.7}, {45, 12.8}, {48, 14}, {52, 15.6},
         {55.2, 17.3}, {57, 18.9}, {58.6, 20.5}, {59.8, 22.4}, {58.8, 23.6}, {56.4, 24.9}, {56.3, 26.2},
         {54, 24.2}, {51.6, 24.6}, {51.2, 26.1}, {50.1, 26.7}, {48.7, 28.1}, {48, 30}, {49.5, 30},
         {50.9, 28.8}, {54, 26.7}, {56.3, 27.1}, {57.3, 25.8}, {61.6, 25.2}, {66.6, 25.4}, {67.5, 23.8},
         {70, 22.5}, {70, 20.8}, {72.8, 21.2}, {72.8, 19}, {73.5, 16}, {74.8, 12.8}, {76.3, 9.5},
         {77.5, 8.1}, {78.2, 9}, {79.9, 10.3}, {80.3, 13.5}, {80.2, 15.7}, {82.3, 16.6}, {84.5, 19.3},
         {86.9, 21.2}, {88.8, 21.7}, {90.5, 22.4}, {91.8, 22.3}, {92.5, 20.7}, {94.3, 18}, {94.3, 16},
         {97.6, 16.5}, {98.6, 13}, {98.4, 10}, {98.5, 8}, {100.5, 3.9}, {103.4, 1.4}, {104.2, 1.4},
         {103.4, 4.2}, {102.2, 6.2}, {100.5, 8.2}, {99.9, 12.8}, {100.9, 12.6}, {102.9, 11.4}, {104.8, 8.6},
         {106.7, 10.5}, {109.3, 13.4}, {108.9, 15.5}, {106.7, 17.8}, {106.6, 20.2}, {108.5, 21.6},
         {110.5, 20.3}, {113.2, 22.2}, {116.5, 22.9}, {119, 25.5}, {121.5, 28.8}, {121.8, 31.5},
         {120.5, 34.3}, {119.2, 35}, {120.6, 36.4}, {122.5, 37}, {121, 37.8}, {118.8, 37.4}, {117.8, 38.8},
         {121.5, 40.8}, {121.8, 39}, {124.2, 39.8}, {126.3, 38}, {126.6, 34.5}, {129.3, 35.3}, {129.6, 37},
         {128.4, 38.6}, {129.7, 41}, {131.5, 42.9}, {135.5, 43.9}, {140.6, 48.5}, {141.3, 53}, {137.6, 54},
         {135.2, 54.8}, {138.5, 57}, {142.7, 59.3}, {150, 59.5}, {160, 61}, {170, 65}, {180, 66}, {180, 69},
         {170, 70}, {160, 69.5}, {150, 71.5}, {140, 72.5}, {130, 71}, {120, 73}, {113, 73.5}, {104, 77.7},
         {100, 76}, {90, 75.7}, {82, 73.5}, {80, 72.5}, {75, 72.8}, {72, 70.5}, {68.5, 68.2}, {66.5, 70.8},
         {60, 69.5}, {55, 68.2}, {45, 68.3}, {43.5, 66.3}, {40.5, 67.7}, {38, 66}, {34.5, 66.5}, {33, 69.4},
         {28, 71}, {23, 70.7}, {18, 69.9}, {15, 68.5}, {13, 66.5}, {12.5, 65}, {10, 63.5}, {5.5, 62.2},
         {5, 59.5}, {5.7, 58.4}, {7, 58}, {8.5, 58.3}, {10.5, 59.4}, {11.2, 58.7}, {11.9, 57.5}, {12.8, 56},
         {14.3, 55.6}, {16.3, 56.6}, {16.7, 57.9}, {16.5, 59.3}, {18.6, 60}, {17.3, 61.5}, {17.8, 62.7},
         {21.4, 64.4}, {22.3, 65.8}, {25.3, 65.3}, {25.4, 64.9}, {24.5, 64.2}, {21.6, 62.5}, {21.3, 60.8},
         {22.9, 59.9}, {25.9, 60.4}, {28.5, 60.5}, {29.5, 59.9}, {28, 59.5}, {23.5, 59.2}, {24, 58.3},
         {21.6, 57.4}, {21, 56.1}, {21.2, 55.2}, {19.6, 54.5}, {18.6, 54.6}, {16.5, 54.5}, {14.2, 53.9},
         {12, 54.2}, {11, 54}, {10.9, 54.6}, {10, 55}, {10.2, 56.5}, {10.5, 57.7}, {8.2, 56.9}, {8.1, 55.5},
         {8.7, 54.3}, {8.9, 53.9}, {7, 53.4}, {5, 53.3}, {4.2, 52}, {3.4, 51.4}, {1.6, 50.9}, {1.5, 50.1},
         {0, 49.5}, {-1.3, 49.7}, {-1.6, 48.7}, {-4.7, 48.5}, {-4.4, 47.8}, {-2.2, 47.1}, {-1.2, 46},
         {-1.4, 44.2}, {-1.8, 43.4}, {-4.5, 43.4}, {-8, 43.7}},
        // Great Britain
        {{-5.7, 50}, {-3, 50.6}, {1.4, 51.2}, {1.7, 52.7}, {0.3, 53.4}, {-0.2, 54.1}, {-1.6, 55.6},
         {-3.3, 56}, {-1.8, 57.6}, {-3.5, 58.6}, {-5, 58.6}, {-5.7, 57.3}, {-6.2, 56.3}, {-5.5, 55.4},
         {-4.9, 54.8}, {-3.4, 54.9}, {-3.1, 53.8}, {-3, 53.3}, {-4.5, 53.3}, {-4.2, 52.4}, {-5.3, 51.8},
         {-3, 51.4}, {-4.5, 51.1}},
        // Ireland
        {{-6, 52.2}, {-6.2, 53.7}, {-5.6, 54.6}, {-7.3, 55.3}, {-8.4, 54.9}, {-9.9, 53.9}, {-10, 53.2},
         {-9.5, 52.2}, {-10.3, 51.8}, {-9.7, 51.5}, {-8, 51.7}},
        // Iceland
        {{-22.5, 64}, {-22, 65.5}, {-24, 65.6}, {-21.5, 66.2}, {-18, 66.2}, {-15.2, 66.5}, {-14.5, 65.6},
         {-13.6, 65.1}, {-14.9, 64.3}, {-18.7, 63.4}, {-21, 63.9}},
        // Sicily, Sardinia, Corsica, Crete, Sri Lanka
        {{12.4, 38}, {15.6, 38.2}, {15.1, 36.7}, {12.5, 37.6}},
        {{8.4, 41}, {9.8, 41}, {9.6, 39.1}, {8.4, 39}, {8.2, 40.6}},
        {{8.6, 42.9}, {9.4, 43}, {9.5, 42}, {9.2, 41.4}, {8.6, 41.9}},
        {{23.5, 35.5}, {26.3, 35.3}, {26, 35}, {24, 35.1}},
        {{79.8, 6.5}, {80, 9.7}, {81, 9}, {81.9, 7.2}, {81.2, 6.2}, {80.2, 6}},
        // South America
        {{-35, -5.5}, {-35.2, -9}, {-37, -11}, {-39, -14}, {-39, -17.5}, {-40.5, -21}, {-43, -23},
         {-48, -25.5}, {-48.6, -28.3}, {-51, -31}, {-53, -33.7}, {-57, -35.5}, {-57.5, -38.2}, {-62, -39},
         {-65, -41}, {-64, -42.3}, {-65.5, -45}, {-67.5, -46.5}, {-65.8, -47.8}, {-69, -51}, {-68.5, -52.4},
         {-71, -53.8}, {-74, -51}, {-75.5, -46}, {-73.6, -41}, {-73.2, -37}, {-71.5, -32}, {-71.3, -27},
         {-70.2, -18.5}, {-75, -15}, {-78, -10.5}, {-81.2, -5.9}, {-80, -2.5}, {-80.5, 0}, {-79, 1.7},
         {-77.8, 7.3}, {-76, 9.2}, {-72, 11.8}, {-70, 12.2}, {-68, 10.5}, {-63, 10.6}, {-61, 9.8}, {-58, 7},
         {-54, 5.7}, {-51.5, 4.2}, {-50, 1.7}, {-48.5, -1}, {-44.5, -2.5}, {-40, -2.8}, {-37.5, -4.6}},
        // North and Central America
        {{-77.8, 7.3}, {-79.5, 9.2}, {-81.5, 8.5}, {-83.5, 10.8}, {-83.3, 15}, {-88, 15.8}, {-87.5, 21.4},
         {-90.3, 21}, {-91, 18.6}, {-94.5, 18.2}, {-97.3, 21.9}, {-97.4, 27.5}, {-94, 29.7}, {-90, 29.2},
         {-89, 30.3}, {-85.3, 29.7}, {-83, 29}, {-81.7, 25.5}, {-80.1, 25.8}, {-81.4, 30.5}, {-79, 33.3},
         {-75.6, 35.5}, {-76.3, 37.5}, {-74, 40.6}, {-70, 41.6}, {-70.7, 43}, {-67, 44.8}, {-64.4, 45.3},
         {-66, 44.3}, {-63.5, 44.6}, {-60, 45.8}, {-61.5, 47}, {-65, 49}, {-68, 48.8}, {-60, 50.2},
         {-55.7, 52.2}, {-56.5, 53.8}, {-61.5, 56.5}, {-64.5, 60.3}, {-69.5, 58.8}, {-71.5, 61}, {-78, 62.4},
         {-77, 60}, {-78.5, 58.5}, {-76.7, 55.8}, {-79.5, 51.5}, {-82.2, 52.9}, {-85, 55.3}, {-92.5, 57},
         {-94.2, 60}, {-90, 64}, {-87, 66.5}, {-90, 68.5}, {-95, 71.5}, {-100, 67.8}, {-110, 68},
         {-120, 69.5}, {-130, 70}, {-141, 69.6}, {-156, 71.3}, {-166, 68.8}, {-164.5, 63}, {-158, 58.5},
         {-150, 61}, {-140, 59.7}, {-133, 56}, {-130, 54}, {-124, 49}, {-124.3, 43}, {-120.7, 35},
         {-117, 32.5}, {-110, 23.2}, {-105.5, 20}, {-96, 15.7}, {-92, 14.5}, {-87.5, 13}, {-85.7, 11},
         {-83, 8.2}, {-79.5, 7.5}},
        // Greenland
        {{-73, 78}, {-60, 82}, {-40, 83.5}, {-20, 82}, {-18, 77}, {-20, 73}, {-22, 70.5}, {-28, 68.3},
         {-35, 65.8}, {-40, 64}, {-43, 60}, {-48, 61}, {-51, 64}, {-53.5, 67}, {-54, 70.5}, {-58, 75.5},
         {-66, 76.5}},
    };
    return land;
}

const std::vector<Outline> &inlandSeas()
{
    static const std::vector<Outline> seas = {
        // Black Sea
        {{28, 41.2}, {29, 41.1}, {31.3, 41.2}, {33.5, 42}, {36, 41.7}, {38.4, 40.9}, {41.5, 41.5},
         {41.6, 42.6}, {40, 43.4}, {38, 44.6}, {37.3, 45.3}, {36.5, 45.4}, {35, 45}, {33.5, 44.5},
         {32.5, 45.4}, {33.6, 46}, {31.7, 46.6}, {30.8, 46.5}, {29.7, 45.2}, {28.6, 44.3}, {27.9, 42.7}},
        // Caspian Sea
        {{46.7, 44.5}, {47.5, 43}, {48.6, 41.8}, {49.5, 40.2}, {49, 38.4}, {49, 37.6}, {51, 36.8},
         {53.9, 36.9}, {54, 38.3}, {53, 39.3}, {53.2, 40.7}, {52.7, 41.8}, {54.2, 42.3}, {52.5, 42.8},
         {51.3, 43.2}, {50.4, 44.4}, {51.3, 45.2}, {53, 45.3}, {53.1, 46.8}, {51.2, 47.1}, {49.2, 46.4},
         {48.5, 45.9}, {47.5, 45.6}},
    };
    return seas;
}

class Globe
{
public:
    Globe(QPointF centre, double radius, double lon0, double lat0)
        : m_centre(centre)
        , m_radius(radius)
        , m_lon0(lon0 * kPi / 180)
        , m_lat0(lat0 * kPi / 180)
    {
    }

    // Screen position; visible tells whether the point faces the viewer.
    QPointF project(double lon, double lat, bool *visible = nullptr) const
    {
        const double l = lon * kPi / 180 - m_lon0;
        const double p = lat * kPi / 180;
        const double x = std::cos(p) * std::sin(l);
        const double y = std::cos(m_lat0) * std::sin(p) - std::sin(m_lat0) * std::cos(p) * std::cos(l);
        const double z = std::sin(m_lat0) * std::sin(p) + std::cos(m_lat0) * std::cos(p) * std::cos(l);
        double sx = x;
        double sy = y;
        if (z < 0) {
            const double len = std::hypot(x, y);
            if (len > 1e-9) {
                sx = x / len;
                sy = y / len;
            }
        }
        if (visible)
            *visible = z >= 0;
        return QPointF(m_centre.x() + sx * m_radius, m_centre.y() - sy * m_radius);
    }

    QPainterPath path(const Outline &outline) const
    {
        QPainterPath path;
        // Long edges are subdivided so that they bend with the sphere.
        for (size_t i = 0; i < outline.size(); ++i) {
            const QPointF a = outline[i];
            const QPointF b = outline[(i + 1) % outline.size()];
            const int steps = std::max(1, int(std::ceil(std::hypot(b.x() - a.x(), b.y() - a.y()) / 3.0)));
            for (int s = 0; s < steps; ++s) {
                const double t = double(s) / steps;
                const QPointF q = project(a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t);
                if (i == 0 && s == 0)
                    path.moveTo(q);
                else
                    path.lineTo(q);
            }
        }
        path.closeSubpath();
        return path;
    }

    QPainterPath graticuleLine(double lon, double lat, double dLon, double dLat, int steps) const
    {
        QPainterPath path;
        bool open = false;
        for (int s = 0; s <= steps; ++s) {
            bool visible = false;
            const QPointF q = project(lon + dLon * s, lat + dLat * s, &visible);
            if (!visible) {
                open = false;
                continue;
            }
            if (open)
                path.lineTo(q);
            else
                path.moveTo(q);
            open = true;
        }
        return path;
    }

    void draw(QPainter &p, bool withGraticule = true) const
    {
        const QRectF disc(m_centre.x() - m_radius, m_centre.y() - m_radius, 2 * m_radius, 2 * m_radius);

        QRadialGradient ocean(m_centre + QPointF(-0.35 * m_radius, -0.4 * m_radius), 1.45 * m_radius);
        ocean.setColorAt(0.0, QColor(128, 200, 240));
        ocean.setColorAt(0.55, QColor(62, 145, 208));
        ocean.setColorAt(1.0, QColor(28, 92, 160));
        p.setPen(Qt::NoPen);
        p.setBrush(ocean);
        p.drawEllipse(disc);

        p.save();
        QPainterPath clip;
        clip.addEllipse(disc);
        p.setClipPath(clip);

        QRadialGradient landShade(m_centre + QPointF(-0.35 * m_radius, -0.4 * m_radius), 1.45 * m_radius);
        landShade.setColorAt(0.0, QColor(160, 214, 118));
        landShade.setColorAt(0.6, QColor(112, 178, 86));
        landShade.setColorAt(1.0, QColor(70, 132, 62));
        const QPen coast(QColor(255, 255, 255, 150), std::max(0.8, m_radius / 150.0));
        for (const Outline &outline : landOutlines()) {
            p.setPen(coast);
            p.setBrush(landShade);
            p.drawPath(path(outline));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(ocean);
        for (const Outline &outline : inlandSeas())
            p.drawPath(path(outline));

        if (withGraticule) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(255, 255, 255, 70), std::max(0.6, m_radius / 200.0)));
            for (int lon = -180; lon < 180; lon += 30)
                p.drawPath(graticuleLine(lon, -90, 0, 2, 90));
            for (int lat = -60; lat <= 60; lat += 30)
                p.drawPath(graticuleLine(-180, lat, 2, 0, 180));
        }

        // Light from the upper left, shade on the lower right.
        QRadialGradient light(m_centre + QPointF(-0.45 * m_radius, -0.5 * m_radius), 0.9 * m_radius);
        light.setColorAt(0.0, QColor(255, 255, 255, 90));
        light.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(light);
        p.drawEllipse(disc);
        QRadialGradient shade(m_centre + QPointF(-0.3 * m_radius, -0.3 * m_radius), 1.35 * m_radius);
        shade.setColorAt(0.65, QColor(10, 40, 80, 0));
        shade.setColorAt(1.0, QColor(10, 40, 80, 110));
        p.setBrush(shade);
        p.drawEllipse(disc);
        p.restore();

        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(24, 78, 136), std::max(1.0, m_radius / 100.0)));
        p.drawEllipse(disc);
    }

private:
    QPointF m_centre;
    double m_radius;
    double m_lon0;
    double m_lat0;
};

// ---------------------------------------------------------------------------------
// Small pieces of the quiz look: answer tiles, number badges, the tick.

void drawTick(QPainter &p, QPointF centre, double size, const QColor &color, double width)
{
    QPainterPath tick;
    tick.moveTo(centre + QPointF(-0.42 * size, 0.02 * size));
    tick.lineTo(centre + QPointF(-0.12 * size, 0.32 * size));
    tick.lineTo(centre + QPointF(0.45 * size, -0.36 * size));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void drawShadow(QPainter &p, const QRectF &rect, double radius, double spread, int alpha)
{
    for (int i = int(spread); i >= 1; --i) {
        const double a = alpha * (1.0 - double(i) / (spread + 1)) / spread * 2.2;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 30, std::clamp(int(a), 0, 255)));
        p.drawRoundedRect(rect.adjusted(-i, -i, i, i).translated(0, i * 0.6), radius + i, radius + i);
    }
}

void drawTile(QPainter &p, const QRectF &rect, const QString &text, const QColor &fill, const QColor &border,
              const QColor &textColor, double lift)
{
    drawShadow(p, rect.translated(0, lift * 0.5), 5, 2 + lift, 40 + int(lift * 10));
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    g.setColorAt(0, fill.lighter(104));
    g.setColorAt(1, fill.darker(103));
    p.setBrush(g);
    p.setPen(QPen(border, 1.2));
    p.drawRoundedRect(rect, 5, 5);
    p.setFont(arial(15, true));
    p.setPen(textColor);
    p.drawText(rect, Qt::AlignCenter, text);
}

void drawBadge(QPainter &p, QPointF centre, const QString &number)
{
    const QRectF box(centre.x() - 10, centre.y() - 10, 20, 20);
    p.setPen(QPen(QColor(30, 30, 30), 1.2));
    p.setBrush(QColor(236, 236, 232));
    p.drawRoundedRect(box, 4, 4);
    p.setFont(arial(13, true));
    p.setPen(QColor(205, 20, 20));
    p.drawText(box, Qt::AlignCenter, number);
}

void drawPlace(QPainter &p, QPointF at)
{
    p.setPen(QPen(Qt::white, 1.6));
    p.setBrush(QColor(214, 40, 40));
    p.drawEllipse(at, 4.2, 4.2);
}

void drawArrowPointer(QPainter &p, QPointF tip, double scale)
{
    QPainterPath arrow;
    const QPointF pts[] = {{0, 0}, {0, 17}, {4, 13}, {7, 20}, {10, 19}, {7, 12}, {12.5, 12}};
    arrow.moveTo(tip + pts[0] * scale);
    for (size_t i = 1; i < std::size(pts); ++i)
        arrow.lineTo(tip + pts[i] * scale);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::white, 1.6 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(20, 20, 20));
    p.drawPath(arrow);
}

// ---------------------------------------------------------------------------------

QImage startPicture()
{
    const int w = 640;
    const int h = 400;
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(252, 251, 247));
    sky.setColorAt(1, QColor(234, 232, 224));
    p.fillRect(image.rect(), sky);

    // A quiet pattern of large soft circles behind everything.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawEllipse(QPointF(182, 198), 180, 180);
    p.setBrush(QColor(214, 228, 238, 70));
    p.drawEllipse(QPointF(560, 40), 120, 120);
    p.setBrush(QColor(240, 214, 170, 55));
    p.drawEllipse(QPointF(610, 380), 110, 110);

    const QPointF centre(182, 194);
    const double radius = 142;
    // Contact shadow under the globe.
    QRadialGradient ground(QPointF(centre.x(), 370), 120);
    ground.setColorAt(0, QColor(60, 60, 50, 70));
    ground.setColorAt(1, QColor(60, 60, 50, 0));
    p.save();
    p.translate(centre.x(), 370);
    p.scale(1.0, 0.14);
    p.translate(-centre.x(), -370);
    p.setBrush(ground);
    p.drawEllipse(QPointF(centre.x(), 370), 120, 120);
    p.restore();

    const Globe globe(centre, radius, 12, 28);
    globe.draw(p);

    // The quiz on the globe: numbered places, one answered, one tile on its way.
    const QPointF berlin = globe.project(13.4, 52.5);
    const QPointF rom = globe.project(12.5, 41.9);
    const QPointF kairo = globe.project(31.2, 30.0);
    drawPlace(p, berlin);
    drawPlace(p, rom);
    drawPlace(p, kairo);

    // Berlin: answered, its tile sits at the place with a green tick.
    const QRectF berlinTile(berlin.x() - 112, berlin.y() - 46, 86, 28);
    p.setPen(QPen(QColor(40, 40, 40, 200), 1.4));
    p.drawLine(berlinTile.center() + QPointF(43, 0), berlin);
    drawTile(p, berlinTile, QStringLiteral("Berlin"), QColor(255, 255, 255), QColor(150, 150, 144),
             QColor(40, 40, 40), 0);
    const QPointF tickAt(berlinTile.left() - 4, berlinTile.top() + 2);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(46, 170, 60));
    p.drawEllipse(tickAt, 11, 11);
    drawTick(p, tickAt, 13, Qt::white, 2.8);

    drawBadge(p, rom + QPointF(-20, 14), QStringLiteral("2"));
    drawBadge(p, kairo + QPointF(18, 16), QStringLiteral("3"));

    // "Rom" is being dragged: lifted, with the pointer on it.
    const QRectF romTile(rom.x() + 98, rom.y() - 14, 76, 28);
    p.setPen(QPen(QColor(214, 40, 40, 170), 1.6, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    QPainterPath flight;
    flight.moveTo(romTile.left() - 4, romTile.center().y());
    flight.quadTo(QPointF((rom.x() + romTile.left()) / 2, rom.y() - 36), rom + QPointF(7, -3));
    p.drawPath(flight);
    drawTile(p, romTile, QStringLiteral("Rom"), QColor(255, 246, 206), QColor(214, 160, 40), QColor(40, 40, 40), 4);
    drawArrowPointer(p, romTile.center() + QPointF(12, 4), 1.0);

    // "Kairo" waits beside the globe.
    const QRectF kairoTile(centre.x() - radius - 8, centre.y() + 92, 78, 28);
    drawTile(p, kairoTile, QStringLiteral("Kairo"), QColor(255, 255, 255), QColor(150, 150, 144),
             QColor(40, 40, 40), 1);

    // The name and what the program is for.
    const double textLeft = 372;
    const double textRight = w - 18;
    QFont title = arial(60, true);
    title.setLetterSpacing(QFont::PercentageSpacing, 98);
    const QString name = QStringLiteral("Kapitolo");
    {
        const QFontMetricsF m(title);
        const double available = textRight - textLeft;
        if (m.horizontalAdvance(name) > available)
            // Rounded down, so that the name surely fits.
            title.setPixelSize(int(std::floor(60 * available / m.horizontalAdvance(name))));
    }
    p.setFont(title);
    const QFontMetricsF titleMetrics(title);
    const double baseline = 170;
    p.setPen(QColor(255, 255, 255, 200));
    p.drawText(QPointF(textLeft + 1, baseline + 2), name);
    p.setPen(QColor(34, 66, 104));
    p.drawText(QPointF(textLeft, baseline), name);

    const double underlineY = baseline + 16;
    QLinearGradient accent(textLeft, 0, textLeft + 120, 0);
    accent.setColorAt(0, QColor(238, 146, 40));
    accent.setColorAt(1, QColor(250, 196, 70));
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawRoundedRect(QRectF(textLeft + 2, underlineY, 120, 5), 2.5, 2.5);

    const QString subtitle = QStringLiteral("Quiz für Schule und Unterricht");
    QFont subtitleFont = arial(19);
    while (QFontMetricsF(subtitleFont).horizontalAdvance(subtitle) > textRight - textLeft - 2)
        subtitleFont.setPixelSize(subtitleFont.pixelSize() - 1);
    p.setFont(subtitleFont);
    p.setPen(QColor(78, 88, 100));
    p.drawText(QPointF(textLeft + 2, underlineY + 38), subtitle);

    const QStringList features = {QStringLiteral("Karten beschriften"), QStringLiteral("Lückentexte füllen"),
                                  QStringLiteral("Fragen beantworten")};
    double y = underlineY + 80;
    for (const QString &feature : features) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(46, 170, 60));
        p.drawEllipse(QPointF(textLeft + 10, y - 5), 8, 8);
        drawTick(p, QPointF(textLeft + 10, y - 5), 9.5, Qt::white, 2.0);
        p.setFont(arial(15));
        p.setPen(QColor(70, 76, 84));
        p.drawText(QPointF(textLeft + 26, y), feature);
        y += 28;
    }
    p.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

// Drawn on a 256-pixel grid; smaller sizes are drawn, not scaled down, so their edges stay sharp.
QImage applicationIcon(int size = 256)
{
    QImage image = transparentImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 256.0, size / 256.0);

    const Globe globe(QPointF(118, 122), 104, 12, 28);
    // A soft shadow under the globe keeps it readable on light and dark panels.
    QRadialGradient halo(QPointF(122, 130), 116);
    halo.setColorAt(0.85, QColor(0, 0, 0, 50));
    halo.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(QPointF(122, 130), 116, 116);
    globe.draw(p, true);

    const QRectF tile(120, 172, 118, 56);
    drawShadow(p, tile.translated(0, 3), 10, 6, 90);
    QLinearGradient g(tile.topLeft(), tile.bottomLeft());
    g.setColorAt(0, QColor(255, 214, 96));
    g.setColorAt(1, QColor(244, 170, 40));
    p.setBrush(g);
    p.setPen(QPen(QColor(186, 120, 20), 2.5));
    p.drawRoundedRect(tile, 11, 11);
    p.setFont(arial(40, true));
    p.setPen(QColor(60, 44, 20));
    p.drawText(tile.adjusted(14, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("K"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(46, 170, 60));
    const QPointF badge(tile.right() - 30, tile.center().y());
    p.drawEllipse(badge, 19, 19);
    drawTick(p, badge, 22, Qt::white, 5);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// ---------------------------------------------------------------------------------
// Background tiles. The main window takes its colours from fixed pixels: (0, 0) and
// (30, 30) of the first tile, (30, 30) of the second. Those pixels keep the exact
// colours; the rest carries a faint grain.

int grain(int x, int y, unsigned seed)
{
    unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ seed * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return int(h % 3u) - 1;
}

QColor shade(const QColor &base, int delta)
{
    return QColor(std::clamp(base.red() + delta, 0, 255), std::clamp(base.green() + delta, 0, 255),
                  std::clamp(base.blue() + delta, 0, 255));
}

constexpr int kTileSize = 60;

QImage backgroundTile1()
{
    const QColor window(236, 236, 232);
    // Soft flecks, a few shades lighter or darker, give the surface a paper feel. The one
    // centred on (30, 30) reaches the card panel's colour exactly there; none comes near (0, 0).
    struct Fleck {
        int x, y;
        double radius;
        int delta;
    };
    const Fleck flecks[] = {{30, 30, 6, 4}, {12, 44, 7, 3}, {47, 10, 6, -3}, {50, 50, 4, 3},
                            {8, 18, 4, -2}, {22, 8, 3, 2},  {42, 38, 3, -2}, {36, 53, 3.5, 2}};
    QImage image(kTileSize, kTileSize, QImage::Format_RGB32);
    for (int y = 0; y < kTileSize; ++y) {
        for (int x = 0; x < kTileSize; ++x) {
            double sum = 0;
            for (const Fleck &f : flecks) {
                // Distances wrap around, so that the tile repeats without a seam.
                const int dx = std::min(std::abs(x - f.x), kTileSize - std::abs(x - f.x));
                const int dy = std::min(std::abs(y - f.y), kTileSize - std::abs(y - f.y));
                const double d2 = double(dx * dx + dy * dy);
                if (d2 <= 4 * f.radius * f.radius)
                    sum += f.delta * std::exp(-d2 / (f.radius * f.radius));
            }
            const bool reference = (x == 0 && y == 0) || (x == 30 && y == 30);
            image.setPixel(x, y, shade(window, nearest(sum) + (reference ? 0 : grain(x, y, 1))).rgb());
        }
    }
    return image;
}

QImage backgroundTile2()
{
    const QColor base(236, 236, 232);
    QImage image(kTileSize, kTileSize, QImage::Format_RGB32);
    for (int y = 0; y < kTileSize; ++y) {
        // Fine horizontal brushing: each row a touch lighter or darker.
        const int row = (y % 4 == 1) ? 1 : (y % 4 == 3 ? -1 : 0);
        for (int x = 0; x < kTileSize; ++x) {
            const bool reference = x == 30 && y == 30;
            const int fleck = grain(x, y, 2) == 1 && grain(x, y, 3) == 1 ? 1 : 0;
            image.setPixel(x, y, shade(base, reference ? 0 : row + fleck).rgb());
        }
    }
    return image;
}

// ---------------------------------------------------------------------------------
// Cursors: 32 x 32, drawn around the hot spots of cursor_shapes.h.

QPoint hotSpot(const char *name)
{
    for (const NamedCursorInfo &info : kNamedCursors)
        if (qstrcmp(info.name, name) == 0)
            return QPoint(info.hotX, info.hotY);
    return QPoint();
}

// Draws path with a white halo under a dark stroke, as the system cursors look.
void outlined(QPainter &p, const QPainterPath &path, const QBrush &fill, double haloWidth = 2.4)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, haloWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setBrush(fill);
    p.setPen(QPen(QColor(20, 20, 20), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

QImage cursorPen()
{
    QImage image = transparentImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF tip = QPointF(hotSpot("STIFT5")) + QPointF(0.5, 0.5);
    p.translate(tip);
    p.rotate(-45);
    // Along +x from the tip: point, sharpened wood, red body, ferrule, end.
    QPainterPath cone;
    cone.moveTo(0, 0);
    cone.lineTo(8, -3.6);
    cone.lineTo(8, 3.6);
    cone.closeSubpath();
    QPainterPath body;
    body.addRect(QRectF(8, -3.6, 25, 7.2));
    QPainterPath whole = cone.united(body);
    outlined(p, whole, QColor(214, 36, 36));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 208, 160));
    QPainterPath wood;
    wood.moveTo(2.6, -1.2);
    wood.lineTo(8, -3.1);
    wood.lineTo(8, 3.1);
    wood.lineTo(2.6, 1.2);
    wood.closeSubpath();
    p.drawPath(wood);
    p.setBrush(QColor(214, 36, 36));
    p.drawEllipse(QPointF(1.3, 0), 1.6, 1.3);
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawRect(QRectF(9, -2.6, 21, 1.6));
    p.end();
    return image;
}

QImage cursorMarker()
{
    QImage image = transparentImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF tip = QPointF(hotSpot("MARKER25")) + QPointF(0.5, 0.5);
    p.translate(tip);
    p.rotate(-45);
    // Broad chisel tip, collar, body with a cap end.
    QPainterPath nib;
    nib.moveTo(0, -3.2);
    nib.lineTo(4.5, -4.5);
    nib.lineTo(4.5, 4.5);
    nib.lineTo(0, 3.2);
    nib.closeSubpath();
    QPainterPath collar;
    collar.addRect(QRectF(4.5, -5, 4, 10));
    QPainterPath body;
    body.addRoundedRect(QRectF(8.5, -6, 24, 12), 2, 2);
    outlined(p, nib.united(collar).united(body), QColor(60, 60, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 230, 0));
    p.drawPath(nib);
    p.setBrush(QColor(120, 120, 120));
    p.drawRect(QRectF(5, -4.5, 3, 9));
    p.setBrush(QColor(255, 230, 0));
    p.drawRoundedRect(QRectF(9.5, -5, 13, 10), 1.5, 1.5);
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawRect(QRectF(10, -4, 12, 2));
    p.end();
    return image;
}

QImage cursorEraser()
{
    QImage image = transparentImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The square the eraser clears, with rounded corners so the cursor stays light.
    const QRectF area(1.5, 1.5, 29, 29);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 230), 2.2));
    p.drawRoundedRect(area, 3, 3);
    p.setPen(QPen(QColor(40, 40, 40), 1.0, Qt::DashLine));
    p.drawRoundedRect(area, 3, 3);
    // A small eraser block in the middle.
    p.translate(QPointF(hotSpot("RADIER32")) + QPointF(0, 0.5));
    p.rotate(-30);
    QPainterPath block;
    block.addRoundedRect(QRectF(-9, -5, 18, 10), 2, 2);
    outlined(p, block, QColor(245, 150, 170), 2.2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 110, 200));
    p.drawRect(QRectF(1.5, -4.5, 4, 9));
    p.end();
    return image;
}

QImage cursorMove()
{
    QImage image = transparentImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = QPointF(hotSpot("PFEILMOVE")) + QPointF(0.5, 0.5);
    QPainterPath arrows;
    const double len = 13.5;
    const double head = 5.0;
    const double shaft = 1.4;
    for (int k = 0; k < 4; ++k) {
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(90.0 * k);
        QPainterPath one;
        one.moveTo(0, -shaft);
        one.lineTo(len - head, -shaft);
        one.lineTo(len - head, -head);
        one.lineTo(len, 0);
        one.lineTo(len - head, head);
        one.lineTo(len - head, shaft);
        one.lineTo(0, shaft);
        one.closeSubpath();
        arrows = arrows.united(t.map(one));
    }
    outlined(p, arrows, QColor(20, 20, 20), 2.6);
    p.end();
    return image;
}

QImage cursorTick()
{
    QImage image = transparentImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The stamp lands centred 5 px right of the hot spot: draw the tick there, with a
    // small cross-hair at the hot spot itself.
    const QPointF hot = QPointF(hotSpot("HAEKCHEN")) + QPointF(0.5, 0.5);
    const QPointF centre = hot + QPointF(5, 1);
    drawTick(p, centre, 20, Qt::white, 6.0);
    drawTick(p, centre, 20, QColor(0, 170, 0), 3.4);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(hot + QPointF(-4, -9), hot + QPointF(-4, -3));
    p.drawLine(hot + QPointF(-7, -6), hot + QPointF(-1, -6));
    p.setPen(QPen(QColor(20, 20, 20), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(hot + QPointF(-4, -9), hot + QPointF(-4, -3));
    p.drawLine(hot + QPointF(-7, -6), hot + QPointF(-1, -6));
    p.end();
    return image;
}

QImage cursorCross()
{
    QImage image = transparentImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QPointF(hotSpot("KREUZ")) + QPointF(1.5, 0.5);
    const double r = 8.5;
    for (const auto &[pen, width] : {std::pair{QColor(Qt::white), 6.2}, std::pair{QColor(210, 0, 0), 3.4}}) {
        p.setPen(QPen(pen, width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(centre + QPointF(-r, -r), centre + QPointF(r, r));
        p.drawLine(centre + QPointF(-r, r), centre + QPointF(r, -r));
    }
    p.end();
    return image;
}

QImage cursorText()
{
    QImage image = transparentImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF foot = QPointF(hotSpot("TEXTEINGABE")) + QPointF(0.5, 0.5);
    QPainterPath beam;
    beam.moveTo(foot + QPointF(-3.5, -19));
    beam.quadTo(foot + QPointF(0, -19), foot + QPointF(0, -16.5));
    beam.quadTo(foot + QPointF(0, -19), foot + QPointF(3.5, -19));
    beam.moveTo(foot + QPointF(0, -16.5));
    beam.lineTo(foot + QPointF(0, -2.5));
    beam.moveTo(foot + QPointF(-3.5, 0));
    beam.quadTo(foot + QPointF(0, 0), foot + QPointF(0, -2.5));
    beam.quadTo(foot + QPointF(0, 0), foot + QPointF(3.5, 0));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(beam);
    p.setPen(QPen(QColor(0, 70, 230), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(beam);
    p.end();
    return image;
}

QImage cursorHand()
{
    QImage image = transparentImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = QPointF(hotSpot("HAND")) + QPointF(0.5, 0.5);
    // Open hand, palm centred on the hot spot: four fingers, a thumb and the palm.
    QPainterPath hand;
    const double fingerX[] = {-6.0, -2.0, 2.0, 6.0};
    const double fingerTop[] = {-10.5, -13.0, -12.5, -9.5};
    for (int i = 0; i < 4; ++i) {
        QPainterPath finger;
        finger.addRoundedRect(QRectF(c.x() + fingerX[i] - 1.9, c.y() + fingerTop[i], 3.8, 14 - fingerTop[i] * 0.1),
                              1.9, 1.9);
        hand = hand.united(finger);
    }
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-2, -1.9, 10, 3.8), 1.9, 1.9);
    hand = hand.united(QTransform().translate(c.x() - 7.5, c.y() + 3).rotate(-140).map(thumb));
    QPainterPath palm;
    palm.addRoundedRect(QRectF(c.x() - 8, c.y() - 1, 16, 12.5), 5, 5);
    hand = hand.united(palm);
    outlined(p, hand, Qt::white, 2.2);
    p.setPen(QPen(QColor(20, 20, 20), 0.8));
    for (int i = 0; i < 3; ++i) {
        const double x = c.x() + (fingerX[i] + fingerX[i + 1]) / 2;
        p.drawLine(QPointF(x, c.y() - 4.5), QPointF(x, c.y() - 0.5));
    }
    p.end();
    return image;
}

QImage cursorDrag()
{
    QImage image = transparentImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF tip = QPointF(hotSpot("DRAGBLACK")) + QPointF(0.5, 0.5);
    // The carried tile: a small box below and right of the arrow.
    const QRectF box(tip.x() + 11, tip.y() + 16, 16, 10);
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
    p.setPen(QPen(QColor(20, 20, 20), 1.2));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(box);
    p.setPen(QPen(QColor(20, 20, 20), 1.0));
    p.drawLine(box.topLeft() + QPointF(3.5, 3.5), box.topRight() + QPointF(-3.5, 3.5));
    p.drawLine(box.bottomLeft() + QPointF(3.5, -3.5), box.bottomRight() + QPointF(-6.5, -3.5));
    drawArrowPointer(p, tip, 1.0);
    p.end();
    return image;
}

// ---------------------------------------------------------------------------------
// Sounds: 16-bit PCM, mono, 22050 Hz.

constexpr int kSampleRate = 22050;

QByteArray wavFile(const std::vector<double> &samples)
{
    QByteArray pcm;
    pcm.reserve(qsizetype(samples.size() * 2));
    for (double s : samples) {
        const auto v = qint16(std::clamp(nearest(s * 32767.0), -32768, 32767));
        pcm.append(char(v & 0xFF));
        pcm.append(char((v >> 8) & 0xFF));
    }
    QByteArray out;
    auto u32 = [&out](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    };
    auto u16 = [&out](quint16 v) {
        out.append(char(v & 0xFF));
        out.append(char((v >> 8) & 0xFF));
    };
    out.append("RIFF");
    u32(quint32(36 + pcm.size()));
    out.append("WAVE");
    out.append("fmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(kSampleRate);
    u32(kSampleRate * 2);
    u16(2);
    u16(16);
    out.append("data");
    u32(quint32(pcm.size()));
    out.append(pcm);
    return out;
}

// Scales to the given peak and fades in and out, so that neither end clicks.
void finish(std::vector<double> &s, double peak, double fadeInSeconds, double fadeOutSeconds)
{
    double max = 0;
    for (double v : s)
        max = std::max(max, std::abs(v));
    if (max > 0)
        for (double &v : s)
            v *= peak / max;
    const size_t in = size_t(fadeInSeconds * kSampleRate);
    const size_t out = size_t(fadeOutSeconds * kSampleRate);
    for (size_t i = 0; i < in && i < s.size(); ++i)
        s[i] *= double(i) / double(in);
    for (size_t i = 0; i < out && i < s.size(); ++i) {
        const double g = double(i) / double(out);
        s[s.size() - 1 - i] *= g * g;
    }
}

// A struck note: a few partials, each decaying on its own (higher ones faster).
void addNote(std::vector<double> &s, double start, double frequency, double amplitude, double decay,
             const std::vector<std::pair<double, double>> &partials, double glide = 0)
{
    const size_t first = size_t(start * kSampleRate);
    // A raised-cosine onset: soft enough not to click, quick enough to sound struck.
    const double attack = 0.008;
    for (size_t i = first; i < s.size(); ++i) {
        const double t = double(i - first) / kSampleRate;
        const double env = t >= attack ? 1.0 : 0.5 - 0.5 * std::cos(kPi * t / attack);
        // A falling pitch: the phase is the integral of f * (1 - glide * (1 - e^(-t/0.12))).
        const double phase = 2 * kPi * frequency * (t - glide * (t - 0.12 * (1 - std::exp(-t / 0.12))));
        double v = 0;
        for (const auto &[ratio, weight] : partials)
            v += weight * std::sin(ratio * phase) * std::exp(-t * ratio / decay);
        s[i] += amplitude * env * v * std::exp(-t / decay);
    }
}

std::vector<double> chimeCorrect()
{
    std::vector<double> s(size_t(0.42 * kSampleRate), 0.0);
    const std::vector<std::pair<double, double>> bell = {{1.0, 1.0}, {2.0, 0.22}, {3.0, 0.06}, {4.2, 0.03}};
    addNote(s, 0.0, 1046.50, 0.8, 0.16, bell);  // C6
    addNote(s, 0.095, 1318.51, 1.0, 0.20, bell); // E6
    finish(s, 0.55, 0.002, 0.05);
    return s;
}

std::vector<double> bongWrong()
{
    std::vector<double> s(size_t(0.45 * kSampleRate), 0.0);
    const std::vector<std::pair<double, double>> soft = {{1.0, 1.0}, {2.0, 0.18}, {3.0, 0.05}};
    addNote(s, 0.0, 175.0, 1.0, 0.22, soft, 0.06); // a low F, sagging slightly
    addNote(s, 0.0, 87.5, 0.35, 0.18, {{1.0, 1.0}});
    finish(s, 0.6, 0.006, 0.08);
    return s;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        QTextStream(stderr) << "make_resources: cannot write " << path << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        QTextStream(stderr) << "usage: make_resources PROGRAMFOLDER [ICONTHEMEFOLDER]\n";
        return 2;
    }
    // The desktop's icon theme: the program's icon, also for its topic documents.
    if (argc == 3) {
        const QDir theme(QString::fromLocal8Bit(argv[2]));
        bool ok = true;
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString folder = QStringLiteral("%1x%1/").arg(size);
            ok &= theme.mkpath(folder + QStringLiteral("apps")) && theme.mkpath(folder + QStringLiteral("mimetypes"));
            const QImage icon = applicationIcon(size).convertToFormat(QImage::Format_ARGB32);
            ok &= writePng(icon, theme.filePath(folder + QStringLiteral("apps/kapitolo.png")));
            ok &= writePng(icon, theme.filePath(folder + QStringLiteral("mimetypes/application-x-kapitolo-topic.png")));
        }
        return ok ? 0 : 1;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const char *sub : {"data/cursors", "sound"})
        if (!root.mkpath(QLatin1String(sub))) {
            QTextStream(stderr) << "make_resources: cannot create " << root.filePath(QLatin1String(sub)) << '\n';
            return 1;
        }

    bool ok = true;
    ok &= writePng(startPicture(), root.filePath(QStringLiteral("data/kapitolo.png")));
    ok &= writePng(applicationIcon(), root.filePath(QStringLiteral("data/kapitolo-icon.png")));
    ok &= writePng(backgroundTile1(), root.filePath(QStringLiteral("data/hintergrund1.png")));
    ok &= writePng(backgroundTile2(), root.filePath(QStringLiteral("data/hintergrund2.png")));

    const std::vector<std::pair<const char *, std::function<QImage()>>> cursors = {
        {"STIFT5", cursorPen},      {"MARKER25", cursorMarker}, {"RADIER32", cursorEraser},
        {"PFEILMOVE", cursorMove},  {"HAEKCHEN", cursorTick},   {"KREUZ", cursorCross},
        {"TEXTEINGABE", cursorText}, {"HAND", cursorHand},       {"DRAGBLACK", cursorDrag},
    };
    for (const auto &[name, draw] : cursors)
        ok &= writePng(draw().convertToFormat(QImage::Format_ARGB32),
                       root.filePath(QStringLiteral("data/cursors/") + QLatin1String(name) + QStringLiteral(".png")));

    ok &= writeFile(root.filePath(QStringLiteral("sound/Richtig1.wav")), wavFile(chimeCorrect()));
    ok &= writeFile(root.filePath(QStringLiteral("sound/Falsch1.wav")), wavFile(bongWrong()));
    return ok ? 0 : 1;
}
