#include "ui/SetPointLimits.h"

#include "ui/DriveView.h"

#include <QMessageBox>

#include <optional>

using namespace SharedVariables;

namespace {

// A limit as its field shows it; none while the field shows no number.
std::optional<int> shownLimit(const DriveView& view, Index index)
{
    const QLineEdit* field = view.findChild<QLineEdit*>(variable(index).fieldName());
    bool ok = false;
    const int value = field->text().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

bool confirmSetPointLimits(DriveView& view, Index index, double value)
{
    const int entered = int(value);
    const std::optional<int> minimum = shownLimit(view, SetPointMin);
    const std::optional<int> maximum = shownLimit(view, SetPointMax);
    const bool belowMinimum = minimum && entered < *minimum;
    const bool aboveMaximum = maximum && entered > *maximum;
    QString conflict;
    if (index == SetPointMin && aboveMaximum)
        conflict = QStringLiteral("SetPointMin %1 is above SetPointMax %2.").arg(entered).arg(*maximum);
    else if (index == SetPointMax && belowMinimum)
        conflict = QStringLiteral("SetPointMax %1 is below SetPointMin %2.").arg(entered).arg(*minimum);
    else if (index == SetPoint && belowMinimum)
        conflict = QStringLiteral("SetPoint %1 is below SetPointMin %2.").arg(entered).arg(*minimum);
    else if (index == SetPoint && aboveMaximum)
        conflict = QStringLiteral("SetPoint %1 is above SetPointMax %2.").arg(entered).arg(*maximum);
    if (conflict.isEmpty())
        return true;
    return QMessageBox::question(&view, QStringLiteral("Set-point limits"),
                                 conflict + QStringLiteral("\n\nSend %1 %2 to the board anyway?")
                                                .arg(QLatin1String(variable(index).name))
                                                .arg(entered),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}
