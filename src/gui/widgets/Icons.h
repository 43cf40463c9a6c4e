// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QStringList>

// The program's pictures: SVG files compiled into vantory_gui (resources/icons.qrc), looked up by
// name ("account-add", "state-active", "logo", ...). The icons render through QSvgRenderer at the
// requested size, so they stay crisp at any scale and need no icon-engine plugin at run time.
namespace Icons {

// The icon of that name; a null icon for an unknown name.
QIcon icon(const QString &name);
// The picture of that name rendered at the given size in device-independent pixels (times the
// given device pixel ratio); a null pixmap for an unknown name.
QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio = 1.0);
// The natural size of the picture (16 x 16 for the icons, 133 x 25 for the logo); empty if unknown.
QSize defaultSize(const QString &name);
// Every name that icon() knows, sorted.
QStringList names();
// The resource path of the SVG file (":/icons/<name>.svg").
QString resourcePath(const QString &name);

} // namespace Icons
