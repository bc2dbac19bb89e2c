#include "ui/PortBox.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>

PortBox::PortBox(QComboBox& box, QObject* parent)
    : QObject(parent), box(box), timer(new QTimer(this))
{
    box.setEditable(true);
    // Return connects nothing and adds nothing: a typed path is opened by Connect.
    box.setInsertPolicy(QComboBox::NoInsert);
    showPorts(ports.offer(), QString());
    connect(timer, &QTimer::timeout, this, &PortBox::refresh);
    box.installEventFilter(this);
    if (box.isEnabled())
        timer->start(RefreshIntervalMs);
}

void PortBox::addPort(const QString& name, Lifetime lifetime)
{
    ports.keep(name);
    if (lifetime == Lifetime::ThisRun)
        thisRunOnly.append(name);
    choose(name);
}

void PortBox::choose(const QString& name)
{
    showPorts(ports.offer(name), name);
}

QString PortBox::selectedPort() const
{
    if (isTyped())
        return box.currentText().trimmed();
    return box.itemData(box.currentIndex()).toString();
}

QString PortBox::portToRemember() const
{
    const QString port = selectedPort();
    return thisRunOnly.contains(port) ? QString() : port;
}

void PortBox::refresh()
{
    // Entries do not move under the operator's pointer; the next look catches up.
    if (box.view()->isVisible())
        return;
    if (isTyped())
        showPorts(ports.offer(), QString());
    else
        choose(selectedPort());
}

bool PortBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &box && event->type() == QEvent::EnabledChange) {
        if (box.isEnabled()) {
            refresh();
            timer->start(RefreshIntervalMs);
        } else {
            timer->stop();
        }
    }
    return QObject::eventFilter(watched, event);
}

bool PortBox::isTyped() const
{
    const int index = box.currentIndex();
    return index < 0 || box.itemText(index) != box.currentText();
}

// chosen empty keeps what was typed into the box, or the first entry at start.
void PortBox::showPorts(const QList<OfferedPort>& offered, const QString& chosen)
{
    if (offered != shown) {
        const QString typed = box.currentText();
        const int cursor = box.lineEdit()->cursorPosition();
        const bool keepTyped = chosen.isEmpty() && !shown.isEmpty() && isTyped();
        box.clear();
        for (const OfferedPort& port : offered) {
            box.addItem(port.text(), port.name);
            box.setItemData(box.count() - 1, port.toolTip(), Qt::ToolTipRole);
        }
        shown = offered;
        if (keepTyped) {
            box.setCurrentIndex(-1);
            box.setEditText(typed);
            box.lineEdit()->setCursorPosition(cursor);
            return;
        }
    }
    if (chosen.isEmpty())
        return;
    for (int i = 0; i < shown.size(); ++i) {
        if (PortList::sameDevice(shown[i].name, chosen)) {
            box.setCurrentIndex(i);
            return;
        }
    }
}
