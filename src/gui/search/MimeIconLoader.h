// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QStringList>

class QMimeType;
namespace Platform {
class BackgroundWorker;
}

// Icons of file types, looked up in the icon theme by a background worker (docs/background-work.md),
// started with the first lookup: finding an icon means reading theme indexes and testing for files
// in many folders, which must not hold up painting. Each type is looked up once; the list asks
// again after iconLoaded().
//
// Requests and results change threads through queues of our own behind one mutex; a request wakes
// the worker through a condition, and the results come back in batches on the worker's
// resultsReady(). Destroying the loader asks the worker to stop and waits for it.
class MimeIconLoader : public QObject
{
    Q_OBJECT

public:
    // The desktop's icon theme (its fallback when none is set) and its search folders.
    explicit MimeIconLoader(QObject *parent = nullptr);
    MimeIconLoader(const QStringList &searchPaths, const QString &themeName, QObject *parent = nullptr);
    ~MimeIconLoader() override;

    // The type's icon once it has been loaded. A null icon while the lookup runs (the first call
    // starts it) and when the theme has none for the type.
    QIcon icon(const QMimeType &type);

Q_SIGNALS:
    // The lookup for the type has ended (icon() may still be null: the theme had none).
    void iconLoaded(const QString &mimeType);

private Q_SLOTS:
    // On the GUI thread: takes the lookups that have ended.
    void takeResults();

private:
    QStringList m_searchPaths;
    QString m_themeName;
    QHash<QString, QIcon> m_icons; // null while looked up, or when the theme has none
    Platform::BackgroundWorker *m_worker = nullptr; // a child; runs the lookups
    struct Themes;
    Themes *m_themes = nullptr; // used by the lookups on the worker's thread only
    struct Queues;
    Queues *m_queues = nullptr; // the requests and results that the two threads hand each other
};
