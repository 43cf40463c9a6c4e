// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/packs/MatchPreview.h"

#include <QTreeView>

class QAction;
class QFontMetrics;
class QMenu;
class PackEntryOpener;
class SearchResultModel;

// The list of found files: one row per file with its check box, icon, name, account, folder, size,
// type, date and, for a content match, a line of the text around it with the match marked. Several
// rows can be selected (a right click selects the row under the mouse); double click or Enter opens
// a file with its program, F2 renames it in place, Space checks or unchecks the selected rows, and
// the files can be dragged out. The header's context menu shows and hides columns; clicking a
// header sorts by that column (a third click returns to the order found; the preview sorts
// nothing). Until the user sizes a column, account, size, type and date are as wide as what they
// show, the preview takes a share when there are content matches (it is left out while there are
// none), and the name and the folder share the rest, the name taking all that is spare.
// An entry inside a pack opens from a copy taken out of the pack into a private folder.
//
// The list owns its model; the search window adds to it and reads the check marks through it.
class SearchResultList : public QTreeView
{
    Q_OBJECT

public:
    explicit SearchResultList(QWidget *parent = nullptr);
    ~SearchResultList() override;

    SearchResultModel *results() const { return m_results; }
    // Takes entries out of packs to open them.
    PackEntryOpener *entryOpener() const { return m_opener; }

    // A preview's parts as they fit in width (before and after in the normal font, the match in
    // bold): the match whole where it fits, the context on both sides cut to what is left, "…"
    // where text is left out.
    struct ElidedPreview
    {
        QString before;
        QString match;
        QString after;
    };
    static ElidedPreview elidePreview(const MatchPreviewText &preview, const QFontMetrics &normal,
                                      const QFontMetrics &bold, int width);

    // Focuses the list and makes its first entry the current and only selected one.
    void focusFirstEntry();
    // The selected rows, in list order.
    QList<int> selectedRows() const;

    // The columns' widths as the user sized them (in column order); empty while the list fits them.
    QList<int> columnWidths() const;
    // Gives the columns widths the user chose before; the list no longer fits them.
    void setColumnWidths(const QList<int> &widths);

    // The context menu's commands (also reachable by their object names).
    QAction *openAction() const { return m_open; }
    QAction *openFolderAction() const { return m_openFolder; }
    QAction *copyPathAction() const { return m_copyPath; }
    QAction *renameAction() const { return m_rename; }
    QAction *checkAction() const { return m_check; }
    QAction *uncheckAction() const { return m_uncheck; }
    // The menus; each is shown by popup(), so it is open (not running a loop of its own) while the
    // caller goes on.
    QMenu *contextMenu() const { return m_menu; }
    QMenu *headerMenu() const { return m_headerMenu; }

public Q_SLOTS:
    void openSelected();
    void openSelectedFolders();
    void copySelectedPaths();
    void renameCurrent();
    void checkSelected();
    void uncheckSelected();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    // Shares the list's width among the shown columns. Until the user sizes a column: from then on
    // the widths are theirs.
    void fitColumns();
    // The name's and the folder's share of rest (widths indexed by column).
    void fitNameAndFolder(int *widths, int rest, int leastName, int leastFolder) const;
    // The width a column needs for its title, and for its title and the rows in view.
    int titleWidth(int column) const;
    int contentWidth(int column) const;
    void updateActions();
    // Shows the preview column when the user wants it and there is a content match to preview.
    void updatePreviewColumn();
    void showHeaderMenu(const QPoint &pos);
    void openRow(int row);
    // Opens the rows' files; entries inside packs are taken out of them first, in the background.
    void openRows(const QList<int> &rows);
    void openUrls(const QStringList &paths);
    void reportRenameFailure(const QString &path, const QString &newName, const QString &reason);

    SearchResultModel *m_results;
    PackEntryOpener *m_opener;
    QMenu *m_menu;
    QMenu *m_headerMenu;
    QAction *m_open;
    QAction *m_openFolder;
    QAction *m_copyPath;
    QAction *m_rename;
    QAction *m_check;
    QAction *m_uncheck;
    bool m_previewWanted = true; // by the user, through the header's menu
    bool m_fitColumns = true;
    bool m_fitting = false;
};
