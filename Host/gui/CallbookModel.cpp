#include "Host/gui/CallbookModel.h"

namespace {

constexpr int PageSize = 256;

// Runs one statement to its end, row by row; false when it is refused or
// fails part-way.
template <class Row> bool Each(TSqliteDatabase& db, const QString& sql, qint64 bound, Row&& row)
{
    try {
        TSqliteStatement stmt(db, sql.toStdString(), TSqliteStatement::TTail::Ignore);
        if (stmt.ParameterCount() > 0) stmt.BindInt64(1, bound);
        while (stmt.Step())
            row(stmt);
        return true;
    } catch (const EOleException&) {
        return false;
    }
}

QString Text(const TSqliteStatement& stmt, int column)
{
    const std::string_view text = stmt.ColumnText(column);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

TCallbookModel::TCallbookModel(TSqliteDatabase& db, QObject* parent) : QAbstractTableModel(parent), db_(db)
{
    Reload();
}

void TCallbookModel::Reload()
{
    beginResetModel();
    columns_.clear();
    rows_.clear();
    lastRowId_ = 0;
    total_ = 0;
    Each(db_, QStringLiteral("SELECT name FROM pragma_table_info('CALLBOOK') ORDER BY cid"), 0,
         [this](TSqliteStatement& stmt) { columns_ << Text(stmt, 0); });
    Each(db_, QStringLiteral("SELECT COUNT(*) FROM CALLBOOK"), 0,
         [this](TSqliteStatement& stmt) { total_ = stmt.ColumnInt64(0); });
    endResetModel();
}

int TCallbookModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int TCallbookModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant TCallbookModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= rows_.size()) return {};
    const QStringList& row = rows_[index.row()];
    return index.column() < row.size() ? QVariant(row[index.column()]) : QVariant();
}

QVariant TCallbookModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return section < columns_.size() ? QVariant(columns_[section]) : QVariant();
    return section + 1;
}

bool TCallbookModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && rows_.size() < total_ && !columns_.isEmpty();
}

void TCallbookModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || columns_.isEmpty()) return;
    // By row id, so that a page never depends on the ones before it.
    QVector<QStringList> page;
    qint64 last = lastRowId_;
    const int width = int(columns_.size());
    Each(db_, QStringLiteral("SELECT rowid, * FROM CALLBOOK WHERE rowid > ?1 ORDER BY rowid LIMIT %1").arg(PageSize),
         lastRowId_, [&](TSqliteStatement& stmt) {
             last = stmt.ColumnInt64(0);
             QStringList row;
             for (int c = 0; c < width; ++c)
                 row << Text(stmt, c + 1);
             page.push_back(row);
         });
    if (page.isEmpty()) {
        // Fewer rows than counted: the table shrank since.
        total_ = rows_.size();
        return;
    }
    beginInsertRows({}, int(rows_.size()), int(rows_.size() + page.size() - 1));
    rows_ += page;
    lastRowId_ = last;
    endInsertRows();
}
