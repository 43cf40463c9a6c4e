// SPDX-License-Identifier: GPL-3.0-or-later
#include "Icons.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <map>
#include <memory>

// Q_INIT_RESOURCE must be used outside any namespace. vantory_gui is a static library, so nothing
// registers the compiled resource unless something calls this.
static void initIconsResource()
{
    Q_INIT_RESOURCE(icons);
}

namespace Icons {

namespace {

void ensureResource()
{
    static const bool done = [] {
        initIconsResource();
        return true;
    }();
    Q_UNUSED(done);
}

// Renders the same SVG document for every size and mode; a disabled icon is drawn greyed out.
class SvgIconEngine : public QIconEngine
{
public:
    explicit SvgIconEngine(QString path) : m_path(std::move(path)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, dpr));
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        QPixmap pm = Icons::pixmap(name(), size, scale);
        if (mode == QIcon::Disabled && !pm.isNull())
            pm = greyed(pm);
        return pm;
    }

    QString key() const override { return QStringLiteral("VantorySvgIconEngine"); }
    QIconEngine *clone() const override { return new SvgIconEngine(m_path); }
    QString iconName() override { return name(); }
    bool isNull() override { return !QFile::exists(m_path); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        const QSize natural = defaultSize(name());
        return {natural, natural * 2};
    }

private:
    QString name() const
    {
        // ":/icons/<name>.svg"
        return m_path.mid(8, m_path.size() - 12);
    }

    static QPixmap greyed(const QPixmap &source)
    {
        QImage img = source.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const int g = 128 + qGray(line[x]) / 2;
                line[x] = qRgba(g, g, g, qAlpha(line[x]) / 2);
            }
        }
        QPixmap result = QPixmap::fromImage(img);
        result.setDevicePixelRatio(source.devicePixelRatio());
        return result;
    }

    QString m_path;
};

// Parsing an SVG costs far more than painting it, so each document is parsed once. The documents are
// few and small; they are freed when the application object goes (or at exit when there was none).
class RendererCache
{
public:
    static QSvgRenderer *get(const QString &name)
    {
        auto &renderers = instance().m_renderers;
        auto found = renderers.find(name);
        if (found == renderers.end()) {
            auto renderer = std::make_unique<QSvgRenderer>(resourcePath(name));
            renderer->setAspectRatioMode(Qt::KeepAspectRatio);
            found = renderers.emplace(name, std::move(renderer)).first;
        }
        return found->second.get();
    }

private:
    RendererCache() { qAddPostRoutine(&RendererCache::clear); }
    static RendererCache &instance()
    {
        static RendererCache cache;
        return cache;
    }
    static void clear() { instance().m_renderers.clear(); }

    std::map<QString, std::unique_ptr<QSvgRenderer>> m_renderers;
};

} // namespace

QString resourcePath(const QString &name)
{
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

QStringList names()
{
    ensureResource();
    QStringList result;
    const QStringList files = QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString &file : files)
        result << file.left(file.size() - 4);
    result.sort();
    return result;
}

QSize defaultSize(const QString &name)
{
    ensureResource();
    if (!QFile::exists(resourcePath(name)))
        return {};
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid())
        return {};
    return renderer.viewBoxF().size().toSize();
}

QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio)
{
    // Pictures are drawn on every paint of the account grid: render each size once.
    const QString key = QStringLiteral("vantory-icon:%1:%2x%3@%4")
                            .arg(name)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    ensureResource();
    if (!QFile::exists(resourcePath(name)))
        return {};
    QSvgRenderer *renderer = RendererCache::get(name);
    if (!renderer->isValid() || size.isEmpty())
        return {};
    const QSize device = (QSizeF(size) * devicePixelRatio).toSize();
    QPixmap pm(device);
    pm.fill(Qt::transparent);
    {
        QPainter painter(&pm);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer->render(&painter, QRectF(QPointF(0, 0), QSizeF(device)));
    }
    pm.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, pm);
    return pm;
}

QIcon icon(const QString &name)
{
    ensureResource();
    const QString path = resourcePath(name);
    if (!QFile::exists(path))
        return {};
    return QIcon(new SvgIconEngine(path));
}

} // namespace Icons
