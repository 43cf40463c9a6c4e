#include "ActiveStateItems.h"

#include "VantoryConsts.h"
#include "controls/Icons.h"

#include <QComboBox>

void addActiveStateItems(QComboBox *box)
{
    const QStringList captions = VantoryConsts::activeStateCaptions();
    const QStringList pictures = VantoryConsts::activeStatePictures();
    for (int i = 0; i < captions.size(); ++i)
        box->addItem(Icons::icon(pictures[i]), captions[i]);
}
