// What the end-to-end panel tests measure, in one program:
//   rows STATE_DIR                  the status menu's rows as the core builds them for that state directory
//   served SERVICE PATH             the rows a DBusMenu at SERVICE PATH serves (GetLayout), in the same form
//   icon REFERENCE SHOT STRIP       where SHOT differs from REFERENCE inside STRIP: the drawn icon, "WxH+X+Y"
//   contrast SHOT BOX STRIP         contrast of the icon in BOX against the panel around it
//   menu BEFORE AFTER SLOT          the menu that opened between two screenshots (the clicked slot, which changes
//                                   too, left out): "WxH+X+Y shape SHAPE rows Y…", SHAPE an "r" for each row and
//                                   a "-" for each separator from the top, then the rows' centres
//   logo SERVICE PATH               the header row's logo as the DBusMenu at SERVICE PATH serves it: "WxH NAME",
//                                   the size of its icon-data and its icon-name ("-" for none)
//   window                          another program's window: 700 by 660, fixed (a tiling compositor floats it),
//                                   shown until the probe is ended
// Geometries are "WxH+X+Y" in screen pixels. A row prints as its title, then " (disabled)", " [x]" / " [ ]" for a
// checkmark and " (logo)" for an image; a separator as "-". Exit status 1: nothing found, 2: bad arguments.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRasterWindow>
#include <QRect>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "state/state_directory.h"
#include "state/status.h"
#include "ui/status_menu.h"

namespace {

using tavix::MenuRow;

std::string describe(bool separator, const std::string& title, bool enabled, std::optional<bool> checked, bool logo) {
    if (separator) return "-";
    std::string line = title;
    if (!enabled) line += " (disabled)";
    if (checked) line += *checked ? " [x]" : " [ ]";
    if (logo) line += " (logo)";
    return line;
}

int coreRows(const char* stateDir) {
    const tavix::StateDirectory state{std::filesystem::path(stateDir)};
    ::setenv("TAVIX_HOME", stateDir, 1);
    const double now =
        std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
    const tavix::Status status = tavix::readStatusFile(state.entryPath("status.json").c_str());
    tavix::MenuInputs in = tavix::menuInputs(status, now, state.paired(), state.paused());
    in.loginDisabled = state.loginDisabled();
    in.server = state.server();
    for (const MenuRow& row : tavix::statusMenu(in)) {
        std::printf("%s\n", describe(row.separator, row.title, row.enabled, row.checked, row.logo).c_str());
    }
    return 0;
}

// Calls `each` with the properties of every row a DBusMenu at `service` `path` serves (GetLayout); false when the
// call failed.
template <typename Each>
bool forEachServedRow(const char* service, const char* path, Each each) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The test tells its own calls from the panel's by this name.
    if (const QByteArray file = qgetenv("PROBE_NAMES"); !file.isEmpty()) {
        QFile names(QString::fromLocal8Bit(file));
        if (names.open(QIODevice::Append)) names.write(bus.baseService().toUtf8() + '\n');
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLocal8Bit(service), QString::fromLocal8Bit(path),
                                                       QStringLiteral("com.canonical.dbusmenu"),
                                                       QStringLiteral("GetLayout"));
    call.setArguments({0, -1, QStringList()});
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2) {
        std::fprintf(stderr, "panel_probe: GetLayout failed: %s\n", qPrintable(reply.errorMessage()));
        return false;
    }
    // The root node: (id, properties, children as variants of the same structure).
    const QDBusArgument layout = reply.arguments().at(1).value<QDBusArgument>();
    int id = 0;
    QVariantMap properties;
    layout.beginStructure();
    layout >> id >> properties;
    layout.beginArray();
    while (!layout.atEnd()) {
        QDBusVariant child;
        layout >> child;
        const QDBusArgument item = child.variant().value<QDBusArgument>();
        item.beginStructure();
        item >> id >> properties;
        item.endStructure();
        each(properties);
    }
    layout.endArray();
    layout.endStructure();
    return true;
}

int servedRows(const char* service, const char* path) {
    const auto text = [](const QVariantMap& p, const char* key) { return p.value(QLatin1String(key)).toString(); };
    return forEachServedRow(service, path, [&](const QVariantMap& p) {
        if (!p.value(QStringLiteral("visible"), true).toBool()) return;
        std::optional<bool> checked;
        if (text(p, "toggle-type") == QLatin1String("checkmark")) checked = p.value(QStringLiteral("toggle-state")).toInt() == 1;
        std::printf("%s\n", describe(text(p, "type") == QLatin1String("separator"), text(p, "label").toStdString(),
                                     p.value(QStringLiteral("enabled"), true).toBool(), checked,
                                     p.contains(QStringLiteral("icon-data")) || p.contains(QStringLiteral("icon-name")))
                                .c_str());
    }) ? 0 : 1;
}

