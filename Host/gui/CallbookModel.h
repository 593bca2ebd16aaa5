// The host callbook as a table model: rows fetched page by page as the view
// scrolls, every statement run to its end so no read stays open while the
// plug-ins write.
#pragma once

#include "Platform/Ado/Sqlite.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

class TCallbookModel : public QAbstractTableModel {
public:
    explicit TCallbookModel(TSqliteDatabase& db, QObject* parent = nullptr);

    // Reads the columns and the row count again and starts from the top.
    void Reload();
    // Stations in the table (all of them, fetched or not).
    qint64 TotalRows() const { return total_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    TSqliteDatabase& db_;
    QStringList columns_;
    QVector<QStringList> rows_;
    qint64 lastRowId_ = 0;
    qint64 total_ = 0;
};
