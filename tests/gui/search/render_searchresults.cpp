// SPDX-License-Identifier: GPL-3.0-or-later
// Not a test: renders the search result list with a few entries, its context menu, its column
// menu and the copy progress to PNG files, for looking at them.
//   build/tests/render_searchresults <output folder> [icon theme]
// Run it again with QT_SCALE_FACTOR=2 for a high-density screen.
#include "core/search/FlatCopy.h"
#include "gui/search/CopyProgressDialog.h"
#include "gui/search/SearchResultList.h"
#include "gui/search/SearchResultModel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

bool save(const QPixmap &pixmap, const QString &path)
{
    if (!pixmap.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The list with its open menu drawn on top, where the menu would be on the screen.
QPixmap withMenu(QWidget *under, QMenu *menu, const QPoint &global)
{
    menu->popup(global);
    QApplication::processEvents();
    QPixmap shot = under->grab();
    QPainter painter(&shot);
    painter.drawPixmap(under->mapFromGlobal(menu->pos()), menu->grab());
    painter.end();
    menu->close();
    return shot;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (argc < 2) {
        std::fprintf(stderr, "usage: render_searchresults <output folder> [icon theme]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    // The offscreen platform knows no icon folders of the desktop; give it the usual one.
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << QStringLiteral("/usr/share/icons"));
    QIcon::setThemeName(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("Adwaita"));
    const QString suffix = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                               ? QStringLiteral("@") + qEnvironmentVariable("QT_SCALE_FACTOR") + QStringLiteral("x")
                               : QString();

    QTemporaryDir dir;
    const char *const files[][2] = {
        {"PLR Articles/Weight Loss/10 Tips for Losing Weight.txt", "2048"},
        {"PLR Articles/Weight Loss/Diet Report.pdf", "1258291"},
        {"eBooks/Marketing/Email Marketing Secrets.pdf", "3524812"},
        {"eBooks/Marketing/Sales Letter Template.doc", "45056"},
        {"Software/Tools/keyword-tool.zip", "15728640"},
        {"Software/Tools/readme", "812"},
        {"Audio/Interviews/Interview with an expert.mp3", "7340032"},
        {"Sites/mini site/index.html", "9216"},
    };
    QStringList paths;
    for (const auto &file : files) {
        const QString path = dir.filePath(QLatin1String(file[0]));
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(QByteArray(file[1]).toLongLong()))
            return 1;
        paths << path;
    }

    SearchResultList list;
    list.resize(760, 260);
    list.show();
    list.results()->appendPaths(paths);
    list.results()->setChecked(1, true);
    list.results()->setChecked(2, true);
    list.results()->setChecked(6, true);
    // Let the icons of the types arrive.
    for (int i = 0; i < 50; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    list.selectionModel()->select(list.results()->index(2, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list.setCurrentIndex(list.results()->index(2, 0));
    list.setFocus();
    QApplication::processEvents();

    bool ok = save(list.grab(), out + QStringLiteral("/search-results%1.png").arg(suffix));
    const QRect row = list.visualRect(list.results()->index(2, 0));
    ok &= save(withMenu(&list, list.contextMenu(), list.viewport()->mapToGlobal(row.center())),
               out + QStringLiteral("/search-results-menu%1.png").arg(suffix));
    ok &= save(withMenu(&list, list.headerMenu(), list.header()->mapToGlobal(QPoint(300, 10))),
               out + QStringLiteral("/search-results-columns%1.png").arg(suffix));
    list.sortByColumn(SearchResultModel::ColumnSize, Qt::DescendingOrder);
    ok &= save(list.grab(), out + QStringLiteral("/search-results-by-size%1.png").arg(suffix));

    FlatCopy job(paths, dir.path());
    CopyProgressDialog progress(job);
    progress.show();
    QApplication::processEvents();
    ok &= save(progress.grab(), out + QStringLiteral("/copy-progress%1.png").arg(suffix));
    return ok ? 0 : 1;
}