// The first row with a PNG in icon-data: "WxH NAME".
int servedLogo(const char* service, const char* path) {
    QString found;
    forEachServedRow(service, path, [&](const QVariantMap& p) {
        const QImage logo = QImage::fromData(p.value(QStringLiteral("icon-data")).toByteArray(), "PNG");
        const QString name = p.value(QStringLiteral("icon-name")).toString();
        if (!logo.isNull() && found.isEmpty())
            found = QStringLiteral("%1x%2 %3").arg(logo.width()).arg(logo.height()).arg(name.isEmpty() ? "-" : name);
    });
    std::printf("%s\n", found.isEmpty() ? "none" : qPrintable(found));
    return found.isEmpty() ? 1 : 0;
}

int otherWindow(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    struct Window final : QRasterWindow {
        void paintEvent(QPaintEvent*) override {
            QPainter(this).fillRect(QRect(QPoint(), size()), QColor(0x80, 0x30, 0x60));
        }
    } window;
    window.setTitle(QStringLiteral("Another program"));
    window.setMinimumSize(QSize(700, 660));
    window.setMaximumSize(QSize(700, 660));
    window.resize(700, 660);
    window.show();
    return QGuiApplication::exec();
}

bool parseBox(const char* text, QRect& box) {
    const auto match =
        QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)$")).match(QLatin1String(text));
    if (!match.hasMatch()) return false;
    box = QRect(match.captured(3).toInt(), match.captured(4).toInt(), match.captured(1).toInt(),
                match.captured(2).toInt());
    return true;
}

std::string boxText(const QRect& box) {
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d+%d+%d", box.width(), box.height(), box.x(), box.y());
    return text;
}

int distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

double luminance(QRgb c) {
    auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
}

double contrastRatio(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QImage load(const char* file) {
    QImage image(QString::fromLocal8Bit(file));
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

// Bounding box of the pixels inside `area`, but outside `skip`, where the two images differ by more than
// `threshold`.
QRect changed(const QImage& a, const QImage& b, QRect area, int threshold, const QRect& skip = QRect()) {
    area &= a.rect() & b.rect();
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!skip.contains(x, y) && distance(a.pixel(x, y), b.pixel(x, y)) > threshold) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// The most common colour inside `area`, leaving out `skip`.
QRgb mostCommon(const QImage& image, const QRect& area, const QRect& skip = QRect()) {
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!skip.contains(x, y)) ++counts[image.pixel(x, y)];
        }
    }
    if (counts.empty()) return image.pixel(area.topLeft());
    return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

// Whether `area` of `after` is `before` moved sideways by a few pixels: a neighbour the new icon pushed along.
bool shifted(const QImage& before, const QImage& after, const QRect& area) {
    for (int dx = -6; dx <= 6; ++dx) {
        if (dx == 0) continue;
        int same = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const int from = std::clamp(x + dx, 0, before.width() - 1);
                if (distance(after.pixel(x, y), before.pixel(from, y)) <= 8) ++same;
            }
        }
        if (same * 100 >= area.width() * area.height() * 97) return true;
    }
    return false;
}

// The new icon: the changed columns of the strip, in runs, leaving out the runs that only moved.
int iconBox(const char* reference, const char* shot, const char* stripText) {
    const QImage before = load(reference), after = load(shot);
    QRect strip;
    if (before.isNull() || after.isNull() || !parseBox(stripText, strip)) return 2;
    strip &= before.rect() & after.rect();
    std::vector<QRect> runs;
    for (int x = strip.left(); x <= strip.right(); ++x) {
        const QRect column = changed(before, after, QRect(x, strip.top(), 1, strip.height()), 2);
        if (column.isEmpty()) continue;
        if (!runs.empty() && x - runs.back().right() <= 3) {
            runs.back() |= column;
        } else {
            runs.push_back(column);
        }
    }
    std::vector<QRect> found;
    for (const QRect& run : runs) {
        if (!shifted(before, after, run)) found.push_back(run);
    }
    // An icon is at least a few pixels across and no larger than a slot of the panel.
    const int most = 2 * strip.height();
    if (found.size() != 1 || found[0].width() < 6 || found[0].height() < 6 || found[0].width() > most) {
        std::printf("none");
        for (const QRect& run : found) std::printf(" %s", boxText(run).c_str());
        std::printf("\n");
        return 1;
    }
    std::printf("%s\n", boxText(found[0]).c_str());
    return 0;
}

