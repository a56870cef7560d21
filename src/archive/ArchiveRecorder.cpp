#include "archive/ArchiveRecorder.h"

#include "core/Dialogs.h"
#include "core/Language.h"

namespace orvel {

ArchiveRecorder::ArchiveRecorder(QString path) : store_(std::move(path)) {}

std::optional<qint64> ArchiveRecorder::keep(const CarLines& car, ReadoutSource source,
                                            const SettingsBlock& block) {
  const std::optional<qint64> id = store_.add(car, source, block, QDateTime::currentDateTimeUtc());
  if (!id && !failureTold_) {
    failureTold_ = true;
    showMessage(plIt(QStringLiteral("Odczyt nie został zapisany w archiwum:\r\n%1\r\n"
                                    "Praca ze sterownikiem trwa dalej."),
                     QStringLiteral("La lettura non è stata salvata nell'archivio:\r\n%1\r\n"
                                    "Il lavoro con la centralina continua."))
                    .arg(store_.error()),
                attentionTitle(), MessageIcon::Warning);
  }
  tellProblems();
  return id;
}

void ArchiveRecorder::tellProblems() {
  if (store_.movedAside().isEmpty() || damageTold_) return;
  damageTold_ = true;
  showMessage(plIt(QStringLiteral("Plik archiwum był uszkodzony; przeniesiono go do\r\n%1\r\n"
                                  "i założono nowe archiwum."),
                   QStringLiteral("Il file dell'archivio era danneggiato; è stato spostato in\r\n"
                                  "%1\r\ne un nuovo archivio è stato creato."))
                  .arg(store_.movedAside()),
              attentionTitle(), MessageIcon::Warning);
}

}  // namespace orvel
