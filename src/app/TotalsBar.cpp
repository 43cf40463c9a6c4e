#include "TotalsBar.h"

#include <QStandardItemModel>

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
    });
}

void TotalsBar::setSectionText(int section, const QString &text)
{
    m_texts->setHeaderData(section, Qt::Horizontal, text);
}

QString TotalsBar::sectionText(int section) const
{
    return m_texts->headerData(section, Qt::Horizontal).toString();
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
