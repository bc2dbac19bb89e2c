#include "core/PendingWrites.h"

#include <algorithm>

using namespace SharedVariables;

void PendingWrites::add(int motor, Index index, qint64 request)
{
    remove(motor, index);
    writes.append({{motor, index}, request});
}

bool PendingWrites::contains(int motor, Index index) const
{
    return std::any_of(writes.cbegin(), writes.cend(),
                       [variable = Variable{motor, index}](const Write& write) { return write.variable == variable; });
}

void PendingWrites::remove(int motor, Index index)
{
    writes.erase(std::remove_if(writes.begin(), writes.end(),
                                [variable = Variable{motor, index}](const Write& write) { return write.variable == variable; }),
                 writes.end());
}

QVector<PendingWrites::Variable> PendingWrites::confirm(int windowAddress, qint64 answeredRequest)
{
    QVector<Variable> confirmed;
    const auto isConfirmed = [&](const Write& write) {
        const int at = address(write.variable.motor, write.variable.index);
        return write.request <= answeredRequest && at / WindowSize * WindowSize == windowAddress;
    };
    for (const Write& write : writes) {
        if (isConfirmed(write))
            confirmed.append(write.variable);
    }
    if (!confirmed.isEmpty())
        writes.erase(std::remove_if(writes.begin(), writes.end(), isConfirmed), writes.end());
    return confirmed;
}
