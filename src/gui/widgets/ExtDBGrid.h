// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QMetaObject>
#include <QPixmap>
#include <QTableView>

// The account grid. Adds a background picture laid as a tile from the
// viewport's top-left corner under the cells (cells drawn without a background show it), and a
// vertical scroll bar shown exactly when the grid is bound to a model whose data set is open and
// (rowCount + 1) x (defaultRowHeight + 1) > height(); decided whenever the size, the model or its
// row count changes.
class TExtDBGrid : public QTableView
{
    Q_OBJECT
    Q_PROPERTY(QPixmap backgroundBitmap READ backgroundBitmap WRITE setBackgroundBitmap)

public:
    explicit TExtDBGrid(QWidget *parent = nullptr);
    ~TExtDBGrid() override;

    QPixmap backgroundBitmap() const { return m_background; }
    // Copies the picture and repaints. A null picture gives the plain base colour back.
    void setBackgroundBitmap(const QPixmap &bitmap);
    void setBackgroundBitmap(const QImage &bitmap);

    // The data rows' height (the vertical header's default section size).
    int defaultRowHeight() const;
    void setDefaultRowHeight(int height);

    void setModel(QAbstractItemModel *model) override;

    // The rule above, for the current state.
    bool verticalScrollBarWanted() const;
    // Whether the model (or the model behind its proxies) has an open data set.
    bool isDataSetOpen() const;

    // The account list's 32 x 32 tile: white with light grey (#E0E0E0) pixels where (x + y) mod 4 = 3.
    // At a pixel ratio above 1 the tile has that many more pixels and its stripes are drawn at the
    // screen's own pixels, so they stay fine lines rather than steps of blown-up pixels.
    static QImage stripedTile(qreal devicePixelRatio = 1.0);
    // The striped tile as the background, drawn anew whenever the grid moves to a screen of another
    // pixel ratio.
    void setStripedBackground();

public Q_SLOTS:
    // Applies the scroll-bar rule now.
    void updateVerticalScrollBar();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QPixmap m_background;
    bool m_striped = false;
    QList<QMetaObject::Connection> m_modelConnections;
};
