#include "archive/ArchiveList.h"

#include "archive/ArchivedSettings.h"
#include "core/Language.h"

#include <QDateTime>

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
  const Language language = CurrentLanguage::get();
  const auto pick = [language](const char* pl, const char* en, const char* it) {
    return QString::fromUtf8(language == Language::English   ? en
                             : language == Language::Italian ? it
                                                             : pl);
  };
  switch (*source) {
    case ReadoutSource::Read:
      return pick("odczyt", "read-out", "lettura");
    case ReadoutSource::Import:
      return pick("import .orv", ".orv import", "import .orv");
    case ReadoutSource::Write:
      return pick("zapis", "written", "scrittura");
  }
  return storedSource;
}

void ArchiveListModel::setRows(std::vector<ReadoutSummary> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  haystacks_.clear();
  haystacks_.reserve(rows_.size());
  for (const ReadoutSummary& r : rows_)
    haystacks_.push_back((r.car.line1 + QLatin1Char('\n') + r.car.line2).toCaseFolded());
  refilter();
  endResetModel();
}

void ArchiveListModel::refilter() {
  visible_.clear();
  const QString needle = filter_.trimmed().toCaseFolded();
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (needle.isEmpty() || haystacks_[i].contains(needle)) visible_.push_back(static_cast<int>(i));
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

const ReadoutSummary* ArchiveListModel::summaryOf(qint64 id) const {
  for (const ReadoutSummary& r : rows_)
    if (r.id == id) return &r;
  return nullptr;
}

void ArchiveListModel::setNote(qint64 id, const QString& note) {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].id != id) continue;
    rows_[i].note = note;
    for (std::size_t v = 0; v < visible_.size(); ++v) {
      if (visible_[v] != static_cast<int>(i)) continue;
      const QModelIndex cell = index(static_cast<int>(v), Note);
      Q_EMIT dataChanged(cell, cell);
    }
  }
}

int ArchiveListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int ArchiveListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const ReadoutSummary& r =
      rows_[static_cast<std::size_t>(visible_[static_cast<std::size_t>(index.row())])];
  switch (index.column()) {
    case TakenAt:
      return localTimeText(r.takenAt);
    case CarLine1:
      return r.car.line1;
    case CarLine2:
      return r.car.line2;
    case Source:
      return sourceText(r.source);
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
      {"EditProgTPS", d.EditProgTPS},     {"EditProgGB", d.EditProgGB},
      {"EditProgLambda", d.EditProgLambda}, {"Edit5", d.Edit5},
      {"Editobrotymax", d.Editobrotymax}, {"Edit4", d.Edit4},
      {"Edit3", d.Edit3},                 {"EditThLambda", d.EditThLambda},
      {"EditOkresLambda", d.EditOkresLambda}, {"EditThLambda2", d.EditThLambda2},
      {"EditOkresLambda2", d.EditOkresLambda2}, {"Editsilnikmax", d.Editsilnikmax},
      {"EditSilnikmin", d.EditSilnikmin}, {"EditSilnikopt", d.EditSilnikopt},
      {"Edit1", d.Edit1},                 {"Edit2", d.Edit2},
      {"Edit7", d.Edit7},                 {"Edit8", d.Edit8},
  };
  for (const auto& [control, text] : fields)
    s.texts.insert(QLatin1String(control), text);
  for (std::size_t i = 0; i < kFlagRadios.size(); ++i)
    s.selected[kFlagRadios[i]] = d.radioItems[i];
  return s;
}

}  // namespace orvel