// The icon's pixels are those in `box` that differ from the panel colour of their row; its contrast is the one
// that its most visible tenth reaches, so edge smoothing does not count against it and a single odd pixel does not
// count for it.
int iconContrast(const char* shot, const char* boxArg, const char* stripArg) {
    const QImage image = load(shot);
    QRect box, strip;
    if (image.isNull() || !parseBox(boxArg, box) || !parseBox(stripArg, strip)) return 2;
    strip &= image.rect();
    box &= strip;
    struct Ink {
        double ratio;
        QRgb fg, bg;
    };
    std::vector<Ink> ink;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const QRgb bg = mostCommon(image, QRect(strip.left(), y, strip.width(), 1), QRect(box.left(), y, box.width(), 1));
        for (int x = box.left(); x <= box.right(); ++x) {
            const QRgb fg = image.pixel(x, y);
            if (distance(fg, bg) > 3) ink.push_back({contrastRatio(fg, bg), fg, bg});
        }
    }
    if (ink.size() < 12) {
        std::printf("contrast 1.00 ink %zu\n", ink.size());
        return 1;
    }
    std::sort(ink.begin(), ink.end(), [](const Ink& a, const Ink& b) { return a.ratio < b.ratio; });
    const Ink& top = ink[ink.size() * 9 / 10];
    std::printf("contrast %.2f ink %zu fg #%06x bg #%06x\n", top.ratio, ink.size(), top.fg & 0xffffffu,
                top.bg & 0xffffffu);
    return 0;
}

// The part of the changes between two screenshots that holds the point nearest to `from`: changed pixels in
// 4-pixel cells, joined with their neighbours. Windows that change elsewhere (focus, a clock) stay apart.
QRect changedAround(const QImage& before, const QImage& after, const QRect& skip, QPoint from) {
    const int cell = 4, columns = (after.width() + cell - 1) / cell, rows = (after.height() + cell - 1) / cell;
    std::vector<char> marked(static_cast<std::size_t>(columns * rows), 0);
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            if (!skip.contains(x, y) && distance(before.pixel(x, y), after.pixel(x, y)) > 16) {
                marked[static_cast<std::size_t>((y / cell) * columns + x / cell)] = 1;
            }
        }
    }
    int seed = -1, best = 0;
    for (int i = 0; i < columns * rows; ++i) {
        const int d = std::abs(i % columns * cell - from.x()) + std::abs(i / columns * cell - from.y());
        if (marked[static_cast<std::size_t>(i)] != 0 && (seed < 0 || d < best)) {
            seed = i;
            best = d;
        }
    }
    QRect box;
    std::vector<int> todo;
    if (seed >= 0) {
        todo.push_back(seed);
        marked[static_cast<std::size_t>(seed)] = 2;
    }
    while (!todo.empty()) {
        const int i = todo.back();
        todo.pop_back();
        box |= QRect(i % columns * cell, i / columns * cell, cell, cell);
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int x = i % columns + dx, y = i / columns + dy;
                if (x < 0 || y < 0 || x >= columns || y >= rows) continue;
                char& mark = marked[static_cast<std::size_t>(y * columns + x)];
                if (mark == 1) {
                    mark = 2;
                    todo.push_back(y * columns + x);
                }
            }
        }
    }
    return box & after.rect();
}

