#include "archive/WriteReportText.h"

#include "core/Language.h"

namespace orvel {

QString carLinesText(const CarLines& car) {
  QStringList lines;
  for (const QString& line : {car.line1.trimmed(), car.line2.trimmed()})
    if (!line.isEmpty()) lines << line;
  return lines.isEmpty() ? tr3("(bez danych samochodu)", "(no car data)", "(nessun dato veicolo)")
                         : lines.join(QStringLiteral(" / "));
}

namespace {

QString listOf(const std::vector<Setting>& settings, const CaptionLookup& caption) {
  QStringList names;
  for (Setting s : settings) {
    QString name = settingCaption(s, caption);
    while (name.endsWith(QLatin1Char(':')))
      name.chop(1);  // a label's colon, before the sentence's own punctuation
    names << name.trimmed();
  }
  return names.isEmpty() ? tr3("nic", "nothing", "niente") : names.join(QStringLiteral("; "));
}

QString notInEeprom() {
  return tr3(
      "Ustawień nie zapisano w pamięci EEPROM: po wyłączeniu zapłonu sterownik wróci do "
      "ustawień, które miał w niej dotąd.",
      "The settings were not written to the EEPROM: once the ignition is switched off the "
      "controller goes back to the settings it held there before.",
      "Le impostazioni non sono state scritte nella EEPROM: spento il quadro, la centralina "
      "torna alle impostazioni che vi aveva prima.");
}

QString interruptionText(WriteEnd end) {
  switch (end) {
    case WriteEnd::LinkBroke:
      return tr3("łącze ze sterownikiem zawiodło w trakcie wysyłania",
                 "the link to the controller failed while sending",
                 "il collegamento con la centralina si è interrotto durante l'invio");
    case WriteEnd::Uncalibrated:
      return tr3("odczyt kontrolny zgłosił sterownik bez skalibrowanych wolnych obrotów",
                 "the read-back reported a controller without a calibrated idle speed",
                 "la rilettura ha indicato una centralina senza minimo calibrato");
    case WriteEnd::WindowClosed:
      return tr3("okno archiwum zamknięto przed odczytem kontrolnym",
                 "the archive window was closed before the read-back",
                 "la finestra dell'archivio è stata chiusa prima della rilettura");
    case WriteEnd::Console:
      return tr3("otwarto konsolę serwisową przed odczytem kontrolnym",
                 "the service console was opened before the read-back",
                 "la console di servizio è stata aperta prima della rilettura");
    case WriteEnd::Silent:
    case WriteEnd::ReadBack:
      break;
  }
  return tr3("sterownik nie odpowiedział na odczyt kontrolny",
             "the controller did not answer the read-back",
             "la centralina non ha risposto alla rilettura");
}

QString eepromText(const WriteReport& report) {
  switch (report.eeprom) {
    case EepromWrite::Acknowledged:
      return tr3(
          "Ustawienia zapisano w pamięci EEPROM sterownika (11h, odpowiedź 01h): zostaną "
          "po wyłączeniu zapłonu.",
          "The settings were written to the controller's EEPROM (11h, answer 01h): they "
          "stay once the ignition is switched off.",
          "Le impostazioni sono state scritte nella EEPROM della centralina (11h, risposta "
          "01h): restano anche a quadro spento.");
    case EepromWrite::OtherAnswer:
      return tr3("Zapis do pamięci EEPROM (11h) wysłano, ale sterownik odpowiedział %1h zamiast "
                 "01h: nie wiadomo, czy ustawienia zostaną po wyłączeniu zapłonu.",
                 "The EEPROM write (11h) was sent, but the controller answered %1h instead of "
                 "01h: whether the settings stay once the ignition is off is not known.",
                 "La scrittura nella EEPROM (11h) è stata inviata, ma la centralina ha risposto "
                 "%1h invece di 01h: non si sa se le impostazioni restano a quadro spento.")
          .arg(QString::number(report.eepromAnswer, 16)
                   .rightJustified(2, QLatin1Char('0'))
                   .toUpper());
    case EepromWrite::NoAnswer:
      return tr3(
          "Zapis do pamięci EEPROM (11h) wysłano, ale sterownik nie odpowiedział w ciągu "
          "1 s: nie wiadomo, czy ustawienia zostaną po wyłączeniu zapłonu.",
          "The EEPROM write (11h) was sent, but the controller did not answer within 1 s: "
          "whether the settings stay once the ignition is off is not known.",
          "La scrittura nella EEPROM (11h) è stata inviata, ma la centralina non ha "
          "risposto entro 1 s: non si sa se le impostazioni restano a quadro spento.");
    case EepromWrite::NotAwaited:
      return tr3(
          "Zapis do pamięci EEPROM (11h) wysłano; na odpowiedź nie czekano: nie wiadomo, "
          "czy ustawienia zostaną po wyłączeniu zapłonu.",
          "The EEPROM write (11h) was sent; its answer was not waited for: whether the "
          "settings stay once the ignition is off is not known.",
          "La scrittura nella EEPROM (11h) è stata inviata senza attenderne la risposta: "
          "non si sa se le impostazioni restano a quadro spento.");
    case EepromWrite::LinkBroke:
    case EepromWrite::NotSent:
      break;
  }
  return notInEeprom();
}

}  // namespace

QString writePlanText(const WritePlan& plan, const CarLines& car) {
  int sendable = 0;
  for (const WriteStep& step : plan.steps)
    sendable += step.command ? 1 : 0;
  const int left = static_cast<int>(plan.steps.size()) - sendable;
  if (sendable == 0) {
    QString text = tr3(
        "Sterownik ma już ustawienia z tego odczytu (tak, jak pokazuje je edytor), więc nie ma "
        "czego wysyłać. Czy są też w jego pamięci EEPROM, nie da się odczytać: „Zapisz w "
        "EEPROM” zapisze je tam (11h), aby zostały po wyłączeniu zapłonu; „Anuluj” niczego nie "
        "wysyła.",
        "The controller already holds the settings of this read-out (as the editor shows them), "
        "so there is nothing to send. Whether they are also in its EEPROM cannot be read: "
        "“Write to EEPROM” writes them there (11h) so that they stay once the ignition is "
        "switched off; “Cancel” sends nothing.",
        "La centralina ha già le impostazioni di questa lettura (come le mostra l'editor), "
        "quindi non c'è niente da inviare. Se siano anche nella sua EEPROM non si può leggere: "
        "“Scrivi nella EEPROM” ve le scrive (11h), perché restino a quadro spento; “Annulla” "
        "non invia nulla.");
    if (left > 0) {
      text += QLatin1Char(' ') +
              tr3("Różniących się wartości z tabeli edytor nie wysyła (powód w kolumnie "
                  "„Uwagi”): zostaną takie, jak w sterowniku.",
                  "The differing values of the table are not sent by the editor (the reason is "
                  "under “Notes”): they stay as the controller has them.",
                  "I valori diversi della tabella non sono inviati dall'editor (il motivo è "
                  "nella colonna “Note”): restano come nella centralina.");
    }
    return text;
  }
  QString text =
      tr3("„Wyślij zmiany” wyśle do sterownika ustawienia z kolumny „Do zapisania” (%1), jedno "
          "po drugim, zakończy komunikację i odczyta sterownik ponownie. Jeśli odczyt kontrolny "
          "pokaże dokładnie to, co wysłano, program zapisze ustawienia w pamięci EEPROM "
          "sterownika (11h), aby zostały po wyłączeniu zapłonu. Jeśli nie pokaże, pamięć EEPROM "
          "zostanie bez zmian, a po wyłączeniu zapłonu sterownik wróci do poprzednich ustawień.",
          "“Send changes” sends the settings of the column “To be written” (%1) to the "
          "controller one after the other, ends the communication and reads the controller again. "
          "If the "
          "read-back shows exactly what was sent, the program writes the settings to the "
          "controller's EEPROM (11h) so that they stay once the ignition is switched off. If it "
          "does not, the EEPROM is left as it is and the controller goes back to its previous "
          "settings once the ignition is switched off.",
          "“Invia modifiche” invia alla centralina le impostazioni della colonna “Da "
          "scrivere” (%1), una dopo l'altra, chiude la comunicazione e rilegge la centralina. Se "
          "la "
          "rilettura mostra esattamente quanto inviato, il programma scrive le impostazioni "
          "nella EEPROM della centralina (11h), perché restino a quadro spento. Altrimenti la "
          "EEPROM resta com'è e, spento il quadro, la centralina torna alle impostazioni "
          "precedenti.")
          .arg(sendable);
  if (left > 0) {
    text += QLatin1Char(' ') +
            tr3("Nie zostaną wysłane ustawienia, których wartości edytor nie przyjmuje (%1; "
                "powód w kolumnie „Uwagi”).",
                "Settings whose values the editor does not take will not be sent (%1; the "
                "reason is under “Notes”).",
                "Le impostazioni i cui valori l'editor non accetta non saranno inviate (%1; il "
                "motivo è nella colonna “Note”).")
                .arg(left);
  }
  text += QLatin1Char(' ') + tr3("Nowe odczyty zostaną zapisane w archiwum przy samochodzie: %1.",
                                 "The new read-outs are stored in the archive under the car: %1.",
                                 "Le nuove letture sono salvate nell'archivio con il veicolo: %1.")
                                 .arg(carLinesText(car));
  return text;
}

QString notSentText(const WriteStep& step) {
  const QString why = step.whyNotSent.isEmpty() ? tr3("edytor nie wysyła tej wartości",
                                                      "the editor does not send this "
                                                      "value",
                                                      "l'editor non invia questo valore")
                                                : step.whyNotSent;
  return tr3("nie zostanie wysłane: %1", "will not be sent: %1", "non sarà inviato: %1").arg(why);
}

QString stepResultText(const WriteStep& step, StepOutcome outcome, const CaptionLookup& caption) {
  switch (outcome) {
    case StepOutcome::Confirmed:
      return tr3("zapisane i potwierdzone", "written and confirmed", "scritto e confermato");
    case StepOutcome::Differs:
      return tr3("inne po zapisie", "different after writing", "diverso dopo la scrittura");
    case StepOutcome::ThroughUnconfirmed: {
      QStringList bases;
      for (Setting base : convertedThrough(step.setting, *step.command))
        bases << settingCaption(base, caption);
      return tr3("niepotwierdzone: wartość przeliczono przez „%1”, czego sterownik nie przyjął",
                 "not confirmed: the value was converted through “%1”, which the controller did "
                 "not take",
                 "non confermato: il valore è stato convertito tramite “%1”, che la centralina "
                 "non ha accettato")
          .arg(bases.join(QStringLiteral("”, „")));
    }
    case StepOutcome::NotSent: {
      const QString why =
          step.whyNotSent.isEmpty() ? QString() : QStringLiteral(": ") + step.whyNotSent;
      return tr3("nie wysłane", "not sent", "non inviato") + why;
    }
    case StepOutcome::NotReached:
      return tr3("nie wysłane (zapis przerwany)", "not sent (the write broke off)",
                 "non inviato (scrittura interrotta)");
    case StepOutcome::SentUnchecked:
      return tr3("wysłane, nie sprawdzone", "sent, not checked", "inviato, non verificato");
  }
  return QString();
}

std::vector<ByteDifferenceRow> byteDifferencesAfterWrite(const WriteReport& report) {
  std::vector<ByteDifferenceRow> out;
  if (!report.readBack) return out;
  for (Setting setting : allSettings()) {
    if (!holdsSetting(report.record.source, setting)) continue;
    if (settingText(setting, report.record.block) != settingText(setting, *report.readBack))
      continue;
    const QString note = byteDifferenceNote(setting, report.record.block, *report.readBack);
    if (!note.isEmpty()) out.push_back({setting, note});
  }
  return out;
}

QString writeSummaryText(const WriteReport& report, const CaptionLookup& caption) {
  std::vector<Setting> notSent;
  std::vector<Setting> wrong;
  for (std::size_t i = 0; i < report.plan.steps.size(); ++i) {
    const StepOutcome o = report.outcomes.at(i);
    if (o == StepOutcome::NotSent) notSent.push_back(report.plan.steps[i].setting);
    if (o == StepOutcome::Differs || o == StepOutcome::ThroughUnconfirmed)
      wrong.push_back(report.plan.steps[i].setting);
  }
  QStringList parts;
  if (report.end != WriteEnd::ReadBack) {
    parts << tr3("Zapis przerwany: %1.", "The write broke off: %1.", "Scrittura interrotta: %1.")
                 .arg(interruptionText(report.end));
    parts << tr3("Wysłano: %1.", "Sent: %1.", "Inviato: %1.").arg(listOf(report.sent, caption));
    if (!report.sent.empty()) {
      parts << tr3(
          "Nic z tego nie zostało sprawdzone: sterownik mógł przyjąć wszystkie te "
          "ustawienia, część z nich albo żadne.",
          "None of it was checked: the controller may have taken all of these settings, "
          "some of them or none.",
          "Nulla è stato verificato: la centralina può averle accettate tutte, in parte "
          "o per niente.");
    }
    parts << notInEeprom();
    parts << tr3("W archiwum nie zapisano niczego jako zapisu.",
                 "Nothing was stored in the archive as a write.",
                 "Nell'archivio nulla è stato salvato come scrittura.");
    return parts.join(QLatin1Char(' '));
  }
  if (report.blockMatches && report.sent.empty()) {
    parts << tr3(
        "Sterownik miał już ustawienia z odczytu (tak, jak pokazuje je edytor); nie "
        "wysłano nic poza zapisem do pamięci EEPROM.",
        "The controller held the read-out's settings already (as the editor shows "
        "them); nothing but the EEPROM write was sent.",
        "La centralina aveva già le impostazioni della lettura (come le mostra "
        "l'editor); non è stato inviato nulla oltre alla scrittura nella EEPROM.");
  } else if (report.blockMatches) {
    parts << tr3(
        "Odczyt kontrolny zgodny bajt po bajcie z tym, co wysłano (ustawienia tak, jak "
        "pokazuje je edytor).",
        "The read-back agrees byte for byte with what was sent (the settings as the "
        "editor shows them).",
        "La rilettura corrisponde byte per byte a quanto inviato (le impostazioni come "
        "le mostra l'editor).");
  } else {
    QStringList offsets;
    for (int k = 0; k + 1 < kSettingsBlockLength; ++k)
      if ((*report.readBack)[static_cast<std::size_t>(k)] !=
          report.plan.expected[static_cast<std::size_t>(k)])
        offsets << QString::number(k);
    parts << tr3("Odczyt kontrolny różni się od tego, co wysłano (bajty bloku: %1).",
                 "The read-back differs from what was sent (block bytes: %1).",
                 "La rilettura differisce da quanto inviato (byte del blocco: %1).")
                 .arg(offsets.join(QStringLiteral(", ")));
    if (!wrong.empty())
      parts << tr3("Niepotwierdzone: %1.", "Not confirmed: %1.", "Non confermati: %1.")
                   .arg(listOf(wrong, caption));
    parts << tr3("W archiwum zapisano go jako zapis niepotwierdzony.",
                 "It is stored in the archive as an unconfirmed write.",
                 "È salvato nell'archivio come scrittura non confermata.");
  }
  if (!notSent.empty()) {
    parts << tr3("Nie wysłano (edytor nie przyjmuje tych wartości): %1.",
                 "Not sent (the editor does not take these values): %1.",
                 "Non inviati (l'editor non accetta questi valori): %1.")
                 .arg(listOf(notSent, caption));
  }
  const std::vector<ByteDifferenceRow> bytes = byteDifferencesAfterWrite(report);
  if (!bytes.empty()) {
    std::vector<Setting> settings;
    for (const ByteDifferenceRow& row : bytes)
      settings.push_back(row.setting);
    parts << tr3("W sterowniku inne bajty niż w odczycie z archiwum, choć na ekranie to samo "
                 "(kolumna „Uwagi”): %1.",
                 "Stored in other bytes than in the archived read-out, though shown alike (see "
                 "“Notes”): %1.",
                 "Byte diversi nella centralina rispetto alla lettura archiviata, pur uguali a "
                 "video (vedi “Note”): %1.")
                 .arg(listOf(settings, caption));
  }
  parts << eepromText(report);
  return parts.join(QLatin1Char(' '));
}

bool writeSummaryNeedsBox(const WriteReport& report) {
  // A link that failed has told so in its own box, and the report stays in the window.
  return report.end != WriteEnd::ReadBack && report.end != WriteEnd::LinkBroke;
}

}  // namespace orvel
