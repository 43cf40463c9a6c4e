// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the grid asks the model it shows (through dynamic_cast, past any proxy models): whether the
// data set behind it is open. A model that does not implement it counts as open. A model whose
// data set opens or closes should say so with a model reset (or the owner calls
// TExtDBGrid::updateVerticalScrollBar()).
class DataSetSource
{
public:
    virtual ~DataSetSource() = default;
    virtual bool isDataSetOpen() const = 0;
};
