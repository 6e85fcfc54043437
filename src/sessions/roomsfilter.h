#pragma once

#include <QSortFilterProxyModel>
#include <QString>

// The rows of one group (all while none is chosen) whose name, group,
// address or state holds the text, in any letter case; sorted by the
// model's sort values, so hours sort as numbers.
class RoomsFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit RoomsFilter(QObject *parent = nullptr);

    void setGroup(const QString &group);
    // A null group shows all; an empty one those without a group.
    QString group() const { return chosenGroup; }
    void setText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString chosenGroup;
    QString text;
};