// The menu that opened next to the clicked slot: its body is the part of the change in the menu's background
// colour (leaving out a frame or a shadow).
int openMenu(const char* beforeFile, const char* afterFile, const char* slotText) {
    const QImage before = load(beforeFile), after = load(afterFile);
    QRect slot;
    if (before.isNull() || after.isNull() || !parseBox(slotText, slot)) return 2;
    const QRect area = changedAround(before, after, slot, slot.center());
    if (area.width() < 40 || area.height() < 40) {
        std::printf("none\n");
        return 1;
    }
    const QRgb bg = mostCommon(after, area);
    // The body: the run of columns, then of rows, mostly in that colour, around the slot's side. A window next to
    // the menu that changed too (its title loses the focus) stays outside.
    const auto mostlyBackground = [&](const QRect& line) {
        int same = 0;
        for (int y = line.top(); y <= line.bottom(); ++y) {
            for (int x = line.left(); x <= line.right(); ++x) same += distance(after.pixel(x, y), bg) <= 8;
        }
        return same * 2 > line.width() * line.height();
    };
    // Lines across a separator or a highlighted row are not mostly background: a few of them are bridged.
    const auto run = [](int from, int first, int last, const auto& inside) {
        from = std::clamp(from, first, last);
        while (from < last && !inside(from)) ++from;
        const auto next = [&](int at, int step) {
            for (int i = 1; i <= 5; ++i) {
                if (at + i * step < first || at + i * step > last) return at;
                if (inside(at + i * step)) return at + i * step;
            }
            return at;
        };
        int low = from, high = from;
        for (int n = next(low, -1); n != low; n = next(low, -1)) low = n;
        for (int n = next(high, 1); n != high; n = next(high, 1)) high = n;
        return std::pair{low, high};
    };
    const auto [left, right] = run(slot.center().x(), area.left(), area.right(),
                                   [&](int x) { return mostlyBackground(QRect(x, area.top(), 1, area.height())); });
    const auto [top, bottom] = run(area.top(), area.top(), area.bottom(),
                                   [&](int y) { return mostlyBackground(QRect(left, y, right - left + 1, 1)); });
    const QRect menu(QPoint(left, top), QPoint(right, bottom));
    // Row by row against the row's own background (a translucent menu shows what lies behind it): text makes a row
    // once taller than a line; a separator is a thin run of rows whose colour differs from the rows around it.
    // Rounded corners stay out: text starts further in than any corner radius.
    const QRect inner = menu.adjusted(12, 2, -12, -2);
    std::vector<QRgb> rowColour;
    for (int y = inner.top(); y <= inner.bottom(); ++y)
        rowColour.push_back(mostCommon(after, QRect(inner.left(), y, inner.width(), 1)));
    const auto colourAt = [&](int i) {
        return rowColour[static_cast<std::size_t>(std::clamp(i, 0, static_cast<int>(rowColour.size()) - 1))];
    };
    // Columns that differ all the way down are the menu's frame or its shadow, not text.
    std::vector<bool> frame;
    for (int x = inner.left(); x <= inner.right(); ++x) {
        int marked = 0;
        for (int i = 0; i < static_cast<int>(rowColour.size()); ++i) {
            marked += distance(after.pixel(x, inner.top() + i), colourAt(i)) > 48;
        }
        frame.push_back(marked * 10 > static_cast<int>(rowColour.size()) * 6);
    }
    std::string shape;
    std::vector<int> centres;
    int start = -1, lineStart = -1;
    for (int i = 0; i <= static_cast<int>(rowColour.size()); ++i) {
        const int y = inner.top() + i;
        bool text = false, line = false;
        if (i < static_cast<int>(rowColour.size())) {
            int strong = 0;
            for (int x = inner.left(); x <= inner.right(); ++x) {
                strong +=
                    !frame[static_cast<std::size_t>(x - inner.left())] && distance(after.pixel(x, y), colourAt(i)) > 48;
            }
            line = distance(colourAt(i), colourAt(i - 3)) > 3 && distance(colourAt(i), colourAt(i + 3)) > 3;
            text = !line && strong >= 2 && strong * 10 < inner.width() * 6;
        }
        if (text && start < 0) start = y;
        if (!text && start >= 0) {
            if (y - start >= 5) {
                centres.push_back((start + y - 1) / 2);
                shape += 'r';
            }
            start = -1;
        }
        if (line && lineStart < 0) lineStart = y;
        if (!line && lineStart >= 0) {
            // Some styles draw a separator as two lines.
            if (y - lineStart <= 4 && (shape.empty() || shape.back() != '-')) shape += '-';
            lineStart = -1;
        }
    }
    // A line above the first row or below the last is the menu's frame.
    while (!shape.empty() && shape.back() == '-') shape.pop_back();
    if (!shape.empty() && shape.front() == '-') shape.erase(0, 1);
    std::printf("%s shape %s rows", boxText(menu).c_str(), shape.empty() ? "none" : shape.c_str());
    for (int c : centres) std::printf(" %d", c);
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "rows" && argc == 3) return coreRows(argv[2]);
    if ((command == "served" || command == "logo") && argc == 4) {
        QCoreApplication app(argc, argv);
        return command == "served" ? servedRows(argv[2], argv[3]) : servedLogo(argv[2], argv[3]);
    }
    if (command == "window" && argc == 2) return otherWindow(argc, argv);
    if (command == "icon" && argc == 5) return iconBox(argv[2], argv[3], argv[4]);
    if (command == "contrast" && argc == 5) return iconContrast(argv[2], argv[3], argv[4]);
    if (command == "menu" && argc == 5) return openMenu(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: panel_probe rows|served|logo|window|icon|contrast|menu ...\n");
    return 2;
}
