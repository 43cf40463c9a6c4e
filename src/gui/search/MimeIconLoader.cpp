// SPDX-License-Identifier: GPL-3.0-or-later
#include "MimeIconLoader.h"

#include "core/platform/BackgroundWorker.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeType>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QSettings>
#include <QSvgRenderer>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <stop_token>
#include <utility>

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

// The requests and results the GUI thread and the worker hand each other.
struct MimeIconLoader::Queues
{
    struct Request
    {
        QString mimeType;
        QStringList iconNames;
    };
    struct Result
    {
        QString mimeType;
        QList<QImage> images;
    };
    std::mutex mutex;
    std::condition_variable_any wake; // a request has come (the stop request wakes it too)
    std::deque<Request> requests;     // guarded by mutex
    std::deque<Result> results;       // guarded by mutex

    // On the worker: takes the requests one by one and hands each result back, until the stop.
    void lookUp(const std::stop_token &stop, Themes &themes, Platform::BackgroundWorker &worker)
    {
        for (;;) {
            Request request;
            {
                std::unique_lock lock(mutex);
                if (!wake.wait(lock, stop, [this] { return !requests.empty(); }))
                    return;
                request = std::move(requests.front());
                requests.pop_front();
            }
            QList<QImage> images = themes.find(request.iconNames);
            {
                const std::lock_guard lock(mutex);
                results.push_back({std::move(request.mimeType), std::move(images)});
            }
            worker.notifyResults();
        }
    }
};

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
    // A lookup under way ends first; those still queued are dropped.
    if (m_worker) {
        {
            const std::lock_guard lock(m_queues->mutex);
            m_queues->requests.clear();
        }
        m_worker->stop();
    }
    delete m_themes;
    delete m_queues;
}

QIcon MimeIconLoader::icon(const QMimeType &type)
{
    const QString name = type.name();
    const auto it = m_icons.constFind(name);
    if (it != m_icons.cend())
        return *it;
    m_icons.insert(name, QIcon());

    if (!m_worker) {
        m_themes = new Themes;
        m_themes->searchPaths = m_searchPaths;
        m_themes->themeName = m_themeName;
        m_queues = new Queues;
        m_worker = new Platform::BackgroundWorker(this);
        connect(m_worker, &Platform::BackgroundWorker::resultsReady, this, &MimeIconLoader::takeResults);
        m_worker->start([queues = m_queues, themes = m_themes, worker = m_worker](std::stop_token stop) {
            queues->lookUp(stop, *themes, *worker);
        });
    }
    QStringList iconNames{type.iconName(), type.genericIconName()};
    iconNames.removeAll(QString());
    iconNames.removeDuplicates();
    {
        const std::lock_guard lock(m_queues->mutex);
        m_queues->requests.push_back({name, iconNames});
    }
    m_queues->wake.notify_one();
    return {};
}

void MimeIconLoader::takeResults()
{
    std::deque<Queues::Result> results;
    {
        const std::lock_guard lock(m_queues->mutex);
        results.swap(m_queues->results);
    }
    for (const Queues::Result &result : results) {
        QIcon &icon = m_icons[result.mimeType];
        for (const QImage &image : result.images)
            icon.addPixmap(QPixmap::fromImage(image));
        Q_EMIT iconLoaded(result.mimeType);
    }
}
