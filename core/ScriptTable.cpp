#include "core/ScriptTable.h"

#include "core/ScriptRunner.h"

int ScriptTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int ScriptTable::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ScriptRunner::ColumnCount;
}

QVariant ScriptTable::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return rows[index.row()][index.column()];
}

bool ScriptTable::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::EditRole)
        return false;
    rows[index.row()][index.column()] = value;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool ScriptTable::insertRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || row > rows.size() || count < 0)
        return false;
    if (count == 0)
        return true;
    beginInsertRows(parent, row, row + count - 1);
    rows.insert(row, count, QVector<QVariant>(ScriptRunner::ColumnCount));
    endInsertRows();
    return true;
}

bool ScriptTable::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count < 0 || row + count > rows.size())
        return false;
    if (count == 0)
        return true;
    beginRemoveRows(parent, row, row + count - 1);
    rows.remove(row, count);
    endRemoveRows();
    return true;
}
