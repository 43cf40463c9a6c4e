#include "MimeIconLoader.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeType>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QSettings>
#include <QSvgRenderer>
#include <QThread>

// The icon theme rules we follow: a theme is a folder of that name under one or more search
// folders; its index.theme lists its subfolders (with the size and the kind of icon each holds) and
// the themes it inherits from; "hicolor" ends every chain. We look only at the subfolders for file
// types, take every size a theme has for the first name found, and stop at the first theme that
// has one.
struct MimeIconLoader::Themes
{
    struct Dir
    {
        QString path; // relative to the theme's folder
        bool scalable = false;
    };
    struct Theme
    {
        QStringList roots; // the theme's folder under each search folder that has one
        QList<Dir> dirs;
        QStringList inherits;
    };

    QStringList searchPaths;
    QString themeName;
    QHash<QString, Theme> themes;
    QStringList chain;
    bool chainReady = false;

    const Theme &theme(const QString &name);
    const QStringList &themeChain();
    QList<QImage> find(const QStringList &iconNames);
};

namespace {

// Larger pictures are left out: the list draws small icons, and a few sizes cover every screen.
constexpr int kLargestSize = 64;
constexpr int kRenderSizes[] = {16, 24, 32, 48, 64};

} // namespace

const MimeIconLoader::Themes::Theme &MimeIconLoader::Themes::theme(const QString &name)
{
    auto it = themes.find(name);
    if (it != themes.end())
        return *it;
    Theme theme;
    QString index;
    for (const QString &base : std::as_const(searchPaths)) {
        const QString root = base + u'/' + name;
        if (!QFileInfo(root).isDir())
            continue;
        theme.roots << root;
        if (index.isEmpty() && QFile::exists(root + QStringLiteral("/index.theme")))
            index = root + QStringLiteral("/index.theme");
    }
    if (!index.isEmpty()) {
        QSettings settings(index, QSettings::IniFormat);
        QStringList dirs = settings.value(QStringLiteral("Icon Theme/Directories")).toStringList();
        dirs += settings.value(QStringLiteral("Icon Theme/ScaledDirectories")).toStringList();
        theme.inherits = settings.value(QStringLiteral("Icon Theme/Inherits")).toStringList();
        for (const QString &dir : std::as_const(dirs)) {
            if (dir.trimmed().isEmpty())
                continue;
            const QString context = settings.value(dir + QStringLiteral("/Context")).toString();
            if (!context.isEmpty() && context.compare(QLatin1String("MimeTypes"), Qt::CaseInsensitive) != 0)
                continue;
            const QString type = settings.value(dir + QStringLiteral("/Type")).toString();
            theme.dirs.append({dir.trimmed(), type.compare(QLatin1String("Scalable"), Qt::CaseInsensitive) == 0});
        }
    }
    return *themes.insert(name, theme);
}

const QStringList &MimeIconLoader::Themes::themeChain()
{
    if (chainReady)
        return chain;
    chainReady = true;
    // Depth first through the inherited themes, each theme once.
    QStringList pending;
    if (!themeName.isEmpty())
        pending << themeName;
    QSet<QString> seen;
    while (!pending.isEmpty()) {
        const QString name = pending.takeFirst().trimmed();
        if (name.isEmpty() || seen.contains(name))
            continue;
        seen.insert(name);
        chain << name;
        pending = theme(name).inherits + pending;
    }
    if (!seen.contains(QStringLiteral("hicolor")))
        chain << QStringLiteral("hicolor");
    return chain;
}

QList<QImage> MimeIconLoader::Themes::find(const QStringList &iconNames)
{
    for (const QString &themeName : themeChain()) {
        const Theme &th = theme(themeName);
        for (const QString &iconName : iconNames) {
            QList<QImage> images;
            QImage smallestLarge;
            for (const Dir &dir : th.dirs) {
                for (const QString &root : th.roots) {
                    const QString stem = root + u'/' + dir.path + u'/' + iconName;
                    if (QFile::exists(stem + QStringLiteral(".png"))) {
                        const QImage image(stem + QStringLiteral(".png"));
                        if (image.isNull())
                            continue;
                        if (image.width() <= kLargestSize)
                            images << image;
                        else if (smallestLarge.isNull() || image.width() < smallestLarge.width())
                            smallestLarge = image;
                        break;
                    }
                    if (QFile::exists(stem + QStringLiteral(".svg"))) {
                        QSvgRenderer renderer(stem + QStringLiteral(".svg"));
                        if (!renderer.isValid())
                            continue;
                        for (int size : kRenderSizes) {
                            QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
                            image.fill(Qt::transparent);
                            QPainter painter(&image);
                            renderer.render(&painter);
                            painter.end();
                            images << image;
                        }
                        break;
                    }
                }
            }
            if (images.isEmpty() && !smallestLarge.isNull())
                images << smallestLarge;
            if (!images.isEmpty())
                return images;
        }
    }
    return {};
}

MimeIconLoader::MimeIconLoader(QObject *parent)
    : MimeIconLoader(QIcon::themeSearchPaths(),
                     QIcon::themeName().isEmpty() ? QIcon::fallbackThemeName() : QIcon::themeName(), parent)
{
}

MimeIconLoader::MimeIconLoader(const QStringList &searchPaths, const QString &themeName, QObject *parent)
    : QObject(parent), m_searchPaths(searchPaths), m_themeName(themeName)
{
}

MimeIconLoader::~MimeIconLoader()
{
    // A lookup under way ends first; those still queued are dropped with the worker.
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
    delete m_worker;
    delete m_themes;
}

QIcon MimeIconLoader::icon(const QMimeType &type)
{
    const QString name = type.name();
    const auto it = m_icons.constFind(name);
    if (it != m_icons.cend())
        return *it;
    m_icons.insert(name, QIcon());

    if (!m_thread) {
        m_themes = new Themes;
        m_themes->searchPaths = m_searchPaths;
        m_themes->themeName = m_themeName;
        m_thread = new QThread(this);
        m_thread->setObjectName(QStringLiteral("MimeIconLoader"));
        m_worker = new QObject;
        m_worker->moveToThread(m_thread);
        m_thread->start(QThread::LowPriority);
    }
    QStringList iconNames{type.iconName(), type.genericIconName()};
    iconNames.removeAll(QString());
    iconNames.removeDuplicates();
    Themes *themes = m_themes;
    QMetaObject::invokeMethod(
        m_worker,
        [this, themes, name, iconNames] {
            const QList<QImage> images = themes->find(iconNames);
            QMetaObject::invokeMethod(
                this, [this, name, images] { received(name, images); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return {};
}

void MimeIconLoader::received(const QString &mimeType, const QList<QImage> &images)
{
    QIcon &icon = m_icons[mimeType];
    for (const QImage &image : images)
        icon.addPixmap(QPixmap::fromImage(image));
    Q_EMIT iconLoaded(mimeType);
}
