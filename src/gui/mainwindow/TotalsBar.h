// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHeaderView>

class QStandardItemModel;

// The one-line totals bar under the account grid: six flat sections lined up with the grid's
// indicator column and its five columns. The user cannot resize a section; a dragged divider snaps
// back at once. A text wider than its section (counts of four digits and more) is drawn in a smaller
// font so that it shows whole.
class TotalsBar : public QHeaderView
{
    Q_OBJECT

public:
    static constexpr int SectionCount = 6;

    // What the bar adds up over the accounts the list shows.
    struct Totals
    {
        qint64 sites = 0;            // all accounts, shown or not
        qint64 largestFileCount = 0; // a count at the cap means "more than the limit"
        qint64 files = 0;
        qint64 active = 0;
        qint64 inactive = 0;
        qint64 activeFees = 0; // in whole currency units
        qint64 shown = -1;     // the sites the list shows while a filter is on; -1 without one
    };

    explicit TotalsBar(QWidget *parent = nullptr);

    // The totals in the sections: "Totals: 3 Site(s)" ("Totals: 2 of 3 Site(s)" while filtered), the files, "NA", "2
    // Active/1 Inactive" and the fees in the user's currency.
    void showTotals(const Totals &totals);
    // Every section empty: a table that is not open has no totals, not totals of nothing.
    void clearTotals();

    void setSectionText(int section, const QString &text);
    QString sectionText(int section) const;
    // Sets a width without triggering the snap-back.
    void setWidth(int section, int width);
    // The grid's column widths, used by the snap-back.
    void setColumnWidthSource(std::function<int(int column)> widthOfColumn);

public Q_SLOTS:
    void hdrTotalsSectionResize(int section);

protected:
    void changeEvent(QEvent *event) override;

private:
    // Draws the section's text in a smaller font (the section's font role) while the bar's own is
    // too wide for it.
    void fitSectionFont(int section);
    void fitSectionFonts();

    QStandardItemModel *m_texts;
    std::function<int(int)> m_columnWidth;
    bool m_settingWidth = false;
};
