// SPDX-License-Identifier: GPL-3.0-or-later
#include "TotalsBar.h"

#include "core/accounts/FileCount.h"

#include <QEvent>
#include <QLocale>
#include <QStandardItemModel>
#include <QStyleOptionHeader>

namespace {
// Below this share of the bar's font size a text is not made any smaller (and may then be cut).
constexpr qreal SmallestFontScale = 0.5;
} // namespace

TotalsBar::TotalsBar(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
    , m_texts(new QStandardItemModel(0, SectionCount, this))
{
    setObjectName(QStringLiteral("hdrTotals"));
    setModel(m_texts);
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionsMovable(false);
    setStretchLastSection(false);
    setMinimumSectionSize(0);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSectionResizeMode(QHeaderView::Interactive);
    setFixedHeight(17);
    connect(this, &QHeaderView::sectionResized, this, [this](int section) {
        if (!m_settingWidth)
            hdrTotalsSectionResize(section);
        fitSectionFont(section);
    });
}

void TotalsBar::showTotals(const Totals &totals)
{
    const QLocale locale;
    setSectionText(0, QString());
    setSectionText(1, totals.shown >= 0 ? tr("Totals: %1 of %2 Site(s)").arg(totals.shown).arg(totals.sites)
                                        : tr("Totals: %1 Site(s)").arg(totals.sites));
    if (totals.largestFileCount < FileCountCap)
        setSectionText(2, u'(' + locale.toString(double(totals.files), 'f', 0) + u")  ");
    else
        setSectionText(2, FileCountText(FileCountCap));
    setSectionText(3, tr("NA"));
    setSectionText(4, tr("%1 Active/%2 Inactive").arg(totals.active).arg(totals.inactive));
    setSectionText(5, locale.toCurrencyString(double(totals.activeFees), locale.currencySymbol(), 2));
}

void TotalsBar::clearTotals()
{
    for (int section = 0; section < SectionCount; ++section)
        setSectionText(section, QString());
}

void TotalsBar::setSectionText(int section, const QString &text)
{
    m_texts->setHeaderData(section, Qt::Horizontal, text);
    fitSectionFont(section);
}

QString TotalsBar::sectionText(int section) const
{
    return m_texts->headerData(section, Qt::Horizontal).toString();
}

void TotalsBar::fitSectionFont(int section)
{
    if (section < 0 || section >= SectionCount)
        return;
    const QString text = sectionText(section);
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = QRect(0, 0, sectionSize(section), height());
    opt.section = section;
    opt.text = text;
    const int room = style()->subElementRect(QStyle::SE_HeaderLabel, &opt, this).width();
    QFont fitted = font();
    if (QFontMetricsF(fitted).horizontalAdvance(text) > room) {
        // Step down from the bar's own size until the text fits; the width of a text does not shrink
        // quite in proportion to its size, so each step is measured.
        const bool inPixels = fitted.pointSizeF() <= 0;
        const qreal normal = inPixels ? fitted.pixelSize() : fitted.pointSizeF();
        for (qreal scale = 0.95; scale >= SmallestFontScale; scale -= 0.05) {
            if (inPixels)
                fitted.setPixelSize(std::max(1, qRound(normal * scale)));
            else
                fitted.setPointSizeF(normal * scale);
            if (QFontMetricsF(fitted).horizontalAdvance(text) <= room)
                break;
        }
    }
    const QVariant wanted = fitted == font() ? QVariant() : QVariant(fitted);
    if (m_texts->headerData(section, Qt::Horizontal, Qt::FontRole) != wanted)
        m_texts->setHeaderData(section, Qt::Horizontal, wanted, Qt::FontRole);
}

void TotalsBar::fitSectionFonts()
{
    for (int section = 0; section < SectionCount; ++section)
        fitSectionFont(section);
}

void TotalsBar::changeEvent(QEvent *event)
{
    QHeaderView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitSectionFonts();
}

void TotalsBar::setWidth(int section, int width)
{
    m_settingWidth = true;
    resizeSection(section, width);
    m_settingWidth = false;
}

void TotalsBar::setColumnWidthSource(std::function<int(int)> widthOfColumn)
{
    m_columnWidth = std::move(widthOfColumn);
}

void TotalsBar::hdrTotalsSectionResize(int section)
{
    if (section == 0)
        setWidth(0, 11);
    else if (section <= SectionCount - 1 && m_columnWidth)
        setWidth(section, m_columnWidth(section - 1) + 1);
}
