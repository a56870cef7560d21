#include "archive/ArchiveList.h"

#include "archive/ArchivedSettings.h"
#include "core/Language.h"

#include <QColor>
#include <QDateTime>
#include <QSet>

namespace orvel {

QString localTimeText(const QString& storedUtc) {
  QDateTime t = QDateTime::fromString(storedUtc, Qt::ISODate);
  if (!t.isValid()) return storedUtc;
  t.setTimeSpec(Qt::UTC);
  return t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString sourceText(const QString& storedSource) {
  const auto source = sourceFromCode(storedSource);
  if (!source) return storedSource;
  switch (*source) {
    case ReadoutSource::Read:
      return tr3("odczyt", "read-out", "lettura");
    case ReadoutSource::Import:
      return tr3("import .orv", ".orv import", "import .orv");
    case ReadoutSource::Write:
      return tr3("zapis", "written", "scrittura");
    case ReadoutSource::WriteUnconfirmed:
      return tr3("zapis niepotwierdzony", "write not confirmed", "scrittura non confermata");
  }
  return storedSource;
}

namespace {
// Rows read from the file at a time, around the one the view asks for.
constexpr int kPage = 128;
}  // namespace

void ArchiveListModel::load(ArchiveStore& store) {
  beginResetModel();
  store_ = &store;
  rows_ = store.listOrder();
  cars_ = store.cars();
  haystacks_.clear();
  for (auto it = cars_.cbegin(); it != cars_.cend(); ++it)
    haystacks_.insert(it.key(),
                      (it.value().line1 + QLatin1Char('\n') + it.value().line2).toCaseFolded());
  notes_.clear();
  const QHash<qint64, QString> notes = store.notes();
  for (auto it = notes.cbegin(); it != notes.cend(); ++it)
    notes_.insert(it.key(), it.value().toCaseFolded());
  cache_.clear();
  refilter();
  endResetModel();
}

void ArchiveListModel::refilter() {
  visible_.clear();
  const QString needle = filter_.trimmed().toCaseFolded();
  // The text is looked for once per car, not once per read-out.
  QSet<qint64> matching;
  for (auto it = haystacks_.cbegin(); it != haystacks_.cend(); ++it)
    if (needle.isEmpty() || it.value().contains(needle)) matching.insert(it.key());
  QSet<qint64> noted;
  if (!needle.isEmpty()) {
    for (auto it = notes_.cbegin(); it != notes_.cend(); ++it)
      if (it.value().contains(needle)) noted.insert(it.key());
  }
  visible_.reserve(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (matching.contains(rows_[i].carId) || noted.contains(rows_[i].id))
      visible_.push_back(static_cast<int>(i));
}

void ArchiveListModel::setFilter(const QString& text) {
  beginResetModel();
  filter_ = text;
  refilter();
  endResetModel();
}

void ArchiveListModel::setHeaders(const QStringList& headers) {
  headers_ = headers;
  Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

qint64 ArchiveListModel::idAt(int row) const {
  if (row < 0 || row >= static_cast<int>(visible_.size())) return 0;
  return rows_[static_cast<std::size_t>(visible_[static_cast<std::size_t>(row)])].id;
}

const ReadoutSummary* ArchiveListModel::fetched(int row) const {
  const qint64 id = idAt(row);
  if (id == 0 || !store_) return nullptr;
  auto it = cache_.constFind(id);
  if (it != cache_.cend()) return &*it;
  std::vector<qint64> ids;
  const int first = row - row % kPage;
  for (int r = first; r < first + kPage && r < rowCount(); ++r)
    if (!cache_.contains(idAt(r))) ids.push_back(idAt(r));
  for (ReadoutSummary& summary : store_->summaries(ids))
    cache_.insert(summary.id, std::move(summary));
  it = cache_.constFind(id);
  return it == cache_.cend() ? nullptr : &*it;
}

const ReadoutSummary* ArchiveListModel::summaryOf(qint64 id) const {
  for (int row = 0; row < rowCount(); ++row)
    if (idAt(row) == id) return fetched(row);
  return nullptr;
}

void ArchiveListModel::setNote(qint64 id, const QString& note) {
  auto it = cache_.find(id);
  if (it != cache_.end()) it->note = note;
  if (note.isEmpty()) {
    notes_.remove(id);
  } else {
    notes_.insert(id, note.toCaseFolded());
  }
  for (int row = 0; row < rowCount(); ++row) {
    if (idAt(row) != id) continue;
    const QModelIndex cell = index(row, Note);
    Q_EMIT dataChanged(cell, cell);
  }
}

int ArchiveListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int ArchiveListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role != Qt::DisplayRole && role != Qt::ForegroundRole) return {};
  const ReadoutSummary* row = fetched(index.row());
  if (!row) return {};
  const ReadoutSummary& r = *row;
  if (role == Qt::ForegroundRole) {
    // A write the read-back did not confirm stands out from the writes it did.
    if (r.source == sourceCode(ReadoutSource::WriteUnconfirmed)) return QColor(176, 0, 0);
    return {};
  }
  switch (index.column()) {
    case TakenAt:
      return localTimeText(r.takenAt);
    case CarLine1:
      return r.car.line1;
    case CarLine2:
      return r.car.line2;
    case Source:
      return sourceText(r.source);
    case Site:
      return r.site;
    case Note:
      return r.note;
    default:
      return {};
  }
}

QVariant ArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return headers_.value(section);
}

EditorSnapshot snapshotOfBlock(const EditorSnapshot& captions, const SettingsBlock& block) {
  EditorSnapshot s = captions;
  const DecodedSettings d = decodeSettingsBlock(block, blockReference(block), false);
  const std::pair<const char*, QString> fields[] = {
      {"EditProgTPS", d.EditProgTPS},
      {"EditProgGB", d.EditProgGB},
      {"EditProgLambda", d.EditProgLambda},
      {"Edit5", d.Edit5},
      {"Editobrotymax", d.Editobrotymax},
      {"Edit4", d.Edit4},
      {"Edit3", d.Edit3},
      {"EditThLambda", d.EditThLambda},
      {"EditOkresLambda", d.EditOkresLambda},
      {"EditThLambda2", d.EditThLambda2},
      {"EditOkresLambda2", d.EditOkresLambda2},
      {"Editsilnikmax", d.Editsilnikmax},
      {"EditSilnikmin", d.EditSilnikmin},
      {"EditSilnikopt", d.EditSilnikopt},
      {"Edit1", d.Edit1},
      {"Edit2", d.Edit2},
      {"Edit7", d.Edit7},
      {"Edit8", d.Edit8},
  };
  for (const auto& [control, text] : fields)
    s.texts.insert(QLatin1String(control), text);
  for (std::size_t i = 0; i < kFlagRadios.size(); ++i)
    s.selected[kFlagRadios[i]] = d.radioItems[i];
  return s;
}

}  // namespace orvel
