#include "Host/gui/CallbookModel.h"

#include <sqlite3.h>

namespace {

constexpr int PageSize = 256;

// Runs one statement to its end, row by row.
template <class Row> bool Each(sqlite3* db, const QString& sql, qint64 bound, Row&& row) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK ||
        !stmt) {
        sqlite3_finalize(stmt);
        return false;
    }
    if (sqlite3_bind_parameter_count(stmt) > 0) sqlite3_bind_int64(stmt, 1, bound);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        row(stmt);
    sqlite3_finalize(stmt);
    return true;
}

QString Text(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

TCallbookModel::TCallbookModel(sqlite3* db, QObject* parent)
    : QAbstractTableModel(parent), db_(db) {
    Reload();
}

void TCallbookModel::Reload() {
    beginResetModel();
    columns_.clear();
    rows_.clear();
    lastRowId_ = 0;
    total_ = 0;
    Each(db_, QStringLiteral("SELECT name FROM pragma_table_info('CALLBOOK') ORDER BY cid"), 0,
         [this](sqlite3_stmt* stmt) { columns_ << Text(stmt, 0); });
    Each(db_, QStringLiteral("SELECT COUNT(*) FROM CALLBOOK"), 0,
         [this](sqlite3_stmt* stmt) { total_ = sqlite3_column_int64(stmt, 0); });
    endResetModel();
}

int TCallbookModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TCallbookModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant TCallbookModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= rows_.size()) return {};
    const QStringList& row = rows_[index.row()];
    return index.column() < row.size() ? QVariant(row[index.column()]) : QVariant();
}

QVariant TCallbookModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return section < columns_.size() ? QVariant(columns_[section]) : QVariant();
    return section + 1;
}

bool TCallbookModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && rows_.size() < total_ && !columns_.isEmpty();
}

void TCallbookModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || columns_.isEmpty()) return;
    // By row id, so that a page never depends on the ones before it.
    QVector<QStringList> page;
    qint64 last = lastRowId_;
    const int width = int(columns_.size());
    Each(db_,
         QStringLiteral("SELECT rowid, * FROM CALLBOOK WHERE rowid > ?1 ORDER BY rowid LIMIT %1")
             .arg(PageSize),
         lastRowId_, [&](sqlite3_stmt* stmt) {
             last = sqlite3_column_int64(stmt, 0);
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
