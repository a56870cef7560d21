#include "app/CaptionTables.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QWidget>

#include <iterator>

namespace orvel {

namespace {

// The rows as the windows were designed to be captioned, language by language; every text is
// exactly as the fitters know it, odd spellings and leading blanks included.
const CaptionRow kPolish[] = {
    {"TForm1", "Wyjcie1", "&Wyjście"},
    {"TForm1", "d1", "&Opcje"},
    {"TForm1", "c1", "&Parametry"},
    {"TForm1", "Pomoc1", "&Pomoc"},
    {"TForm1", "Zamknijprogram1", "Wyjście z programu"},
    {"TForm1", "Wybrportu1", "Wybierz port"},
    {"TForm1", "Wybierzj1", "Wybierz język"},
    {"TForm1", "Drukowanieparametrw1", "Drukowanie parametrów"},
    {"TForm1", "puste31", "Użytkownik programu"},
    {"TForm1", "Zapiszdopliku1", "Zapisz do pliku"},
    {"TForm1", "Odczytajzpliku1", "Odczytaj z pliku"},
    {"TForm1", "Zmianaparametrwpracy1", "Zmiana parametrów pracy"},
    {"TForm1", "Autokalibracja1", "Autokalibracja"},
    {"TForm1", "Tryboscyloskopu1", "Tryb oscyloskopu"},
    {"TForm1", "SkalowanieobrotwPB1", "Skalowanie obrotów"},
    {"TForm1", "Opis1", "Pomoc"},
    {"TForm1", "Oprogramie1", "O programie"},
    {"TForm1", "Polski1", "Polski"},
    {"TForm1", "Angielski1", "Angielski"},
    {"TForm1", "Woski1", "Włoski"},
    {"TForm1/Panel1", "BtnPauza", "Pauza"},
    {"TForm1/Panel1", "Koniec", "Koniec"},
    {"TForm1/Panel1", "Label70", "Bogata"},
    {"TForm1/Panel1", "Label71", "Uboga"},
    {"TForm1/Panel1", "Label16", "Obroty:"},
    {"TForm1/Panel1", "Label19", "Zawór:"},
    {"TForm1/Panel1", "Label21", "Otwarty"},
    {"TForm1/Panel1", "Label20", "Zamkn."},
    {"TAboutBox", "Version", "Wersja 2.2    03.01.2002"},
    {"TAboutBox", "", "O programie"},
    {"TForm3", "", "Użytkownik programu/dane samochodu"},
    {"TForm3", "Label2", "Dane użytkownika:"},
    {"TForm3", "Label4", "Podaj dane samochodu, które pojawią się na wydruku parametrów:"},
    {"TForm3", "SpeedButton1", "&Anuluj"},
    {"TForm3", "SpeedButton2", "&Zapisz"},
    {"TForm2", "", "Otwórz plik"},
    {"TEdytuj_dane", "", "Ręczne wpisywanie ustawień"},
    {"TEdytuj_dane", "RadioGroup2Item0", "rosnący"},
    {"TEdytuj_dane", "RadioGroup2Item1", "malejący"},
    {"TEdytuj_dane", "RadioGroup5", "Obroty"},
    {"TEdytuj_dane", "RadioGroup5Item0", "rosnące"},
    {"TEdytuj_dane", "RadioGroup5Item1", "malejące"},
    {"TEdytuj_dane", "Label8", "Silnik krokowy min,max [1..255]:"},
    {"TEdytuj_dane", "Label10", "Silnik krokowy start [1..255]:"},
    {"TEdytuj_dane", "Label9", "Pozycja silnika (CutOff) [1..255]:"},
    {"TEdytuj_dane", "Label6", "Obroty silnika dla (CutOff) [rpm]:"},
    {"TEdytuj_dane", "CheckBox1", "CutOff tak/nie"},
    {"TEdytuj_dane", "SpeedButton1", "Zapisz"},
    {"TEdytuj_dane", "RadioGroup3", "Tryb pracy sterownika"},
    {"TEdytuj_dane", "RadioGroup3Item0", "Praca dynamiczna"},
    {"TEdytuj_dane", "RadioGroup3Item1", "Praca ekonomiczna"},
    {"TEdytuj_dane", "Label4", "Próg przełączania TPS [0..10V]:"},
    {"TEdytuj_dane", "Label7", "Próg sondy Lambda [0..5V];"},
    {"TEdytuj_dane", "Label5", "Próg przełączenia B/G [rpm]"},
    {"TEdytuj_dane", "Label13", "Opóżnienie startowe [1..50s]:"},
    {"TEdytuj_dane", "Label12", "Opóźnienie przełączenia B/G [ms]:"},
    {"TEdytuj_dane", "Label11", "Maksymalne obroty dla gazu [rpm]"},
    {"TEdytuj_dane", "Label17", "Parametry funkcji przyspieszania"},
    {"TEdytuj_dane", "Label15", "Otwarcie silnika krokowego [2..50]:"},
    {"TEdytuj_dane", "Label14", "Parametry dla przełączania na obrotach opadających"},
    {"TEdytuj_dane", "Label22", "Poniżej TPS"},
    {"TEdytuj_dane", "Label23", "Powyżej TPS"},
    {"TEdytuj_dane", "Label18", "Prędkość silnika krokowego [1..24] razy wolniej:"},
    {"TEdytuj_dane", "Label16", "Delta obrotów [2..50]:"},
    {"TEdytuj_dane", "CheckBox3", "Wyłącz maksymalne obroty"},
    {"TForm1/PanelKalib", "Label37", "Próg przełączania B/G [rpm]"},
    {"TForm1/PanelKalib", "Label39", "Dolna wartość LAMBDA [V]"},
    {"TForm1/PanelKalib", "Label41", "Dolna wartość TPS [V]"},
    {"TForm1/PanelKalib", "Label45", "Górna wartość LAMBDA [V]"},
    {"TForm1/PanelKalib", "Label47", "Górna wartość TPS [V]"},
    {"TForm1/PanelKalib", "Label35", "Próg przełączania LAMBDA"},
    {"TForm1/PanelKalib", "Label51", "Próg przełączania TPS [V]"},
    {"TForm1/PanelKalib", "Label52", "Maksymalne obroty dla gazu"},
    {"TForm1/PanelKalib", "Label53", "Delta przy obrotach malejących"},
    {"TForm1/PanelKalib", "Label54", "Pozycja startowa silnika krok."},
    {"TForm1/PanelKalib", "Label55", "Zakres silnika krokowego"},
    {"TForm1/PanelKalib", "Label64", "TH/TL sondy Lambda 1"},
    {"TForm1/PanelKalib", "Label66", "TH/TL sondy Lambda 2"},
    {"TForm1/PanelKalib", "Label76", "Obroty hamowania silnika"},
    {"TForm1/PanelKalib", "Label78", "Silnik krok. (hamowanie)"},
    {"TForm1/PanelKalib", "Label86", "Opóźnienie początkowe [s]"},
    {"TForm1/PanelKalib", "RadioGroup3", "Typ Sondy Lambda"},
    {"TForm1/PanelKalib", "RadioGroup1Item0", "rosnące"},
    {"TForm1/PanelKalib", "RadioGroup1Item1", "malejące"},
    {"TForm1/PanelKalib", "RadioGroup2Item0", "włączona [on]"},
    {"TForm1/PanelKalib", "RadioGroup2Item1", "wyłączona [off]"},
};
const CaptionRow kEnglish[] = {
    {"TForm1", "Wyjcie1", "&Exit"},
    {"TForm1", "d1", "&Options"},
    {"TForm1", "c1", "&Parameters"},
    {"TForm1", "Pomoc1", "&Help"},
    {"TForm1", "Zamknijprogram1", "Exit"},
    {"TForm1", "Wybrportu1", "Ports"},
    {"TForm1", "Wybierzj1", "Language"},
    {"TForm1", "Drukowanieparametrw1", "Print of parameters"},
    {"TForm1", "puste31", "User name"},
    {"TForm1", "Zapiszdopliku1", "Save to file"},
    {"TForm1", "Odczytajzpliku1", "Open file"},
    {"TForm1", "Zmianaparametrwpracy1", "Parameters"},
    {"TForm1", "Autokalibracja1", "Auto-parameters"},
    {"TForm1", "Tryboscyloskopu1", "Scope"},
    {"TForm1", "SkalowanieobrotwPB1", "Read RPM"},
    {"TForm1", "Opis1", "Contens"},
    {"TForm1", "Oprogramie1", "About"},
    {"TForm1", "Polski1", "Polish"},
    {"TForm1", "Angielski1", "English"},
    {"TForm1", "Woski1", "Italiano"},
    {"TForm1/Panel1", "BtnPauza", "Pause"},
    {"TForm1/Panel1", "Koniec", "End"},
    {"TForm1/Panel1", "Label70", "  Rich"},
    {"TForm1/Panel1", "Label71", "  Poor"},
    {"TForm1/Panel1", "Label16", " RPM"},
    {"TForm1/Panel1", "Label19", "Stepper"},
    {"TForm1/Panel1", "Label21", " Opened"},
    {"TForm1/Panel1", "Label20", "Closed"},
    {"TAboutBox", "Version", "Version 2.2    03.01.2002"},
    {"TAboutBox", "", "About"},
    {"TForm3", "", "User name"},
    {"TForm3", "Label2", "User data:"},
    {"TForm3", "Label4", "Short info about a car: (for print)"},
    {"TForm3", "SpeedButton1", "Cancel"},
    {"TForm3", "SpeedButton2", "Save"},
    {"TForm2", "", "Open file"},
    {"TEdytuj_dane", "", "Parameters"},
    {"TEdytuj_dane", "RadioGroup2Item0", "up"},
    {"TEdytuj_dane", "RadioGroup2Item1", "down"},
    {"TEdytuj_dane", "RadioGroup5", "RPM"},
    {"TEdytuj_dane", "RadioGroup5Item0", "up"},
    {"TEdytuj_dane", "RadioGroup5Item1", "down"},
    {"TEdytuj_dane", "Label8", "Stepper motor min,max [1..255]:"},
    {"TEdytuj_dane", "Label10", "Stepper motor start [1..255]:"},
    {"TEdytuj_dane", "Label9", "Stepper (CutOff) [1..255]:"},
    {"TEdytuj_dane", "Label6", "RPM (CutOff) [rpm]:"},
    {"TEdytuj_dane", "CheckBox1", "CutOff yes/no"},
    {"TEdytuj_dane", "SpeedButton1", "&Save"},
    {"TEdytuj_dane", "RadioGroup3", "Mode of work"},
    {"TEdytuj_dane", "RadioGroup3Item0", "dynamic"},
    {"TEdytuj_dane", "RadioGroup3Item1", "economic"},
    {"TEdytuj_dane", "Label4", "Trigger level TPS [0..10V]:"},
    {"TEdytuj_dane", "Label7", "Trigger level O2 [0..5V];"},
    {"TEdytuj_dane", "Label5", "RPM-switching to gas [rpm]"},
    {"TEdytuj_dane", "Label13", "Start delay [1..50s]:"},
    {"TEdytuj_dane", "Label12", "Switching delay to gas [ms]:"},
    {"TEdytuj_dane", "Label11", "Max. RPM on gas [rpm]"},
    {"TEdytuj_dane", "Label17", "Parameter of accelerate"},
    {"TEdytuj_dane", "Label15", "Opening stepper motor [2..50]:"},
    {"TEdytuj_dane", "Label14", "Parameters for switching on falling rotates"},
    {"TEdytuj_dane", "Label22", "Below TPS"},
    {"TEdytuj_dane", "Label23", "Above TPS"},
    {"TEdytuj_dane", "Label18", "Stepper motor speed [1..24] times slowly:"},
    {"TEdytuj_dane", "Label16", "Difference of rotates [2..50]:"},
    {"TEdytuj_dane", "CheckBox3", "Turn off Max. RPM on gas"},
};
const CaptionRow kItalian[] = {
    {"TForm1/PanelKalib", "KalibAnuluj", "&Cancella"},
    {"TForm1", "Wyjcie1", "&Uzcita"},
    {"TForm1", "d1", "&Opzioni"},
    {"TForm1", "c1", "&Parametri"},
    {"TForm1", "Pomoc1", "&Ajuto"},
    {"TForm1", "Zamknijprogram1", "Esci dal programma"},
    {"TForm1", "Wybrportu1", "Scelta port"},
    {"TForm1", "Wybierzj1", "Scelta lingua"},
    {"TForm1", "Drukowanieparametrw1", "Stampa parametri"},
    {"TForm1", "puste31", "Utente programma"},
    {"TForm1", "Zapiszdopliku1", "Scarica file"},
    {"TForm1", "Odczytajzpliku1", "Leggi file"},
    {"TForm1", "Zmianaparametrwpracy1", "Cambio parametri lavoro"},
    {"TForm1", "Autokalibracja1", "Autotaratura"},
    {"TForm1", "Tryboscyloskopu1", "Stato osciloscopo"},
    {"TForm1", "SkalowanieobrotwPB1", "Scalare giri"},
    {"TForm1", "Opis1", "Ajuto"},
    {"TForm1", "Oprogramie1", "Su programma"},
    {"TForm1", "Polski1", "Polacco"},
    {"TForm1", "Angielski1", "Inglese"},
    {"TForm1", "Woski1", "Italiano"},
    {"TForm1/Panel1", "BtnPauza", "Pausa"},
    {"TForm1/Panel1", "Koniec", "Fine"},
    {"TForm1/Panel1", "Label70", "Ricca"},
    {"TForm1/Panel1", "Label71", "Magra"},
    {"TForm1/Panel1", "Label16", "Giri:"},
    {"TForm1/Panel1", "Label19", "Valvola:"},
    {"TForm1/Panel1", "Label21", "Aperto"},
    {"TForm1/Panel1", "Label20", "Chiuso"},
    {"TAboutBox", "Version", "Wersione 2.2    3.01.2002"},
    {"TAboutBox", "", "Su programma"},
    {"TForm3", "", "L'utente programma/dati auto"},
    {"TForm3", "Label2", " Dati dell'utente:"},
    {"TForm3", "Label4", "Scrivi dati della macchinache appaiono sulla stampa parameti:"},
    {"TForm3", "SpeedButton1", "&Cancella"},
    {"TForm3", "SpeedButton2", "&Salva"},
    {"TForm2", "", "Apri file"},
    {"TEdytuj_dane", "", "scrittura manuale"},
    {"TEdytuj_dane", "RadioGroup2Item0", "crescente"},
    {"TEdytuj_dane", "RadioGroup2Item1", "Calante"},
    {"TEdytuj_dane", "RadioGroup5", "Giri"},
    {"TEdytuj_dane", "RadioGroup5Item0", "crescenti"},
    {"TEdytuj_dane", "RadioGroup5Item1", "calanti"},
    {"TEdytuj_dane", "Label8", "Attuatore min,max [1..255]:"},
    {"TEdytuj_dane", "Label10", "Attuatore start [1..255]:"},
    {"TEdytuj_dane", "Label9", "Posizicione attuatore (CutOff) [1..255]:"},
    {"TEdytuj_dane", "Label6", "Giri motore per (CutOff) [rpm]:"},
    {"TEdytuj_dane", "CheckBox1", "CutOff si/no"},
    {"TEdytuj_dane", "SpeedButton1", "Salva"},
    {"TEdytuj_dane", "RadioGroup3", "Stato sistema"},
    {"TEdytuj_dane", "RadioGroup3Item0", "Lavoro dinamico"},
    {"TEdytuj_dane", "RadioGroup3Item1", "Lavoro economico"},
    {"TEdytuj_dane", "Label4", "Soglia commutazione TPS [0..10V]:"},
    {"TEdytuj_dane", "Label7", "Soglia sonda Lambda [0..5V];"},
    {"TEdytuj_dane", "Label5", "Soglia commutazione B/G [rpm]"},
    {"TEdytuj_dane", "Label13", "Ritardo start [1..50s]:"},
    {"TEdytuj_dane", "Label12", "Ritardo commutazione B/G [ms]:"},
    {"TEdytuj_dane", "Label11", "Giri massimi per gas [rpm]"},
    {"TEdytuj_dane", "Label17", "Parametri pompata"},
    {"TEdytuj_dane", "Label15", "Apertura attuatore [2..50]:"},
    {"TEdytuj_dane", "Label14", "Parametri commutazione in decelerazione"},
    {"TEdytuj_dane", "Label22", "Sotto TPS"},
    {"TEdytuj_dane", "Label23", "Sotta TPS"},
    {"TEdytuj_dane", "Label18", "Velocita attuatore [1..24] volte meno:"},
    {"TEdytuj_dane", "Label16", "Delta giri [2..50]:"},
    {"TEdytuj_dane", "CheckBox3", "Dissativazione giri massimi"},
    {"TForm1/PanelKalib", "Label37", "Soglia Commutazione B/G"},
    {"TForm1/PanelKalib", "Label39", "Min Valore Lambda [V]"},
    {"TForm1/PanelKalib", "Label41", "Min Valore Tps [V]"},
    {"TForm1/PanelKalib", "Label45", "Mass Valore Lambda [V]"},
    {"TForm1/PanelKalib", "Label47", "Mass Valore Tps [V]"},
    {"TForm1/PanelKalib", "Label35", "Soglia Commutazione Lambda"},
    {"TForm1/PanelKalib", "Label51", "Soglia Commutazione Tps [V]"},
    {"TForm1/PanelKalib", "Label52", "Mass Giri Per Gas"},
    {"TForm1/PanelKalib", "Label53", "Delta Ai Giri Scendenti"},
    {"TForm1/PanelKalib", "Label54", "Reset Attuatore"},
    {"TForm1/PanelKalib", "Label55", "Limiti Lavoro Attuatore"},
    {"TForm1/PanelKalib", "Label64", "TH/TL Sonda Lambda 1"},
    {"TForm1/PanelKalib", "Label66", "TH/TL Sonda Lambda 2"},
    {"TForm1/PanelKalib", "Label76", "Giri Della Frenata Motore"},
    {"TForm1/PanelKalib", "Label78", "Attuatore (Frenata)"},
    {"TForm1/PanelKalib", "Label86", "Ritardo Iniziale [S]"},
    {"TForm1/PanelKalib", "RadioGroup3", "Tipo Sonda Lambda"},
    {"TForm1/PanelKalib", "RadioGroup1Item0", "crescendi"},
    {"TForm1/PanelKalib", "RadioGroup1Item1", "diminuendi"},
    {"TForm1/PanelKalib", "RadioGroup2Item0", "accendi [on]"},
    {"TForm1/PanelKalib", "RadioGroup2Item1", "non acceso [off]"},
};

QList<CaptionRow> rowsOf(const CaptionRow* begin, const CaptionRow* end) {
  return QList<CaptionRow>(begin, end);
}

QObject* findIn(QObject* root, const QString& name, int* matches) {
  const QList<QObject*> found = root->findChildren<QObject*>(name);
  *matches = static_cast<int>(found.size());
  return found.isEmpty() ? nullptr : found.first();
}

bool setCaption(QObject* target, const QString& text) {
  if (auto* menu = qobject_cast<QMenu*>(target)) {
    menu->setTitle(text);
  } else if (auto* action = qobject_cast<QAction*>(target)) {
    action->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(target)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(target)) {
    button->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(target)) {
    group->setTitle(text);
  } else {
    return false;
  }
  return true;
}

}  // namespace

QList<CaptionRow> Polski_napisy() {
  return rowsOf(std::begin(kPolish), std::end(kPolish));
}
QList<CaptionRow> Angielski_napisy() {
  return rowsOf(std::begin(kEnglish), std::end(kEnglish));
}
QList<CaptionRow> Wloski_napisy() {
  return rowsOf(std::begin(kItalian), std::end(kItalian));
}

QList<CaptionRow> captionTable(Language language) {
  switch (language) {
    case Language::English:
      return Angielski_napisy();
    case Language::Italian:
      return Wloski_napisy();
    case Language::Polish:
      break;
  }
  return Polski_napisy();
}

QList<CaptionRow> additionalCaptions(Language language) {
  const auto pick = [language](const char* pl, const char* en, const char* it) {
    return language == Language::English ? en : language == Language::Italian ? it : pl;
  };
  return {
      {"TForm1", "Urzadzenieportu1",
       pick("Urządzenie portu...", "Port device...", "Dispositivo porta...")},
      {"TForm1", "Odtworzzapis1",
       pick("Odtwórz zapis...", "Replay log...", "Riproduci registrazione...")},
      {"TForm1", "Przegladajzapis1",
       pick("Przeglądaj zapis...", "View log...", "Visualizza registrazione...")},
      {"TForm1/Panel1", "BtnZapis", pick("Zapis", "Record", "Registra")},
      {"TForm1", "Archiwum1", pick("Archiwum...", "Archive...", "Archivio...")},
      {"TForm3", "CheckBoxWarsztat",
       pick("Edytuj dane warsztatu", "Edit workshop data", "Modifica dati officina")},
      {"TForm3", "LabelCar1", pick("Samochód", "Car", "Auto")},
      {"TForm3", "LabelCar2", pick("Nr rejestracyjny", "Registration number", "Targa")},
      {"TForm1", "GroupBox1", pick("Tryb serwisowy", "Service mode", "Modalità assistenza")},
      {"TAboutBox", "Copyright",
       pick("Program serwisowy sterownika LPG", "Service program for the LPG controller",
            "Programma di assistenza centralina GPL")},
      {"TAboutBox", "Comments",
       pick("Ustawienia, autokalibracja i podgląd pracy silnika przez łącze szeregowe.",
            "Settings, autocalibration and a live view of the engine over a serial line.",
            "Parametri, autotaratura e motore visto in tempo reale sulla linea seriale.")},
  };
}

QList<CaptionRow> archiveCaptions(Language language) {
  const auto pick = [language](const char* pl, const char* en, const char* it) {
    return language == Language::English ? en : language == Language::Italian ? it : pl;
  };
  return {
      {"TArchiwum", "", pick("Archiwum", "Archive", "Archivio")},
      {"TArchiwum", "LabelSzukaj", pick("Szukaj:", "Search:", "Cerca:")},
      {"TArchiwum", "LabelNotatka", pick("Notatka:", "Note:", "Nota:")},
      {"TArchiwum", "BtnImport", pick("Importuj .orv...", "Import .orv...", "Importa .orv...")},
      {"TArchiwum", "BtnZapiszPlik", pick("Zapisz do pliku", "Save to file", "Salva su file")},
      {"TArchiwum", "BtnDrukuj", pick("Drukuj", "Print", "Stampa")},
      {"TArchiwum", "BtnPorownaj",
       pick("Porównaj ze sterownikiem", "Compare with controller", "Confronta con la centralina")},
      {"TArchiwum", "BtnZapiszSterownik",
       pick("Zapisz do sterownika", "Write to controller", "Scrivi nella centralina")},
      {"TArchiwum", "BtnPotwierdz", pick("Wyślij zmiany", "Send changes", "Invia modifiche")},
      {"TArchiwum", "BtnAnuluj", pick("Anuluj", "Cancel", "Annulla")},
  };
}

QStringList applyCaptions(const QList<CaptionRow>& rows, const QList<QWidget*>& windows) {
  QStringList faults;
  for (const CaptionRow& row : rows) {
    const QString scope = QString::fromLatin1(row.scope);
    const QString control = QString::fromLatin1(row.control);
    const QString text = QString::fromUtf8(row.text);
    const QStringList path = scope.split(QLatin1Char('/'));
    QObject* root = nullptr;
    for (QWidget* w : windows) {
      if (w && w->objectName() == path.first()) root = w;
    }
    for (int i = 1; root && i < path.size(); ++i) {
      int matches = 0;
      root = findIn(root, path[i], &matches);
    }
    const QString where =
        scope + QLatin1Char(' ') + (control.isEmpty() ? QStringLiteral("(window)") : control);
    if (!root) {
      faults << where + QStringLiteral(": no such window or panel");
      continue;
    }
    if (control.isEmpty()) {
      if (auto* window = qobject_cast<QWidget*>(root)) window->setWindowTitle(text);
      continue;
    }
    int matches = 0;
    QObject* target = findIn(root, control, &matches);
    if (matches != 1) {
      faults << where + QStringLiteral(": %1 controls of that name").arg(matches);
      continue;
    }
    if (!setCaption(target, text)) faults << where + QStringLiteral(": takes no caption");
  }
  return faults;
}

}  // namespace orvel
