#include "roomsfilter.h"

#include "roomsmodel.h"

RoomsFilter::RoomsFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(RoomsModel::SortRole);
    setDynamicSortFilter(true);
}

void RoomsFilter::setGroup(const QString &group)
{
    chosenGroup = group;
    invalidateFilter();
}

void RoomsFilter::setText(const QString &value)
{
    text = value.trimmed();
    invalidateFilter();
}

bool RoomsFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QAbstractItemModel *model = sourceModel();
    const auto cell = [&](int column) {
        return model->index(sourceRow, column, sourceParent).data().toString();
    };
    if (!chosenGroup.isNull() && cell(RoomsModel::Group) != chosenGroup)
        return false;
    if (text.isEmpty())
        return true;
    for (const int column :
         { RoomsModel::Name, RoomsModel::Group, RoomsModel::Address, RoomsModel::State }) {
        if (cell(column).contains(text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
