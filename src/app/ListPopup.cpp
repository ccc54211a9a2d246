#include "app/ListPopup.h"

#include <QAbstractItemView>
#include <QMenu>
#include <QMouseEvent>

namespace {

// Keeps the right button's presses, releases and drags from the list, which would select the line under it;
// the context menu event that a right press brings still reaches the list.
class TRightButtonFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
            return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        case QEvent::MouseMove:
            return static_cast<QMouseEvent*>(event)->buttons() == Qt::RightButton;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

} // namespace

void AttachPopupMenu(QAbstractItemView* list, QMenu* menu)
{
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->viewport()->installEventFilter(new TRightButtonFilter(list));
    QObject::connect(list, &QWidget::customContextMenuRequested, menu,
                     [list, menu](const QPoint& at) { menu->popup(list->viewport()->mapToGlobal(at)); });
}
