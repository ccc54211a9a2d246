// The popup menu of a list of multiple selection.
#pragma once

class QAbstractItemView;
class QMenu;

// Opens `menu` where the list is right-clicked. The right button selects nothing: the lines the menu's commands
// act on are those selected before the click.
void AttachPopupMenu(QAbstractItemView* list, QMenu* menu);
